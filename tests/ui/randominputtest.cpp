// A long run of keys, clicks and answers drawn from a fixed seed: the window survives whatever
// order they come in and leaves the template, the settings and the signature whole.

#include "uitest.h"

#include "fixtureserver.h"
#include "project/project.h"

#include <wx/checkbox.h>
#include <wx/dialog.h>
#include <wx/dir.h>
#include <wx/fileconf.h>
#include <wx/filedlg.h>
#include <wx/menu.h>
#include <wx/modalhook.h>
#include <wx/msgdlg.h>
#include <wx/statusbr.h>
#include <wx/textctrl.h>
#include <wx/textdlg.h>
#include <wx/wfstream.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace
{

const unsigned SEED = 2212;
const int ACTIONS = 2500;

const char* const HAND_WRITTEN = "-- \nWritten by hand\n";
const char* const SAVED_TEMPLATE = "%title%\n%link%\n";

bool IsUtf8(const std::string& bytes)
{
    return bytes.empty()
           || wxConvUTF8.ToWChar(nullptr, 0, bytes.data(), bytes.size()) != wxCONV_FAILED;
}

std::string Utf8(const wxString& text)
{
    const wxScopedCharBuffer buffer = text.utf8_str();
    return std::string(buffer.data(), buffer.length());
}

// What the run did, for the checks at its end and for the report of a failure.
struct RunLog
{
    std::map<std::string, int> counts;
    bool addressTaken = false;
    std::vector<std::string> recent;  // the last actions, newest last

    void Note(const std::string& what)
    {
        ++counts[what];
        recent.push_back(what);
        if ( recent.size() > 25 )
            recent.erase(recent.begin());
    }

    std::string Recent() const
    {
        std::string text;
        for ( const auto& action : recent )
            text += action + " ";
        return text;
    }
};

// Answers every dialog the window shows with a choice from the run's generator. "Quit program?"
// is always answered No: the window has to outlive the run to be checked.
class RandomAnswers : public wxModalDialogHook
{
public:
    RandomAnswers(std::minstd_rand& random, RunLog& log, std::vector<wxString> files,
                  std::vector<wxString> addresses, std::atomic<bool>& open)
        : m_random(random), m_log(log), m_files(std::move(files)),
          m_addresses(std::move(addresses)), m_open(open)
    {
        Register();
    }

    ~RandomAnswers() override { Unregister(); }

protected:
    int Enter(wxDialog* dialog) override
    {
        if ( auto* message = dynamic_cast<wxMessageDialog*>(dialog) )
            return AnswerMessage(message);
        if ( auto* file = dynamic_cast<wxFileDialog*>(dialog) )
            return ChooseFile(file);
        if ( auto* address = dynamic_cast<AddressDialog*>(dialog) )
            return EnterAddress(address);
        if ( auto* entry = dynamic_cast<wxTextEntryDialog*>(dialog) )
        {
            m_log.Note("dialog:text");
            entry->SetValue(wxString::Format("typed %u", unsigned(m_random() % 100)));
            return Pick({ wxID_OK, wxID_CANCEL });
        }
        m_log.Note("dialog:" + Utf8(dialog->GetClassInfo()->GetClassName()));
        return Pick({ wxID_OK, wxID_CANCEL });
    }

    void Exit(wxDialog* WXUNUSED(dialog)) override {}

private:
    int Pick(const std::vector<int>& choices)
    {
        return choices[m_random() % choices.size()];
    }

    int AnswerMessage(wxMessageDialog* message)
    {
        if ( message->GetMessage() == "Quit program?" )
        {
            m_log.Note("dialog:quit");
            return wxID_NO;
        }
        m_log.Note("dialog:message");
        const long style = message->GetMessageDialogStyle();
        std::vector<int> choices;
        if ( style & wxYES_NO )
            choices = { wxID_YES, wxID_NO };
        else
            choices = { wxID_OK };
        if ( style & wxCANCEL )
            choices.push_back(wxID_CANCEL);
        return Pick(choices);
    }

    // As ExpectFile: GTK's chooser only reports a path once it has been shown.
    int ChooseFile(wxFileDialog* dialog)
    {
        m_log.Note("dialog:file");
        const int id = Pick({ wxID_OK, wxID_OK, wxID_CANCEL });
        if ( id != wxID_OK )
            return id;
        const wxString path = m_files[m_random() % m_files.size()];
        dialog->Show();
        dialog->SetPath(path);
        for ( int i = 0; i < 50 && dialog->GetPath() != path; ++i )
        {
            wxTheApp->Yield(true);
            wxMilliSleep(10);
        }
        dialog->Hide();
        return id;
    }

    // Types an address, lets the dialog check it as a person waits for the result, then
    // presses OK or Cancel.
    int EnterAddress(AddressDialog* dialog)
    {
        m_log.Note("dialog:address");
        dialog->GetField()->SetValue(m_addresses[m_random() % m_addresses.size()]);
        // OK on an empty field would close the dialog at once, which only a shown one can.
        if ( m_random() % 2 && !dialog->GetAddress().empty() )
        {
            m_open = true;
            wxCommandEvent ok(wxEVT_BUTTON, wxID_OK);
            dialog->GetEventHandler()->ProcessEvent(ok);
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while ( dialog->IsChecking() && std::chrono::steady_clock::now() < end )
            {
                wxTheApp->ProcessPendingEvents();
                wxMilliSleep(2);
            }
            EXPECT_FALSE(dialog->IsChecking());
            m_open = false;
        }
        const int id = Pick({ wxID_OK, wxID_CANCEL });
        if ( id == wxID_OK && !dialog->GetAddress().empty() )
            m_log.addressTaken = true;
        return id;
    }

    std::minstd_rand& m_random;
    RunLog& m_log;
    std::vector<wxString> m_files;
    std::vector<wxString> m_addresses;
    std::atomic<bool>& m_open;
};

// Window messages (success, failure, the question before replacing a signature) answered from
// the same generator.
class RandomMessenger : public RecordingMessenger
{
public:
    RandomMessenger(std::minstd_rand& random, RunLog& log) : m_random(random), m_log(log) {}

    int ShowMessage(const wxString& message, const wxString& caption, long style) override
    {
        m_log.Note("messenger");
        if ( style & wxYES_NO )
            Answer(m_random() % 2 ? wxYES : wxNO);
        else
            Answer(wxOK);
        return RecordingMessenger::ShowMessage(message, caption, style);
    }

private:
    std::minstd_rand& m_random;
    RunLog& m_log;
};

const char* const FEED =
    "<rss><channel><item><title>Newest post \xc3\xa9t\xc3\xa9</title>"
    "<link>http://blog.example/newest</link></item></channel></rss>";
const char* const OTHER_FEED =
    "<feed xmlns=\"http://www.w3.org/2005/Atom\"><entry><title>Other \xe2\x82\xac</title>"
    "<link href=\"http://other.example/post\"/></entry></feed>";

} // anonymous namespace

