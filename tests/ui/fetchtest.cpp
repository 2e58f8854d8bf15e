// Get Data and Check for Updates read from the network while the window goes on answering.

#include "uitest.h"

#include "fixtureserver.h"
#include "project/project.h"

#include <wx/accel.h>
#include <wx/button.h>
#include <wx/config.h>
#include <wx/panel.h>
#include <wx/statusbr.h>

#include <gtest/gtest.h>

#include <chrono>

using Clock = std::chrono::steady_clock;

namespace
{

// A server that accepts the request and then says nothing for 30 seconds.
void Stall(FixtureServer& server)
{
    server.Handle("/feed", [](const FixtureRequest&, FixtureConnection& connection)
    {
        connection.Hold(std::chrono::seconds(30));
    });
}

} // anonymous namespace

class FrameFetch : public FrameTest
{
protected:
    // A project whose feed is on a server that stalls; its signature and settings are on disk.
    void MakeStalledProject()
    {
        ASSERT_TRUE(m_server.IsOk());
        Stall(m_server);
        WriteBytes(GetConfigPath(), "[project/default]\nFeedURL=" + m_server.Url("/feed")
                                    + "\nFilePath=" + m_dir.File("signature").ToStdString()
                                    + "\nLastTitle=Old\nLastLink=http://blog.example/old\n");
        WriteBytes(m_dir.File("signature"), "old signature");
        ReopenConfig();
        MakeFrame();
        m_config = ReadBytes(GetConfigPath());
    }

    // Escape as the window's thread gets it from GTK, before the focused control; whether
    // the window took it.
    bool PressEscape()
    {
        wxKeyEvent escape(wxEVT_CHAR_HOOK);
        escape.m_keyCode = WXK_ESCAPE;
        escape.SetEventObject(m_frame);
        m_frame->ProcessWindowEvent(escape);
        return !escape.GetSkipped();
    }

    wxString Status() const
    {
        return m_frame->GetStatusBar()->GetStatusText();
    }

    FixtureServer m_server;
    std::string m_config;
};

TEST_F(FrameFetch, AStalledFeedLeavesTheWindowAnsweringAndEscapeStopsIt)
{
    MakeStalledProject();
    // Get Data returns while the server says nothing: the fetch is still running.
    Command(wxEVT_BUTTON, ID_GET_DATA);
    ASSERT_TRUE(m_frame->IsFetching());
    EXPECT_FALSE(Find<wxButton>(ID_GET_DATA)->IsEnabled());
    EXPECT_TRUE(Find<wxButton>(ID_CANCEL_FETCH)->IsShown());
    EXPECT_EQ(Status(), "Connecting to 127.0.0.1...");

    // The window repaints while the server says nothing.
    int paints = 0;
    wxWindow* panel = m_frame->FindWindow(ID_PANEL);
    panel->Bind(wxEVT_PAINT, [&paints](wxPaintEvent& event)
    {
        ++paints;
        event.Skip();
    });
    panel->Refresh();
    for ( int i = 0; i < 100 && paints == 0; ++i )
    {
        wxTheApp->Yield(true);
        wxMilliSleep(10);
    }
    EXPECT_GT(paints, 0);
    EXPECT_TRUE(m_frame->IsFetching());
    // A second Get Data while one runs starts nothing.
    Command(wxEVT_MENU, ID_GET_DATA);

    // Escape, through the window's keys.
    // The server would say nothing for far longer than the wait.
    EXPECT_TRUE(PressEscape());
    ASSERT_TRUE(WaitForFetch(std::chrono::seconds(3)));

    EXPECT_EQ(Status(), "Stopped. Nothing was changed.");
    EXPECT_TRUE(Find<wxButton>(ID_GET_DATA)->IsEnabled());
    EXPECT_FALSE(Find<wxButton>(ID_CANCEL_FETCH)->IsShown());
    EXPECT_EQ(ReadBytes(m_dir.File("signature")), "old signature");
    wxConfigBase::Get()->Flush();
    EXPECT_EQ(ReadBytes(GetConfigPath()), m_config);
    EXPECT_EQ(g_project.m_lastTitle, "Old");
    EXPECT_TRUE(m_messenger.GetMessages().empty());
    EXPECT_EQ(m_server.RequestCount(), 1u);
}

TEST_F(FrameFetch, ClosingDuringAFetchAsksFirstAndStopsItOnlyOnYes)
{
    MakeStalledProject();
    Command(wxEVT_BUTTON, ID_GET_DATA);
    ASSERT_TRUE(m_frame->IsFetching());
    auto quit = std::make_shared<ShownMessage>();
    wxTEST_DIALOG(m_frame->Close(), ExpectMessage(wxNO, quit));
    EXPECT_EQ(quit->message, "Quit program?");
    EXPECT_TRUE(m_frame->IsFetching());
    EXPECT_FALSE(IsClosing());
    EXPECT_NE(Status(), "Stopped. Nothing was changed.");

    wxTEST_DIALOG(m_frame->Close(), ExpectMessage(wxYES, quit));
    EXPECT_FALSE(m_frame->IsFetching());
    EXPECT_TRUE(IsClosing());
    // Whatever the worker had queued is dropped.
    wxTheApp->ProcessPendingEvents();
    EXPECT_EQ(ReadBytes(m_dir.File("signature")), "old signature");
    EXPECT_TRUE(m_messenger.GetMessages().empty());
}

