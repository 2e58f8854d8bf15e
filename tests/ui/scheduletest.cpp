// The hourly update, turned on and off from the Commands menu through systemctl.

#include "uitest.h"

#include <wx/menu.h>

#include <gtest/gtest.h>

#include <thread>

class FrameSchedule : public FrameTest
{
protected:
    // A user manager that knows the timer in the given state and does what it is told.
    void AnswerAsSystemd(bool available, const wxString& enabled)
    {
        m_enabled = enabled;
        m_launcher.m_run = [this, available](const wxString& command, wxString& output)
        {
            if ( !available )
                return 1;
            if ( command.EndsWith("able --now feedquill.timer") )
                m_enabled = command.Contains("disable") ? "disabled" : "enabled";
            if ( command.Contains("is-enabled") )
                output = m_enabled;
            return command.Contains("is-enabled") && m_enabled != "enabled" ? 1 : 0;
        };
    }

    // What GTK sends when the user opens the Commands menu; then waits for systemd's answer,
    // which comes back to the window's thread.
    void OpenCommandsMenu()
    {
        wxMenu* commands = nullptr;
        ASSERT_TRUE(m_frame->GetMenuBar()->FindItem(ID_SCHEDULE, &commands));
        wxMenuEvent open(wxEVT_MENU_OPEN, 0, commands);
        m_frame->ProcessWindowEvent(open);
        for ( int i = 0; i < 1000 && m_frame->IsAskingSchedule(); ++i )
        {
            wxMilliSleep(5);
            wxTheApp->ProcessPendingEvents();
        }
        ASSERT_FALSE(m_frame->IsAskingSchedule());
    }

    bool IsChecked() const
    {
        return m_frame->GetMenuBar()->IsChecked(ID_SCHEDULE);
    }

    wxString m_enabled;
};

TEST_F(FrameSchedule, TheItemShowsAndSwitchesTheTimer)
{
    AnswerAsSystemd(true, "enabled");
    MakeFrame();
    wxTheApp->ProcessPendingEvents();
    // Nothing is started before the window shows: systemd is asked when the menu opens.
    EXPECT_TRUE(m_launcher.m_runs.empty());
    OpenCommandsMenu();
    EXPECT_TRUE(IsChecked());
    EXPECT_EQ(m_launcher.m_runs.back(), "systemctl --user is-enabled feedquill.timer");

    m_frame->GetMenuBar()->Check(ID_SCHEDULE, false);
    Command(wxEVT_MENU, ID_SCHEDULE, 0);
    EXPECT_EQ(m_launcher.m_runs.back(), "systemctl --user disable --now feedquill.timer");
    EXPECT_EQ(m_enabled, "disabled");
    EXPECT_FALSE(IsChecked());

    m_frame->GetMenuBar()->Check(ID_SCHEDULE, true);
    Command(wxEVT_MENU, ID_SCHEDULE, 1);
    EXPECT_EQ(m_launcher.m_runs.back(), "systemctl --user enable --now feedquill.timer");
    EXPECT_EQ(m_enabled, "enabled");
    EXPECT_TRUE(IsChecked());
    EXPECT_TRUE(m_messenger.GetMessages().empty());
    EXPECT_TRUE(m_launcher.m_commands.empty());
}

TEST_F(FrameSchedule, WithoutSystemdItGivesTheCrontabLine)
{
    AnswerAsSystemd(false, "");
    MakeFrame();
    m_frame->GetMenuBar()->Check(ID_SCHEDULE, true);
    OpenCommandsMenu();
    EXPECT_FALSE(IsChecked());

    m_frame->GetMenuBar()->Check(ID_SCHEDULE, true);
    Command(wxEVT_MENU, ID_SCHEDULE, 1);
    EXPECT_FALSE(IsChecked());
    for ( const wxString& run : m_launcher.m_runs )
        EXPECT_FALSE(run.Contains("enable --now")) << run;
    ASSERT_EQ(m_messenger.GetMessages().size(), 1u);
    const wxString text = m_messenger.GetMessages()[0].text;
    EXPECT_TRUE(text.Contains("systemd user manager is not available")) << text;
    EXPECT_TRUE(text.Contains("17 * * * * LANG=")) << text;
    EXPECT_TRUE(text.EndsWith(" -q --all")) << text;
}

TEST_F(FrameSchedule, AFailedSwitchSaysWhatSystemctlSaid)
{
    AnswerAsSystemd(true, "disabled");
    m_launcher.m_run = [](const wxString& command, wxString& output)
    {
        if ( command.Contains("enable --now") )
        {
            output = "Failed to enable unit: Unit file feedquill.timer does not exist.";
            return 1;
        }
        return command.Contains("is-enabled") ? 1 : 0;
    };
    MakeFrame();
    wxTheApp->ProcessPendingEvents();
    m_frame->GetMenuBar()->Check(ID_SCHEDULE, true);
    Command(wxEVT_MENU, ID_SCHEDULE, 1);
    EXPECT_FALSE(IsChecked());
    ASSERT_EQ(m_messenger.GetMessages().size(), 1u);
    EXPECT_EQ(m_messenger.GetMessages()[0].text,
              "The hourly update could not be turned on.\n\n"
              "Failed to enable unit: Unit file feedquill.timer does not exist.");
}

TEST_F(FrameSchedule, OpeningTheMenuAsksSystemdOnAnotherThread)
{
    // Waiting for systemctl inside GTK's menu handling, with or without an event loop, froze
    // or broke the menu.
    const std::thread::id windowThread = std::this_thread::get_id();
    std::thread::id askedOn = windowThread;
    AnswerAsSystemd(true, "enabled");
    auto answer = m_launcher.m_run;
    m_launcher.m_run = [&askedOn, answer](const wxString& command, wxString& output)
    {
        askedOn = std::this_thread::get_id();
        return answer(command, output);
    };
    MakeFrame();
    OpenCommandsMenu();
    EXPECT_NE(askedOn, windowThread);
    EXPECT_TRUE(IsChecked());
}
