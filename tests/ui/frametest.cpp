// The main window: its layout, its commands and the questions it asks.

#include "uitest.h"

#include "fixtureserver.h"
#include "project/project.h"
#include "ui/helppage.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/config.h>
#include <wx/filename.h>
#include <wx/menu.h>
#include <wx/mimetype.h>
#include <wx/datetime.h>
#include <wx/statbox.h>
#include <wx/statusbr.h>
#include <wx/textctrl.h>

#include <gtest/gtest.h>

using FrameLayout = FrameTest;

TEST_F(FrameLayout, ShowsTheProjectInFieldsThatCannotBeTypedInto)
{
    WriteBytes(GetConfigPath(), "[project/default]\nFeedURL=http://blog.example/feed\n"
                                "FilePath=/home/me/.signature\nLastTitle=Hello\n"
                                "LastLink=http://blog.example/hello\n");
    ReopenConfig();
    MakeFrame();
    const struct
    {
        int id;
        const char* value;
    } fields[] =
    {
        { ID_FEED_URL, "http://blog.example/feed" },
        { ID_LAST_TITLE, "Hello" },
        { ID_LAST_LINK, "http://blog.example/hello" },
        { ID_FILE_PATH, "/home/me/.signature" },
    };
    for ( const auto& field : fields )
    {
        wxTextCtrl* text = Find<wxTextCtrl>(field.id);
        ASSERT_TRUE(text);
        EXPECT_EQ(text->GetValue(), field.value);
        EXPECT_FALSE(text->IsEditable()) << field.id;
    }
    wxTextCtrl* editor = Find<wxTextCtrl>(ID_TEMPLATE);
    EXPECT_EQ(editor, m_frame->GetTemplateCtrl());
    EXPECT_EQ(editor->GetValue(), kDefaultTemplate);
    EXPECT_TRUE(editor->IsEditable());
    EXPECT_TRUE(editor->IsEnabled());
    EXPECT_FALSE(editor->IsModified());
    EXPECT_EQ(m_frame->GetSize().x, 650);
    EXPECT_GE(m_frame->GetSize().y, 450);
    EXPECT_FALSE(m_frame->GetIcons().IsEmpty());
    if ( FEEDQUILL_UPDATE_CHECK )
    {
        EXPECT_TRUE(m_frame->GetMenuBar()->IsChecked(ID_AUTO_CHECK));
    }
}

TEST_F(FrameLayout, OnlyTheTemplateGrowsInHeight)
{
    MakeFrame();
    const int ids[] = { ID_FEED_URL, ID_LAST_TITLE, ID_LAST_LINK, ID_FILE_PATH, ID_TEMPLATE,
                        ID_GET_DATA, ID_SAVE_TEMPLATE, ID_READ_ONLY };
    std::map<int, wxSize> before;
    for ( int id : ids )
        before[id] = m_frame->FindWindow(id)->GetSize();

    m_frame->SetSize(wxSize(900, 700));
    m_frame->SendSizeEvent();
    wxTheApp->ProcessIdle();

    for ( int id : { ID_FEED_URL, ID_LAST_TITLE, ID_LAST_LINK, ID_FILE_PATH } )
    {
        const wxSize after = m_frame->FindWindow(id)->GetSize();
        EXPECT_EQ(after.y, before[id].y) << id;
        EXPECT_GT(after.x, before[id].x) << id;
    }
    const wxSize editor = m_frame->FindWindow(ID_TEMPLATE)->GetSize();
    EXPECT_GT(editor.y, before[ID_TEMPLATE].y);
    EXPECT_GT(editor.x, before[ID_TEMPLATE].x);
    for ( int id : { ID_GET_DATA, ID_SAVE_TEMPLATE, ID_READ_ONLY } )
        EXPECT_EQ(m_frame->FindWindow(id)->GetSize(), before[id]) << id;
}

