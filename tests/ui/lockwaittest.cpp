// The window's writes while another run holds the run lock, and opening a file that fails.

#include "uitest.h"

#include "base/runlock.h"
#include "project/project.h"
#include "ui/windowmessenger.h"

#include <wx/statusbr.h>
#include <wx/textctrl.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

// Another run holding Feedquill.lock: a child process with flock on it until released.
class LockHolder
{
public:
    explicit LockHolder(const wxString& lockPath)
    {
        int ready[2];
        if ( pipe(m_release) != 0 || pipe(ready) != 0 )
            return;
        m_child = fork();
        if ( m_child == 0 )
        {
            close(m_release[1]);
            const int fd = open(lockPath.fn_str(), O_RDWR | O_CREAT, 0600);
            flock(fd, LOCK_EX);
            char c = 0;
            (void)!write(ready[1], &c, 1);
            (void)!read(m_release[0], &c, 1);  // until the parent closes its end
            _exit(0);
        }
        char c;
        (void)!read(ready[0], &c, 1);
        close(ready[0]);
        close(ready[1]);
        close(m_release[0]);
    }

    ~LockHolder() { Release(); }

    void Release()
    {
        if ( m_child <= 0 )
            return;
        close(m_release[1]);
        waitpid(m_child, nullptr, 0);
        m_child = -1;
    }

private:
    int m_release[2] = {-1, -1};
    pid_t m_child = -1;
};

} // anonymous namespace

class LockWaitTest : public FrameTest
{
protected:
    wxString Status() const { return m_frame->GetStatusBar()->GetStatusText(); }

    // Runs the window's event loop, timers too, until it no longer waits, at most ten seconds.
    bool RunUntilDone()
    {
        for ( int i = 0; i < 1000 && m_frame->IsWaitingForLock(); ++i )
        {
            wxTheApp->Yield(true);
            wxMilliSleep(10);
        }
        return !m_frame->IsWaitingForLock();
    }

    void PrepareSignature()
    {
        MakeFrame();
        g_project.m_filePath = m_dir.File("signature");
        g_project.m_lastTitle = "T";
        g_project.m_lastLink = "L";
        m_frame->TransferDataToWindow();
        m_frame->GetTemplateCtrl()->ChangeValue("[%title%](%link%)");
    }
};

TEST_F(LockWaitTest, AWriteWaitsForATimerRunWithoutBlockingTheWindow)
{
    PrepareSignature();
    LockHolder timerRun(g_dataDir + "Feedquill.lock");
    Command(wxEVT_MENU, ID_UPDATE_SIGNATURE);
    // The command returned at once: the window goes on handling events meanwhile.
    ASSERT_TRUE(m_frame->IsWaitingForLock());
    EXPECT_EQ(Status(), "Waiting for another Feedquill run to finish...");
    EXPECT_TRUE(Find<wxWindow>(ID_CANCEL_FETCH)->IsShown());
    bool handled = false;
    m_frame->CallAfter([&handled] { handled = true; });
    wxTheApp->ProcessPendingEvents();
    EXPECT_TRUE(handled);
    EXPECT_FALSE(FileExists(m_dir.File("signature")));

    timerRun.Release();
    ASSERT_TRUE(RunUntilDone());
    EXPECT_EQ(ReadBytes(m_dir.File("signature")), "[T](L)");
    EXPECT_TRUE(Status().StartsWith("Signature written to ")) << Status();
}

TEST_F(LockWaitTest, CancelDropsTheWaitingWrites)
{
    PrepareSignature();
    LockHolder timerRun(g_dataDir + "Feedquill.lock");
    Command(wxEVT_MENU, ID_UPDATE_SIGNATURE);
    ASSERT_TRUE(m_frame->IsWaitingForLock());
    Command(wxEVT_BUTTON, ID_CANCEL_FETCH);
    EXPECT_FALSE(m_frame->IsWaitingForLock());
    EXPECT_EQ(Status(), "Stopped. Nothing was changed.");
    timerRun.Release();
    EXPECT_FALSE(FileExists(m_dir.File("signature")));
}

TEST_F(LockWaitTest, AfterTheWaitLimitTheWriteIsDroppedWithTheReason)
{
    PrepareSignature();
    RunLock::SetWaitLimit(1);
    LockHolder timerRun(g_dataDir + "Feedquill.lock");
    LogCollector log;
    Command(wxEVT_MENU, ID_UPDATE_SIGNATURE);
    const bool done = RunUntilDone();
    RunLock::SetWaitLimit(60);
    ASSERT_TRUE(done);
    ASSERT_EQ(log.GetErrors().size(), 1u);
    EXPECT_TRUE(log.GetErrors()[0].StartsWith("Another Feedquill run holds")) << log.GetAll();
    EXPECT_FALSE(FileExists(m_dir.File("signature")));
}

TEST(OpenFile, AFailingXdgOpenIsShownWithTheFileAndTheReason)
{
    TempDir bin;
    WriteBytes(bin.File("xdg-open"), "#!/bin/sh\necho 'no method available' >&2\nexit 3\n");
    chmod(bin.File("xdg-open").fn_str(), 0755);
    ScopedEnv path("PATH", std::string(bin.GetPath().fn_str()) + ":" + std::getenv("PATH"));
    LogCollector log;
    WindowLauncher launcher;
    ASSERT_TRUE(launcher.OpenFile("/home/someone/.signature.txt"));
    for ( int i = 0; i < 1000 && log.GetErrors().empty(); ++i )
    {
        wxTheApp->Yield(true);
        wxMilliSleep(10);
    }
    ASSERT_EQ(log.GetErrors().size(), 1u);
    EXPECT_EQ(log.GetErrors()[0], "Impossible to find out how to open files of extension 'txt'\n"
                                  "\"/home/someone/.signature.txt\": No program to open files "
                                  "of this type was found.");
}
