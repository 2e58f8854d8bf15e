// The window in the user's language.

#include "uitest.h"

#include "ui/translations.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/menu.h>
#include <wx/translation.h>

#include <gtest/gtest.h>

namespace
{

// The language of the session for one test; the program's translations go with it.
class SessionLanguage
{
public:
    explicit SessionLanguage(const char* lang)
        : m_language("LANGUAGE", ""), m_all("LC_ALL", lang), m_messages("LC_MESSAGES", lang),
          m_lang("LANG", lang)
    {
        LoadTranslations(wxArrayString(1, &kLocaleDir));
    }

    ~SessionLanguage()
    {
        wxTranslations::Set(nullptr);
    }

private:
    static const wxString kLocaleDir;
    ScopedEnv m_language;
    ScopedEnv m_all;
    ScopedEnv m_messages;
    ScopedEnv m_lang;
};

const wxString SessionLanguage::kLocaleDir = FEEDQUILL_LOCALE_DIR;

} // anonymous namespace

using FrameLanguage = FrameTest;

TEST_F(FrameLanguage, GermanSessionsGetGermanLabels)
{
    SessionLanguage german("de_DE.UTF-8");
    MakeFrame();
    wxMenuBar* menus = m_frame->GetMenuBar();
    EXPECT_EQ(menus->GetMenuLabel(0), "&Datei");
    EXPECT_EQ(menus->GetMenuLabel(1), "&Befehle");
    EXPECT_EQ(menus->GetLabel(ID_SAVE_TEMPLATE), "Signaturvorlage &speichern");
    EXPECT_EQ(Find<wxButton>(ID_GET_DATA)->GetLabel(), "&Daten holen");
    EXPECT_EQ(Find<wxCheckBox>(ID_READ_ONLY)->GetLabel(),
              wxString::FromUTF8("Schreib&geschützt"));
    EXPECT_EQ(m_frame->FindWindow(ID_ENTER_URL)->GetToolTipText(), "Die Feed-Adresse eingeben");
}

TEST_F(FrameLanguage, OtherLanguagesAndEnglishStayAsWritten)
{
    {
        SessionLanguage french("fr_FR.UTF-8");
        MakeFrame();
        EXPECT_EQ(Find<wxButton>(ID_SAVE_TEMPLATE)->GetLabel(), "&Enregistrer");
        m_frame->Destroy();
        m_frame = nullptr;
    }
    SessionLanguage english("en_GB.UTF-8");
    MakeFrame();
    EXPECT_EQ(Find<wxButton>(ID_GET_DATA)->GetLabel(), "Get &Data");
    EXPECT_EQ(m_frame->GetMenuBar()->GetMenuLabel(2), "&Help");
}