// Every control of the panel, with the smallest height it can show itself in.
std::vector<std::pair<wxWindow*, int>> NeededHeights(wxWindow* panel, wxTextCtrl* editor)
{
    std::vector<std::pair<wxWindow*, int>> needed;
    for ( wxWindow* child : panel->GetChildren() )
    {
        if ( !child->IsShown() || child->IsKindOf(wxCLASSINFO(wxStaticBox)) )
            continue;
        const int lines = child == editor ? 3 : 0;
        needed.emplace_back(child, lines ? editor->GetCharHeight() * lines
                                         : child->GetBestSize().y);
    }
    return needed;
}

TEST_F(FrameLayout, TheDefaultSizeShowsSixTemplateLines)
{
    MakeFrame();
    wxTheApp->ProcessIdle();
    EXPECT_EQ(m_frame->GetSize().x, 650);
    wxTextCtrl* editor = m_frame->GetTemplateCtrl();
    EXPECT_GE(editor->GetClientSize().y, 6 * editor->GetCharHeight());
}

TEST_F(FrameLayout, TheSmallestSizeKeepsEveryControlWhole)
{
    MakeFrame();
    const wxSize smallest = m_frame->GetMinSize();
    ASSERT_NE(smallest, wxDefaultSize);
    m_frame->SetSize(wxSize(200, 150));
    m_frame->SendSizeEvent();
    wxTheApp->ProcessIdle();
    EXPECT_EQ(m_frame->GetSize(), smallest);

    wxWindow* panel = m_frame->FindWindow(ID_PANEL);
    const wxRect inside(panel->GetClientSize());
    for ( const auto& [control, height] : NeededHeights(panel, m_frame->GetTemplateCtrl()) )
    {
        const wxRect rect = control->GetRect();
        EXPECT_TRUE(inside.Contains(rect)) << control->GetLabel() << " " << control->GetId();
        EXPECT_GE(rect.height, height) << control->GetLabel() << " " << control->GetId();
        EXPECT_GE(rect.width, control->GetBestSize().x / 2) << control->GetId();
    }
}

TEST_F(FrameLayout, FieldsAndButtonsOfARowHaveOneHeight)
{
    MakeFrame();
    const int rows[][3] = { { ID_FEED_URL, ID_ENTER_URL, ID_GET_DATA },
                            { ID_FILE_PATH, ID_SELECT_FILE, ID_UPDATE_SIGNATURE } };
    for ( const auto& row : rows )
    {
        const wxRect field = m_frame->FindWindow(row[0])->GetRect();
        for ( int id : { row[1], row[2] } )
        {
            const wxRect button = m_frame->FindWindow(id)->GetRect();
            EXPECT_EQ(button.height, field.height) << id;
            EXPECT_EQ(button.y, field.y) << id;
        }
    }
}

TEST_F(FrameLayout, StoredOptionsSetTheReadOnlyBoxAndTheAutomaticCheck)
{
    WriteBytes(GetConfigPath(), "[options]\nReadOnly=1\n[updates]\nCCheckForUpdates=0\n");
    ReopenConfig();
    MakeFrame();
    EXPECT_TRUE(Find<wxCheckBox>(ID_READ_ONLY)->GetValue());
    EXPECT_TRUE(m_frame->IsReadOnly());
    EXPECT_FALSE(m_frame->GetTemplateCtrl()->IsEditable());
    EXPECT_FALSE(m_frame->GetTemplateCtrl()->IsEnabled());
    if ( FEEDQUILL_UPDATE_CHECK )
    {
        EXPECT_FALSE(m_frame->GetMenuBar()->IsChecked(ID_AUTO_CHECK));
    }
}

using FrameCommands = FrameTest;

TEST_F(FrameCommands, CommandsAreEnabledByWhatTheProjectHolds)
{
    MakeFrame();
    auto enabled = [this](int id)
    {
        m_frame->UpdateWindowUI(wxUPDATE_UI_RECURSE);
        m_frame->GetMenuBar()->UpdateMenus();
        const bool button = m_frame->FindWindow(id)->IsEnabled();
        EXPECT_EQ(m_frame->GetMenuBar()->IsEnabled(id), button) << id;
        return button;
    };
    EXPECT_FALSE(enabled(ID_GET_DATA));
    EXPECT_FALSE(enabled(ID_UPDATE_SIGNATURE));
    EXPECT_FALSE(enabled(ID_SAVE_TEMPLATE));

    g_project.m_feedURL = "http://blog.example/feed";
    g_project.m_filePath = "/tmp/signature";
    m_frame->GetTemplateCtrl()->MarkDirty();
    EXPECT_TRUE(enabled(ID_GET_DATA));
    EXPECT_TRUE(enabled(ID_UPDATE_SIGNATURE));
    EXPECT_TRUE(enabled(ID_SAVE_TEMPLATE));
}

