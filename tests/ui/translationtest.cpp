// The window in the user's language.

#include "uitest.h"

#include "fixtureserver.h"
#include "project/project.h"
#include "ui/projectchooser.h"
#include "ui/translations.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/menu.h>
#include <wx/stattext.h>
#include <wx/translation.h>
#include <wx/dir.h>
#include <wx/arrstr.h>

#include <map>

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
    EXPECT_EQ(Find<wxButton>(ID_GET_DATA)->GetLabel(), "Da&ten holen");
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

namespace
{

// The labels of one window that take a mnemonic: menu titles, buttons, the check box.
const char* const WINDOW_LABELS[] = { "&File", "&Commands", "&Help", "Get &Data", "Ca&ncel",
                                      "&Update", "Read &Only", "&Reload", "&Save", "&Project:",
                                      "N&ew Project..." };

// A catalogue's translations, read from its .po file: msgid to msgstr.
std::map<wxString, wxString> ReadCatalogue(const wxString& path)
{
    std::map<wxString, wxString> entries;
    wxString id;
    const wxString text = wxString::FromUTF8(ReadBytes(path));
    for ( const wxString& line : wxSplit(text, '\n', '\0') )
    {
        if ( line.StartsWith("msgid \"") )
            id = line.Mid(7).BeforeLast('"');
        else if ( line.StartsWith("msgstr \"") )
            entries[id] = line.Mid(8).BeforeLast('"');
    }
    return entries;
}

} // anonymous namespace

TEST(WindowMnemonics, EachLabelHasALetterOfItsOwnInEveryLanguage)
{
    wxArrayString catalogues;
    wxDir::GetAllFiles(FEEDQUILL_SOURCE_DIR "/po", &catalogues, "*.po", wxDIR_FILES);
    ASSERT_GE(catalogues.size(), 3u);
    catalogues.push_back(wxString());  // English, as written
    for ( const wxString& path : catalogues )
    {
        const auto entries = path.empty() ? std::map<wxString, wxString>() : ReadCatalogue(path);
        std::map<wxUniChar, wxString> taken;
        for ( const char* label : WINDOW_LABELS )
        {
            const auto entry = entries.find(label);
            ASSERT_TRUE(path.empty() || entry != entries.end()) << path << ": " << label;
            const wxString shown = path.empty() ? wxString(label) : entry->second;
            const wxUniChar letter = Mnemonic(shown);
            ASSERT_NE(letter, wxUniChar(0)) << path << ": " << shown;
            const auto [other, isNew] = taken.emplace(letter, shown);
            EXPECT_TRUE(isNew) << (path.empty() ? "English" : path) << ": \"" << shown
                               << "\" and \"" << other->second << "\"";
        }
    }
}

// The core's messages, shown by the window in its boxes, speak the session's language too.
TEST_F(FrameLanguage, GetDataTellsTheFeedsErrorsAndSuccessInGerman)
{
    FixtureServer server;
    ASSERT_TRUE(server.IsOk());
    server.Serve("/page", FixtureServer::Response(200, "<html><head><title>Blog</title></head>"
                                                       "<body>No feed named here</body></html>"));
    server.Serve("/feed", FixtureServer::Response(200,
        "<rss><channel><item><title>Neu</title><link>http://blog.example/neu</link>"
        "</item></channel></rss>"));
    const struct
    {
        std::string path;
        wxString error;  // the error logged, or empty for the message of a written signature
    } cases[] =
    {
        { "/page", "Fehler #1 beim Verarbeiten Ihres Feeds\nDies ist eine HTML-Seite, kein "
                   "RSS- oder Atom-Feed: " + server.Url("/page") },
        { "/missing", wxString::FromUTF8("Der Server antwortete 404 Not Found für "
                                         + server.Url("/missing")) },
        { "/feed", "" },
    };
    SessionLanguage german("de_DE.UTF-8");
    WriteBytes(GetTemplatePath("default.txt"), "%title% %link%");
    MakeFrame();
    g_project.m_filePath = m_dir.File("signature");
    for ( const auto& test : cases )
    {
        LogCollector log;
        const size_t shown = m_messenger.GetMessages().size();
        g_project.m_feedURL = server.Url(test.path);
        m_frame->TransferDataToWindow();
        Command(wxEVT_BUTTON, ID_GET_DATA);
        ASSERT_TRUE(WaitForFetch()) << test.path;
        if ( !test.error.empty() )
        {
            ASSERT_EQ(log.GetErrors().size(), 1u) << test.path << log.GetAll();
            EXPECT_NE(log.GetErrors()[0].find(test.error), wxString::npos) << log.GetErrors()[0];
            continue;
        }
        EXPECT_TRUE(log.GetErrors().empty()) << log.GetAll();
        ASSERT_EQ(m_messenger.GetMessages().size(), shown + 1);
        EXPECT_EQ(m_messenger.GetMessages().back().text,
                  "Erfolgreich aktualisiert:\n Titel: Neu\n Link: http://blog.example/neu");
        EXPECT_EQ(m_messenger.GetMessages().back().caption, "Meldung");
    }
}

TEST_F(FrameLanguage, ProjectRowHasMnemonicsOfItsOwnInEveryLanguage)
{
    const struct
    {
        const char* lang;
        const char* label;
        const char* button;
    } languages[] = {
        { "en_GB.UTF-8", "&Project:", "N&ew Project..." },
        { "de_DE.UTF-8", "&Projekt:", "Neues Pro&jekt..." },
        { "fr_FR.UTF-8", "&Projet :", "Nouveau pro&jet..." },
        { "es_ES.UTF-8", "&Proyecto:", "Nue&vo proyecto..." },
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