class RandomInput : public FrameTest
{
protected:
    RandomInput() : m_messenger(m_random, m_log) {}

    bool Enabled(int id)
    {
        m_frame->UpdateWindowUI(wxUPDATE_UI_RECURSE);
        wxWindow* window = m_frame->FindWindow(id);
        return window && window->IsShownOnScreen() && window->IsEnabled();
    }

    bool MenuEnabled(int id)
    {
        wxMenuBar* bar = m_frame->GetMenuBar();
        for ( size_t i = 0; i < bar->GetMenuCount(); ++i )
            bar->GetMenu(i)->UpdateUI(m_frame);
        return bar->FindItem(id) && bar->IsEnabled(id);
    }

    // A key pressed with the focus in the window: the frame's own key handling first, then its
    // accelerators and those of the menu items, then the template editor, which has the focus.
    void PressKey(int code, int modifiers)
    {
        wxKeyEvent hook(wxEVT_CHAR_HOOK);
        hook.m_keyCode = code;
        hook.SetControlDown(modifiers & wxMOD_CONTROL);
        hook.SetAltDown(modifiers & wxMOD_ALT);
        hook.SetShiftDown(modifiers & wxMOD_SHIFT);
        hook.SetEventObject(m_frame->GetTemplateCtrl());
        if ( m_frame->ProcessWindowEvent(hook) )
            return;
        wxKeyEvent key(hook);
        key.SetEventType(wxEVT_KEY_DOWN);
        int command = m_frame->GetAcceleratorTable()->GetCommand(key);
        if ( command == -1 )
            command = MenuAccelerator(code, modifiers);
        if ( command != -1 )
        {
            if ( MenuEnabled(command) )
                Command(wxEVT_MENU, command);
            return;
        }
        wxTextCtrl* editor = m_frame->GetTemplateCtrl();
        const bool typed = (code >= ' ' && code < 127) || code == WXK_BACK
                           || code == WXK_DELETE || code == WXK_RETURN;
        if ( typed && modifiers == wxMOD_NONE && editor->IsEnabled() && editor->IsEditable() )
            Edit([&] { editor->EmulateKeyPress(key); });
    }