TEST_F(FrameCommands, EnteringAnAddressStoresItTrimmed)
{
    MakeFrame();
    wxTEST_DIALOG(Command(wxEVT_BUTTON, ID_ENTER_URL),
                  ExpectAddress("  http://blog.example/atom.xml \t"));
    EXPECT_EQ(g_project.m_feedURL, "http://blog.example/atom.xml");
    EXPECT_EQ(Find<wxTextCtrl>(ID_FEED_URL)->GetValue(), "http://blog.example/atom.xml");
    ReopenConfig();
    EXPECT_EQ(wxConfigBase::Get()->Read("/project/default/FeedURL", ""),
              "http://blog.example/atom.xml");

    wxTEST_DIALOG(Command(wxEVT_BUTTON, ID_ENTER_URL),
                  ExpectAddress("    "));
    wxTEST_DIALOG(Command(wxEVT_BUTTON, ID_ENTER_URL),
                  ExpectAddress("http://other.example/", wxID_CANCEL));
    EXPECT_EQ(g_project.m_feedURL, "http://blog.example/atom.xml");
}

// The name the file dialog proposes: none for a hidden file without an extension, whose name
// GTK would not select, so that a name typed does not land in front of it.
TEST(FileDialogName, AHiddenNameWithoutExtensionIsNotProposed)
{
    const struct
    {
        const char* current;
        const char* proposed;
    } names[] = { { ".signature", "" }, { "my.signature", "my.signature" },
                  { "signature", "signature" }, { ".sig.txt", ".sig.txt" }, { "", "" } };
    for ( const auto& c : names )
        EXPECT_EQ(FeedquillFrame::ProposeFileName(c.current), c.proposed) << c.current;
}

TEST_F(FrameCommands, ChoosingAFileStoresItsPath)
{
    wxString home = m_dir.GetPath();
    home.RemoveLast();
    ScopedEnv env("HOME", home.ToStdString());
    MakeFrame();
    const wxString path = m_dir.File("my.signature");
    auto style = std::make_shared<long>(0);
    auto filter = std::make_shared<int>(-1);
    auto folder = std::make_shared<wxString>();
    wxTEST_DIALOG(Command(wxEVT_BUTTON, ID_SELECT_FILE),
                  ExpectFile(path, wxID_OK, style, filter, folder));
    EXPECT_EQ(*filter, 0);  // "All Files"
    EXPECT_EQ(*folder, home);  // not the working folder
    EXPECT_TRUE(*style & wxFD_SAVE);
    EXPECT_TRUE(*style & wxFD_SHOW_HIDDEN);
    EXPECT_FALSE(*style & wxFD_CHANGE_DIR);
    EXPECT_FALSE(*style & wxFD_OVERWRITE_PROMPT);
    EXPECT_EQ(g_project.m_filePath, path);
    EXPECT_EQ(Find<wxTextCtrl>(ID_FILE_PATH)->GetValue(), path);

    wxTEST_DIALOG(Command(wxEVT_BUTTON, ID_SELECT_FILE),
                  ExpectFile(m_dir.File("other"), wxID_CANCEL, style));
    EXPECT_EQ(g_project.m_filePath, path);
}

namespace
{

const char* const FRESH_FEED =
    "<rss><channel><item><title>Fresh post</title><link>http://blog.example/fresh</link>"
    "</item></channel></rss>";

} // anonymous namespace

