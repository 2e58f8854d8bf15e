// The window in the user's language.

#include "uitest.h"

#include "ui/projectchooser.h"
#include "ui/translations.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/menu.h>
#include <wx/stattext.h>
#include <wx/translation.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

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

// The key of a label's mnemonic, in lower case; 0 for none.
wxUniChar Mnemonic(const wxString& label)
{
    const size_t at = label.find('&');
    return at == wxString::npos || at + 1 >= label.length() ? wxUniChar(0)
                                                             : wxTolower(label[at + 1]);
}

// The labels of a window's buttons, boxes and texts, hidden ones too, and of its menus.
void CollectLabels(wxWindow* window, std::vector<wxString>& labels)
{
    for ( wxWindow* child : window->GetChildren() )
    {
        if ( child->IsKindOf(wxCLASSINFO(wxButton)) || child->IsKindOf(wxCLASSINFO(wxCheckBox))
             || child->IsKindOf(wxCLASSINFO(wxStaticText)) )
            labels.push_back(child->GetLabel());
        CollectLabels(child, labels);
    }
}

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

TEST_F(FrameLanguage, ProjectRowHasMnemonicsOfItsOwnInEveryLanguage)
{
    const struct
    {
        const char* lang;
        const char* label;
        const char* button;
    } languages[] = {
        { "en_GB.UTF-8", "&Project:", "&New Project..." },
        { "de_DE.UTF-8", "&Projekt:", "Neues Pro&jekt..." },
        { "fr_FR.UTF-8", "&Projet :", "&Nouveau projet..." },
        { "es_ES.UTF-8", "&Proyecto:", "&Nuevo proyecto..." },
    };
    for ( const auto& language : languages )
    {
        SessionLanguage session(language.lang);
        MakeFrame();
        wxChoice* choice = Find<wxChoice>(ID_PROJECT);
        ASSERT_TRUE(choice) << language.lang;
        wxWindow* row = choice->GetParent();
        std::vector<wxString> rowLabels;
        CollectLabels(row, rowLabels);
        ASSERT_EQ(rowLabels.size(), 2u) << language.lang;
        EXPECT_EQ(rowLabels[0], wxString::FromUTF8(language.label));
        EXPECT_EQ(rowLabels[1], wxString::FromUTF8(language.button));

        std::vector<wxString> labels;
        CollectLabels(m_frame, labels);
        wxMenuBar* menus = m_frame->GetMenuBar();
        for ( size_t i = 0; i < menus->GetMenuCount(); ++i )
            labels.push_back(menus->GetMenuLabel(i));
        for ( const wxString& own : rowLabels )
        {
            const wxUniChar key = Mnemonic(own);
            ASSERT_NE(key, wxUniChar(0)) << own;
            const auto uses = std::count_if(labels.begin(), labels.end(), [key](const wxString& l)
                                            { return Mnemonic(l) == key; });
            EXPECT_EQ(uses, 1) << language.lang << ": " << own;
        }
        m_frame->Destroy();
        m_frame = nullptr;
    }
}