    int MenuAccelerator(int code, int modifiers)
    {
        wxMenuBar* bar = m_frame->GetMenuBar();
        for ( size_t i = 0; i < bar->GetMenuCount(); ++i )
        {
            for ( const wxMenuItem* item : bar->GetMenu(i)->GetMenuItems() )
            {
                std::unique_ptr<wxAcceleratorEntry> accel(item->GetAccel());
                if ( accel && accel->GetKeyCode() == code && accel->GetFlags() == modifiers )
                    return item->GetId();
            }
        }
        return -1;
    }

    // A change made in the editor as typing would make it. wxGTK counts text put in by the
    // program as no edit, where a key typed into GTK's view is one.
    template <class Change>
    void Edit(Change change)
    {
        wxTextCtrl* editor = m_frame->GetTemplateCtrl();
        const wxString before = editor->GetValue();
        change();
        if ( editor->GetValue() != before )
            editor->MarkDirty();
    }

    void Click(int id)
    {
        if ( !Enabled(id) )
            return;
        if ( id == ID_READ_ONLY )
        {
            wxCheckBox* box = Find<wxCheckBox>(ID_READ_ONLY);
            box->SetValue(!box->GetValue());
            Command(wxEVT_CHECKBOX, id, box->GetValue());
            return;
        }
        wxCommandEvent event(wxEVT_BUTTON, id);
        event.SetEventObject(m_frame->FindWindow(id));
        m_frame->FindWindow(id)->GetEventHandler()->ProcessEvent(event);
    }

    void ChooseMenu(int id)
    {
        if ( !MenuEnabled(id) )
            return;
        wxMenuItem* item = m_frame->GetMenuBar()->FindItem(id);
        if ( item->IsCheckable() )
        {
            item->Check(!item->IsChecked());
            Command(wxEVT_MENU, id, item->IsChecked());
            return;
        }
        Command(wxEVT_MENU, id);
    }

    // One action drawn from the generator.
    void Act()
    {
        static const char* const TYPED[] = { "a", "Z", " ", "%", "%title%", "%link%", "\xc3\xa9",
                                          "\xc3\x9f", "\xe2\x82\xac", "\n", "-", "1" };
        static const int BUTTONS[] = { ID_GET_DATA, ID_ENTER_URL, ID_SELECT_FILE,
                                       ID_UPDATE_SIGNATURE, ID_SAVE_TEMPLATE, ID_RELOAD_TEMPLATE,
                                       ID_CANCEL_FETCH, ID_READ_ONLY };
        static const int MENUS[] = { ID_SAVE_TEMPLATE, ID_RELOAD_TEMPLATE, wxID_EXIT,
                                     ID_GET_DATA, ID_UPDATE_SIGNATURE, ID_OPEN_SIGNATURE,
                                     ID_SCHEDULE, wxID_HELP, wxID_HOME, ID_CHECK_UPDATES,
                                     ID_AUTO_CHECK, wxID_ABOUT };
        static const struct { int code; int modifiers; } KEYS[] = {
            { WXK_ESCAPE, wxMOD_NONE }, { 'S', wxMOD_CONTROL }, { WXK_F1, wxMOD_NONE },
            { WXK_F1, wxMOD_ALT }, { WXK_F4, wxMOD_ALT }, { WXK_BACK, wxMOD_NONE },
            { WXK_DELETE, wxMOD_NONE }, { WXK_RETURN, wxMOD_NONE }, { WXK_TAB, wxMOD_NONE },
            { 'X', wxMOD_NONE }, { 'q', wxMOD_NONE }, { WXK_F10, wxMOD_NONE } };

        wxTextCtrl* editor = m_frame->GetTemplateCtrl();
        const unsigned kind = m_random() % 100;
        if ( kind < 40 )
        {
            m_log.Note("type");
            const wxString text = wxString::FromUTF8(TYPED[m_random() % WXSIZEOF(TYPED)]);
            if ( editor->IsEnabled() && editor->IsEditable() )
                Edit([&] { editor->WriteText(text); });
        }
        else if ( kind < 50 )
        {
            m_log.Note("caret");
            editor->SetInsertionPoint(m_random() % (editor->GetLastPosition() + 1));
        }
        else if ( kind < 65 )
        {
            const auto& key = KEYS[m_random() % WXSIZEOF(KEYS)];
            m_log.Note(wxString::Format("key:%d/%d", key.code, key.modifiers).ToStdString());
            PressKey(key.code, key.modifiers);
        }
        else if ( kind < 80 )
        {
            const int id = BUTTONS[m_random() % WXSIZEOF(BUTTONS)];
            m_log.Note(wxString::Format("click:%d", id).ToStdString());
            Click(id);
        }
        else if ( kind < 93 )
        {
            const int id = MENUS[m_random() % WXSIZEOF(MENUS)];
            m_log.Note(wxString::Format("menu:%d", id).ToStdString());
            ChooseMenu(id);
        }
        else if ( kind < 96 )
        {
            // What GTK sends when a menu opens; the Commands menu asks for the timer's state.
            wxMenuBar* bar = m_frame->GetMenuBar();
            wxMenu* menu = bar->GetMenu(m_random() % bar->GetMenuCount());
            m_log.Note("open-menu");
            wxMenuEvent open(wxEVT_MENU_OPEN, 0, menu);
            m_frame->ProcessWindowEvent(open);
        }
        else if ( kind < 98 )
        {
            m_log.Note("field");
            if ( m_random() % 2 )
            {
                wxCommandEvent enter(wxEVT_TEXT_ENTER, ID_FEED_URL);
                Find<wxTextCtrl>(ID_FEED_URL)->GetEventHandler()->ProcessEvent(enter);
            }
            else
            {
                wxMouseEvent click(wxEVT_LEFT_DCLICK);
                Find<wxTextCtrl>(ID_FILE_PATH)->GetEventHandler()->ProcessEvent(click);
            }
        }
        else
        {
            m_log.Note("close");
            m_frame->Close();
        }
    }