TEST_F(FrameCommands, GetDataShowsTheNewestPostAndTakesTheEditedTemplate)
{
    FixtureServer server;
    server.Serve("/feed", FixtureServer::Response(200, FRESH_FEED));
    MakeFrame();
    g_project.m_feedURL = server.Url("/feed");
    g_project.m_filePath = m_dir.File("signature");
    m_frame->TransferDataToWindow();
    m_frame->GetTemplateCtrl()->ChangeValue("%title% | %link%");
    m_frame->GetTemplateCtrl()->MarkDirty();

    Command(wxEVT_BUTTON, ID_GET_DATA);
    ASSERT_TRUE(WaitForFetch());

    EXPECT_EQ(Find<wxTextCtrl>(ID_LAST_TITLE)->GetValue(), "Fresh post");
    EXPECT_EQ(Find<wxTextCtrl>(ID_LAST_LINK)->GetValue(), "http://blog.example/fresh");
    EXPECT_EQ(ReadBytes(m_dir.File("signature")), "Fresh post | http://blog.example/fresh");
    ASSERT_EQ(m_messenger.GetMessages().size(), 1u);
    EXPECT_EQ(m_messenger.GetMessages()[0].text,
              "Updated successfully:\n Title : Fresh post\n Link: http://blog.example/fresh");
    EXPECT_TRUE(Find<wxButton>(ID_GET_DATA)->IsEnabled());
    EXPECT_TRUE(m_frame->GetStatusBar()->GetStatusText().StartsWith("Signature written to "));
    // The edits went into the signature, not into the template file, so they stay unsaved.
    EXPECT_TRUE(m_frame->GetTemplateCtrl()->IsModified());
    EXPECT_EQ(ReadBytes(GetTemplatePath("default.txt")), "");
}

TEST_F(FrameCommands, GetDataThatCannotWriteSaysWhyAndNotSuccess)
{
    FixtureServer server;
    server.Serve("/feed", FixtureServer::Response(200, FRESH_FEED));
    MakeFrame();
    g_project.m_feedURL = server.Url("/feed");
    g_project.m_filePath = m_dir.File("gone/signature");
    g_project.m_template = "%title% %link%";
    m_frame->TransferDataToWindow();
    LogCollector log;

    Command(wxEVT_BUTTON, ID_GET_DATA);
    ASSERT_TRUE(WaitForFetch());

    EXPECT_TRUE(m_messenger.GetMessages().empty());
    ASSERT_EQ(log.GetErrors().size(), 1u);
    EXPECT_TRUE(log.GetErrors()[0].StartsWith("The signature file \"" + m_dir.File("gone/signature")
                                              + "\" could not be written.\nThe folder \""))
        << log.GetErrors()[0];
    EXPECT_TRUE(log.GetErrors()[0].EndsWith("Title : Fresh post\n Link: http://blog.example/fresh"));
    EXPECT_EQ(Find<wxTextCtrl>(ID_LAST_TITLE)->GetValue(), "Fresh post");
}

TEST_F(FrameCommands, UpdateSignatureWritesTheTemplateInTheEditor)
{
    MakeFrame();
    g_project.m_filePath = m_dir.File("signature");
    g_project.m_lastTitle = "T";
    g_project.m_lastLink = "L";
    m_frame->TransferDataToWindow();
    m_frame->GetTemplateCtrl()->ChangeValue("[%title%](%link%)");
    Command(wxEVT_MENU, ID_UPDATE_SIGNATURE);
    EXPECT_EQ(ReadBytes(m_dir.File("signature")), "[T](L)");
    EXPECT_TRUE(m_messenger.GetMessages().empty());
}