TEST_F(FrameFetch, EscapePassesOnWhenNothingIsFetching)
{
    // An open menu or dialog needs the key to close.
    MakeFrame();
    EXPECT_FALSE(PressEscape());
    wxKeyEvent escape(wxEVT_KEY_DOWN);
    escape.m_keyCode = WXK_ESCAPE;
    EXPECT_EQ(m_frame->GetAcceleratorTable()->GetCommand(escape), -1);
}

TEST_F(FrameFetch, AClickedGetDataHandsTheKeysToCancel)
{
    MakeStalledProject();
    wxButton* getData = Find<wxButton>(ID_GET_DATA);
    getData->SetFocus();
    Command(wxEVT_BUTTON, ID_GET_DATA);
    ASSERT_TRUE(m_frame->IsFetching());
    // A disabled button takes no keys: the focus must not stay on it.
    EXPECT_EQ(wxWindow::FindFocus(), Find<wxButton>(ID_CANCEL_FETCH));
    EXPECT_TRUE(PressEscape());
    ASSERT_TRUE(WaitForFetch(std::chrono::seconds(3)));
    EXPECT_EQ(Status(), "Stopped. Nothing was changed.");
}

TEST_F(FrameFetch, AFetchAfterAStoppedOneStartsClean)
{
    MakeStalledProject();
    Command(wxEVT_BUTTON, ID_GET_DATA);
    Command(wxEVT_BUTTON, ID_CANCEL_FETCH);
    EXPECT_EQ(Status(), "Stopping...");
    ASSERT_TRUE(WaitForFetch(std::chrono::seconds(3)));
    Command(wxEVT_BUTTON, ID_GET_DATA);
    ASSERT_TRUE(m_frame->IsFetching());
    EXPECT_EQ(Status(), "Connecting to 127.0.0.1...");
    Command(wxEVT_BUTTON, ID_CANCEL_FETCH);
    ASSERT_TRUE(WaitForFetch(std::chrono::seconds(3)));
}

TEST_F(FrameFetch, ProgressNamesTheHostThenTheKilobytesRead)
{
    ASSERT_TRUE(m_server.IsOk());
    // Headers and 3 KB, then silence: the line shows what came so far.
    m_server.Handle("/feed", [](const FixtureRequest&, FixtureConnection& connection)
    {
        connection.Send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n<rss><channel>"
                        + std::string(3000, ' '));
        connection.Hold(std::chrono::seconds(30));
    });
    MakeFrame();
    g_project.m_feedURL = m_server.Url("/feed");
    m_frame->TransferDataToWindow();
    Command(wxEVT_BUTTON, ID_GET_DATA);
    const Clock::time_point end = Clock::now() + std::chrono::seconds(5);
    while ( Status() != "Reading the feed: 3 KB" && Clock::now() < end )
    {
        wxTheApp->ProcessPendingEvents();
        wxMilliSleep(5);
    }
    EXPECT_EQ(Status(), "Reading the feed: 3 KB");
    Command(wxEVT_BUTTON, ID_CANCEL_FETCH);
    ASSERT_TRUE(WaitForFetch(std::chrono::seconds(3)));
    EXPECT_EQ(Status(), "Stopped. Nothing was changed.");
}

TEST_F(FrameFetch, ADueCheckIsFetchedWithTheFeedAndToldBeforeTheSuccess)
{
    SKIP_WITHOUT_UPDATE_CHECK();
    ASSERT_TRUE(m_server.IsOk());
    m_server.Serve("/feed", FixtureServer::Response(200,
        "<rss><channel><item><title>Due</title><link>http://blog.example/due</link>"
        "</item></channel></rss>"));
    m_server.Serve("/updates/feedquill.txt", FixtureServer::Response(200, "|1.5|1.5|today|"));
    ScopedEnv url("FEEDQUILL_UPDATE_URL", m_server.Url("/updates/feedquill.txt"));
    MakeFrame();
    g_project.m_feedURL = m_server.Url("/feed");
    g_project.m_filePath = m_dir.File("signature");
    g_project.m_updateCheckDue = true;
    g_project.m_template = "%link% - %title%";
    m_frame->TransferDataToWindow();
    m_messenger.Answer(wxNO);

    Command(wxEVT_BUTTON, ID_GET_DATA);
    ASSERT_TRUE(WaitForFetch());

    EXPECT_EQ(m_server.RequestCount(), 2u);
    ASSERT_EQ(m_messenger.GetMessages().size(), 2u);
    EXPECT_TRUE(m_messenger.GetMessages()[0].text.StartsWith("New version of "));
    EXPECT_TRUE(m_messenger.GetMessages()[1].text.StartsWith("Updated successfully:"));
    EXPECT_FALSE(g_project.m_updateCheckDue);
    EXPECT_NE(ReadBytes(m_dir.File("signature")).find("http://blog.example/due - Due"),
              std::string::npos);
}