    // Lets queued events run and, now and then, a held fetch end, so that the next actions
    // meet a fetch still running or none, as the generator says and not as timing has it. A
    // cancelled fetch is always let end, as its worker stops on its own.
    void Settle()
    {
        wxTheApp->ProcessPendingEvents();
        const bool release = m_random() % 4 == 0;
        if ( m_frame->IsFetching()
             && (release || m_frame->GetStatusBar()->GetStatusText() == "Stopping...") )
        {
            m_log.Note("fetch-ends");
            m_open = true;
            EXPECT_TRUE(WaitForFetch()) << m_log.Recent();
            m_open = false;
        }
        for ( int i = 0; i < 1000 && m_frame->IsAskingSchedule(); ++i )
        {
            wxMilliSleep(2);
            wxTheApp->ProcessPendingEvents();
        }
        wxTheApp->ProcessPendingEvents();
        wxTheApp->ProcessIdle();
    }

    // Serves a response only once the test lets fetches end.
    void Hold(FixtureServer& server, const std::string& path, const std::string& response)
    {
        server.Handle(path, [this, response](const FixtureRequest&, FixtureConnection& connection)
        {
            while ( !m_open && !connection.Stopping() )
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            connection.Send(response);
        });
    }

    // An editor without unsaved edits shows what the template file holds.
    void CheckTemplateDocument()
    {
        wxTextCtrl* editor = m_frame->GetTemplateCtrl();
        if ( editor->IsModified() || m_frame->IsWaitingForLock() )
            return;
        EXPECT_EQ(ReadBytes(GetTemplatePath("default.txt")), Utf8(editor->GetValue()))
            << m_log.Recent();
    }

    std::minstd_rand m_random{ SEED };
    std::atomic<bool> m_open{ false };  // whether the server answers
    RunLog m_log;
    RandomMessenger m_messenger;
};