TEST_F(FrameCommands, SaveAndReloadTheTemplate)
{
    MakeFrame();
    wxTextCtrl* editor = m_frame->GetTemplateCtrl();
    editor->ChangeValue("Saved\n%link%");
    editor->MarkDirty();
    Command(wxEVT_BUTTON, ID_SAVE_TEMPLATE);
    EXPECT_EQ(ReadBytes(GetTemplatePath("default.txt")), "Saved\n%link%");
    EXPECT_FALSE(editor->IsModified());

    WriteBytes(GetTemplatePath("default.txt"), "From disk");
    editor->ChangeValue("unsaved");
    editor->MarkDirty();
    // Unsaved edits are only dropped when the user says so.
    auto asked = std::make_shared<ShownMessage>();
    wxTEST_DIALOG(Command(wxEVT_MENU, ID_RELOAD_TEMPLATE), ExpectMessage(wxNO, asked));
    EXPECT_TRUE(asked->message.StartsWith("Discard the changes")) << asked->message;
    EXPECT_EQ(editor->GetValue(), "unsaved");
    EXPECT_TRUE(editor->IsModified());
    wxTEST_DIALOG(Command(wxEVT_MENU, ID_RELOAD_TEMPLATE), ExpectMessage(wxYES, asked));
    EXPECT_EQ(editor->GetValue(), "From disk");
    EXPECT_FALSE(editor->IsModified());
    // Without edits there is nothing to ask.
    WriteBytes(GetTemplatePath("default.txt"), "From disk again");
    Command(wxEVT_MENU, ID_RELOAD_TEMPLATE);
    EXPECT_EQ(editor->GetValue(), "From disk again");
}

TEST_F(FrameCommands, ChoosingTheAddressOrTheFileKeepsTemplateEditsUnsaved)
{
    MakeFrame();
    wxTextCtrl* editor = m_frame->GetTemplateCtrl();
    editor->ChangeValue("typed %title%");
    editor->MarkDirty();
    wxTEST_DIALOG(Command(wxEVT_BUTTON, ID_ENTER_URL),
                  ExpectAddress("http://blog.example/feed"));
    EXPECT_TRUE(editor->IsModified());
    auto style = std::make_shared<long>(0);
    wxTEST_DIALOG(Command(wxEVT_BUTTON, ID_SELECT_FILE),
                  ExpectFile(m_dir.File("chosen"), wxID_OK, style));
    EXPECT_EQ(g_project.m_filePath, m_dir.File("chosen"));
    EXPECT_TRUE(editor->IsModified());
    EXPECT_EQ(editor->GetValue(), "typed %title%");
    // Closing still asks about them.
    auto save = std::make_shared<ShownMessage>();
    wxTEST_DIALOG(m_frame->Close(), ExpectMessage(wxCANCEL, save));
    EXPECT_EQ(save->message, "Save changes in signature template?");
}

TEST_F(FrameCommands, FailedSaveKeepsTheEditsAndTheFile)
{
    MakeFrame();
    ASSERT_TRUE(wxFileName::Rmdir(m_dir.File("SignatureTemplates"), wxPATH_RMDIR_RECURSIVE));
    WriteBytes(m_dir.File("SignatureTemplates"), "not a folder");
    wxTextCtrl* editor = m_frame->GetTemplateCtrl();
    editor->ChangeValue("precious edits");
    editor->MarkDirty();
    LogCollector log;
    Command(wxEVT_MENU, ID_SAVE_TEMPLATE);
    EXPECT_TRUE(editor->IsModified());
    EXPECT_EQ(g_project.m_template, kDefaultTemplate);
    EXPECT_FALSE(log.GetErrors().empty());
}

TEST_F(FrameCommands, ReadOnlySwitchLocksTheEditorAndIsRemembered)
{
    MakeFrame();
    Find<wxCheckBox>(ID_READ_ONLY)->SetValue(true);
    Command(wxEVT_CHECKBOX, ID_READ_ONLY, 1);
    EXPECT_TRUE(m_frame->IsReadOnly());
    EXPECT_FALSE(m_frame->GetTemplateCtrl()->IsEditable());
    EXPECT_FALSE(m_frame->GetTemplateCtrl()->IsEnabled());
    bool stored = false;
    EXPECT_TRUE(wxConfigBase::Get()->Read("/options/ReadOnly", &stored));
    EXPECT_TRUE(stored);

    Find<wxCheckBox>(ID_READ_ONLY)->SetValue(false);
    Command(wxEVT_CHECKBOX, ID_READ_ONLY, 0);
    EXPECT_TRUE(m_frame->GetTemplateCtrl()->IsEditable());
    EXPECT_TRUE(m_frame->GetTemplateCtrl()->IsEnabled());
}

TEST_F(FrameCommands, HelpOpensTheLocalPageAndTheWebSiteItsAddress)
{
    MakeFrame();
    Command(wxEVT_MENU, wxID_HELP);
    Command(wxEVT_MENU, wxID_HOME);
    ASSERT_EQ(m_launcher.m_urls.size(), 2u);
    const wxString help = m_launcher.m_urls[0];
    EXPECT_TRUE(help.StartsWith("file:///")) << help;
    const wxString path = wxFileName::URLToFileName(help).GetFullPath();
    EXPECT_EQ(path, FEEDQUILL_SOURCE_DIR "/art/help.html");
    // The page that opens covers what a newcomer needs.
    const std::string page = ReadBytes(path);
    for ( const char* part : { "id=\"first-use\"", "%title%", "id=\"scheduling\"",
                               "Feedquill.cfg", "id=\"troubleshooting\"" } )
        EXPECT_NE(page.find(part), std::string::npos) << part;
    EXPECT_TRUE(m_launcher.m_urls[1].StartsWith("http://"));
    EXPECT_TRUE(m_launcher.m_urls[1].EndsWith("/?src=fqa"));
}

TEST_F(FrameCommands, HelpThatIsMissingIsNamed)
{
    TempDir program;
    MakeFrame();
    g_programDir = program.GetPath();
    if ( FileExists(GetHelpPagePath()) )
        GTEST_SKIP() << "an installed help page is found: " << GetHelpPagePath();
    LogCollector log;
    Command(wxEVT_MENU, wxID_HELP);
    EXPECT_TRUE(m_launcher.m_urls.empty());
    ASSERT_EQ(log.GetErrors().size(), 1u);
    EXPECT_TRUE(log.GetErrors()[0].Contains("help.html")) << log.GetErrors()[0];
}

TEST_F(FrameCommands, AutomaticCheckItemWritesItsKey)
{
    MakeFrame();
    Command(wxEVT_MENU, ID_AUTO_CHECK, 0);
    bool enabled = true;
    EXPECT_TRUE(wxConfigBase::Get()->Read("/updates/CCheckForUpdates", &enabled));
    EXPECT_FALSE(enabled);
}

TEST_F(FrameCommands, CheckForUpdatesReportsEveryOutcome)
{
    SKIP_WITHOUT_UPDATE_CHECK();
    FixtureServer server;
    server.Serve("/updates/feedquill.txt", FixtureServer::Response(200, "|1.0|1.0|today|"));
    ScopedEnv url("FEEDQUILL_UPDATE_URL", server.Url("/updates/feedquill.txt"));
    MakeFrame();
    Command(wxEVT_MENU, ID_CHECK_UPDATES);
    ASSERT_TRUE(WaitForFetch());
    ASSERT_EQ(m_messenger.GetMessages().size(), 1u);
    EXPECT_EQ(m_messenger.GetMessages()[0].text, "You are using the latest version.");
    EXPECT_EQ(m_messenger.GetMessages()[0].caption, "Feedquill");
}

TEST_F(FrameCommands, OpenSignatureUsesTheDesktopsDefaultApplication)
{
    MakeFrame();
    // A type whose open command is a terminal program: it is never run.
    wxTheMimeTypesManager->AddFallback(wxFileTypeInfo("application/x-feedquill-test",
                                                      "vim %s", "", "Feedquill test",
                                                      "fqtest", nullptr));
    g_project.m_filePath = m_dir.File("signature.fqtest");
    Command(wxEVT_MENU, ID_OPEN_SIGNATURE);
    ASSERT_EQ(m_launcher.m_files.size(), 1u);
    EXPECT_EQ(m_launcher.m_files[0], g_project.m_filePath);
    EXPECT_TRUE(m_launcher.m_commands.empty());

    // Nothing on the desktop can open it.
    m_launcher.m_canOpenFiles = false;
    LogCollector log;
    Command(wxEVT_MENU, ID_OPEN_SIGNATURE);
    ASSERT_EQ(log.GetErrors().size(), 1u);
    EXPECT_EQ(log.GetErrors()[0], "Impossible to find out how to open files of extension "
                                  "'fqtest'\n\"" + g_project.m_filePath
                                  + "\": xdg-open could not be started.");

    g_project.m_filePath.clear();
    Command(wxEVT_MENU, ID_OPEN_SIGNATURE);
    EXPECT_EQ(m_launcher.m_files.size(), 2u);
    EXPECT_TRUE(m_launcher.m_commands.empty());
}