TEST_F(RandomInput, ThousandsOfKeysAndClicksLeaveTheWindowAndItsFilesWhole)
{
    FixtureServer server;
    Hold(server, "/feed", FixtureServer::Response(200, FEED));
    Hold(server, "/other", FixtureServer::Response(200, OTHER_FEED));
    Hold(server, "/missing", FixtureServer::Response(404, "gone"));
    Hold(server, "/updates/feedquill.txt", FixtureServer::Response(200, "|1.0|1.0|today|"));
    ScopedEnv update("FEEDQUILL_UPDATE_URL", server.Url("/updates/feedquill.txt"));
    wxString home = m_dir.GetPath();
    home.RemoveLast();
    ScopedEnv env("HOME", home.ToStdString());

    // No systemd is ever asked: the launcher answers as a user manager without the timer.
    m_launcher.m_run = [](const wxString& command, wxString& output)
    {
        if ( command.Contains("is-enabled") )
        {
            output = "disabled";
            return 1;
        }
        return 0;
    };

    const wxString feedURL = server.Url("/feed");
    const wxString signature = m_dir.File("signature");
    WriteBytes(signature, HAND_WRITTEN);
    WriteBytes(GetTemplatePath("default.txt"), SAVED_TEMPLATE);
    WriteBytes(GetConfigPath(), "[project/default]\nFeedURL=" + feedURL.ToStdString()
                                    + "\nFilePath=" + signature.ToStdString() + "\n");
    ReopenConfig();
    MakeFrame();
    ASSERT_EQ(g_project.m_feedURL, feedURL);
    ASSERT_EQ(m_frame->GetTemplateCtrl()->GetValue(), SAVED_TEMPLATE);

    {
        LogCollector log;  // the failures of unreachable addresses, which would go to stderr
        RandomAnswers answers(m_random, m_log,
                              { signature, m_dir.File("other.signature"), signature },
                              { feedURL, server.Url("/other"), "   ", server.Url("/missing") },
                              m_open);
        for ( int i = 0; i < ACTIONS && !HasFailure(); ++i )
        {
            Act();
            Settle();
            CheckTemplateDocument();
        }
        // Whatever was left running ends before the files are looked at.
        m_open = true;
        EXPECT_TRUE(WaitForFetch()) << m_log.Recent();
        for ( int i = 0; i < 1000 && (m_frame->IsAskingSchedule() || m_frame->IsWaitingForLock());
              ++i )
        {
            wxMilliSleep(2);
            wxTheApp->ProcessPendingEvents();
            wxTheApp->ProcessIdle();
        }
    }
    for ( const auto& [what, count] : m_log.counts )
        std::printf("%-20s %d\n", what.c_str(), count);

    // The window is alive and still answers: a last save writes the editor's text.
    ASSERT_FALSE(IsClosing());
    wxTextCtrl* editor = m_frame->GetTemplateCtrl();
    if ( m_frame->IsReadOnly() )
        Click(ID_READ_ONLY);
    editor->SetInsertionPointEnd();
    Edit([&] { editor->WriteText("\nlast words"); });
    Command(wxEVT_MENU, ID_SAVE_TEMPLATE);
    EXPECT_FALSE(editor->IsModified());
    const std::string saved = ReadBytes(GetTemplatePath("default.txt"));
    EXPECT_TRUE(IsUtf8(saved));
    EXPECT_EQ(saved, Utf8(editor->GetValue()));
    EXPECT_NE(saved.find("last words"), std::string::npos);

    // The settings parse and hold what the window shows.
    wxConfigBase::Get()->Flush();
    wxFileInputStream stream(GetConfigPath());
    ASSERT_TRUE(stream.IsOk());
    wxFileConfig stored(stream);
    const wxString storedURL = stored.Read("/project/default/FeedURL", "");
    EXPECT_EQ(storedURL, g_project.m_feedURL);
    if ( !m_log.addressTaken )
    {
        EXPECT_EQ(storedURL, feedURL);
    }
    EXPECT_FALSE(storedURL.empty());
    EXPECT_EQ(stored.Read("/project/default/FilePath", ""), g_project.m_filePath);

    // Every signature is whole text; the hand-written one, once replaced, was kept beside it.
    for ( const wxString& path : { signature, m_dir.File("other.signature") } )
        EXPECT_TRUE(IsUtf8(ReadBytes(path))) << path;
    if ( ReadBytes(signature) != HAND_WRITTEN )
    {
        EXPECT_EQ(ReadBytes(signature + ".before-feedquill"), HAND_WRITTEN);
    }
    wxArrayString files;
    wxDir::GetAllFiles(m_dir.GetPath(), &files);
    for ( const wxString& file : files )
        EXPECT_FALSE(file.Contains(".feedquill-new-")) << file;

    // Nothing outside the program was started: help and the web site went to the recording
    // launcher, systemd was only asked through it.
    for ( const wxString& run : m_launcher.m_runs )
        EXPECT_TRUE(run.StartsWith("systemctl --user ")) << run;
    EXPECT_TRUE(m_launcher.m_commands.empty());
}