using FrameClosing = FrameTest;

TEST_F(FrameClosing, AsksToSaveThenToQuit)
{
    MakeFrame();
    m_frame->GetTemplateCtrl()->ChangeValue("to keep");
    m_frame->GetTemplateCtrl()->MarkDirty();
    auto save = std::make_shared<ShownMessage>();
    auto quit = std::make_shared<ShownMessage>();
    wxTEST_DIALOG(m_frame->Close(), ExpectMessage(wxYES, save), ExpectMessage(wxYES, quit));
    EXPECT_EQ(save->message, "Save changes in signature template?");
    EXPECT_EQ(save->caption, "Feedquill");
    EXPECT_TRUE(save->style & wxCANCEL);
    EXPECT_EQ(quit->message, "Quit program?");
    EXPECT_FALSE(quit->style & wxCANCEL);
    EXPECT_EQ(ReadBytes(GetTemplatePath("default.txt")), "to keep");
    EXPECT_TRUE(IsClosing());
}

TEST_F(FrameClosing, FailedSaveKeepsTheWindowAndTheEditsWithoutAskingToQuit)
{
    MakeFrame();
    ASSERT_TRUE(wxFileName::Rmdir(m_dir.File("SignatureTemplates"), wxPATH_RMDIR_RECURSIVE));
    WriteBytes(m_dir.File("SignatureTemplates"), "not a folder");
    m_frame->GetTemplateCtrl()->ChangeValue("precious edits");
    m_frame->GetTemplateCtrl()->MarkDirty();
    LogCollector log;
    auto save = std::make_shared<ShownMessage>();
    // Only the save question: a quit question would fail the dialog test.
    wxTEST_DIALOG(m_frame->Close(), ExpectMessage(wxYES, save));
    EXPECT_FALSE(IsClosing());
    EXPECT_EQ(m_frame->GetTemplateCtrl()->GetValue(), "precious edits");
    EXPECT_TRUE(m_frame->GetTemplateCtrl()->IsModified());
    ASSERT_EQ(log.GetErrors().size(), 1u);
    EXPECT_TRUE(log.GetErrors()[0].StartsWith("The signature template could not be saved to \""
                                              + GetTemplatePath("default.txt") + "\".\n"))
        << log.GetErrors()[0];
}

TEST_F(FrameClosing, CancelKeepsTheWindowWithoutAskingToQuit)
{
    MakeFrame();
    m_frame->GetTemplateCtrl()->MarkDirty();
    auto save = std::make_shared<ShownMessage>();
    wxTEST_DIALOG(m_frame->Close(), ExpectMessage(wxCANCEL, save));
    EXPECT_FALSE(IsClosing());
    EXPECT_EQ(ReadBytes(GetTemplatePath("default.txt")), "");
}

TEST_F(FrameClosing, NoToQuitKeepsTheWindowEvenAfterSaving)
{
    MakeFrame();
    m_frame->GetTemplateCtrl()->ChangeValue("saved anyway");
    m_frame->GetTemplateCtrl()->MarkDirty();
    auto save = std::make_shared<ShownMessage>();
    auto quit = std::make_shared<ShownMessage>();
    wxTEST_DIALOG(Command(wxEVT_MENU, wxID_EXIT), ExpectMessage(wxYES, save),
                  ExpectMessage(wxNO, quit));
    EXPECT_FALSE(IsClosing());
    EXPECT_EQ(ReadBytes(GetTemplatePath("default.txt")), "saved anyway");

    // Unmodified: only the quit question.
    wxTEST_DIALOG(m_frame->Close(), ExpectMessage(wxNO, quit));
    EXPECT_FALSE(IsClosing());
}

using FrameStatus = FrameTest;

TEST_F(FrameStatus, UpdateSaysWhereTheSignatureWentOrThatItFailed)
{
    wxString home = m_dir.GetPath();
    home.RemoveLast();
    ScopedEnv env("HOME", home.ToStdString());
    MakeFrame();
    g_project.m_filePath = m_dir.File("signature");
    g_project.m_template = "%title%";
    m_frame->TransferDataToWindow();
    const wxString before = wxDateTime::Now().Format("%H:%M");
    Command(wxEVT_MENU, ID_UPDATE_SIGNATURE);
    const wxString after = wxDateTime::Now().Format("%H:%M");
    const wxString status = m_frame->GetStatusBar()->GetStatusText();
    EXPECT_TRUE(status == "Signature written to ~/signature at " + before
                || status == "Signature written to ~/signature at " + after) << status;

    g_project.m_filePath = m_dir.File("no-such-folder/signature");
    m_frame->TransferDataToWindow();
    LogCollector log;
    Command(wxEVT_BUTTON, ID_UPDATE_SIGNATURE);
    EXPECT_EQ(m_frame->GetStatusBar()->GetStatusText(),
              "The signature file ~/no-such-folder/signature was not written.");
    EXPECT_TRUE(m_messenger.GetMessages().empty());
}

TEST_F(FrameCommands, GetDataAsksBeforeReplacingAHandWrittenSignatureAndKeepsIt)
{
    FixtureServer server;
    server.Serve("/feed", FixtureServer::Response(200, FRESH_FEED));
    WriteBytes(m_dir.File("signature"), "-- \nWritten by hand\n");
    MakeFrame();
    g_project.m_feedURL = server.Url("/feed");
    g_project.m_filePath = m_dir.File("signature");
    m_frame->TransferDataToWindow();

    // The untouched sample is not written unasked; No keeps the file.
    m_messenger.Answer(wxNO);
    Command(wxEVT_BUTTON, ID_GET_DATA);
    ASSERT_TRUE(WaitForFetch());
    ASSERT_EQ(m_messenger.GetMessages().size(), 1u);
    EXPECT_TRUE(m_messenger.GetMessages()[0].text.Contains("sample"));
    EXPECT_EQ(ReadBytes(m_dir.File("signature")), "-- \nWritten by hand\n");
    EXPECT_EQ(m_frame->GetStatusBar()->GetStatusText(),
              "The signature file " + m_dir.File("signature") + " was left as it was.");

    // The user's own template: the question shows the old text and the new.
    m_frame->GetTemplateCtrl()->ChangeValue("%title%");
    m_frame->GetTemplateCtrl()->MarkDirty();
    m_messenger.Answer(wxYES);
    Command(wxEVT_BUTTON, ID_GET_DATA);
    ASSERT_TRUE(WaitForFetch());
    ASSERT_EQ(m_messenger.GetMessages().size(), 3u);
    const wxString question = m_messenger.GetMessages()[1].text;
    EXPECT_TRUE(question.Contains("Written by hand")) << question;
    EXPECT_TRUE(question.Contains("Fresh post")) << question;
    EXPECT_TRUE(m_messenger.GetMessages()[2].text.StartsWith("Updated successfully"));
    EXPECT_EQ(ReadBytes(m_dir.File("signature")), "Fresh post");
    EXPECT_EQ(ReadBytes(m_dir.File("signature.before-feedquill")), "-- \nWritten by hand\n");
}

TEST_F(FrameCommands, OpenSignatureIsOffWithoutAFile)
{
    MakeFrame();
    wxMenu* commands = nullptr;
    ASSERT_TRUE(m_frame->GetMenuBar()->FindItem(ID_OPEN_SIGNATURE, &commands));
    commands->UpdateUI(m_frame);
    EXPECT_FALSE(m_frame->GetMenuBar()->IsEnabled(ID_OPEN_SIGNATURE));
    g_project.m_filePath = m_dir.File("signature");
    commands->UpdateUI(m_frame);
    EXPECT_TRUE(m_frame->GetMenuBar()->IsEnabled(ID_OPEN_SIGNATURE));
}
