// The window tests' main: a plain wxApp, not FeedquillApp, so that each test builds exactly the
// windows it needs, on an X server of its own.

#include "testenv.h"

#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

// Reads the display number that Xvfb writes once it accepts connections; empty when it does
// not within the time limit.
std::string ReadDisplayNumber(int fd)
{
    std::string number;
    pollfd ready = { fd, POLLIN, 0 };
    char c;
    while ( poll(&ready, 1, 20000) > 0 && read(fd, &c, 1) == 1 && c != '\n' )
        number += c;
    return number;
}

// Starts Xvfb for this process alone and points DISPLAY at it, so that no other test program's
// windows, focus, selections or grabs ever meet this one's (ctest runs several at once). The
// server ends with the process, however it ends. Returns its process id, or -1.
pid_t StartPrivateDisplay()
{
    int pipeFds[2];
    if ( pipe(pipeFds) != 0 )
        return -1;
    const pid_t server = fork();
    if ( server == 0 )
    {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        close(pipeFds[0]);
        if ( !std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr) )
            _exit(127);
        const std::string fd = std::to_string(pipeFds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
               "-nolisten", "tcp", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    const std::string number = server > 0 ? ReadDisplayNumber(pipeFds[0]) : std::string();
    close(pipeFds[0]);
    if ( number.empty() )
    {
        if ( server > 0 )
        {
            kill(server, SIGTERM);
            waitpid(server, nullptr, 0);
        }
        return -1;
    }
    setenv("DISPLAY", (":" + number).c_str(), 1);
    return server;
}

void StopPrivateDisplay(pid_t server)
{
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
}

} // anonymous namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests needs no display.
    if ( ::testing::GTEST_FLAG(list_tests) )
        return RUN_ALL_TESTS();
    const pid_t server = StartPrivateDisplay();
    if ( server < 0 )
    {
        std::fprintf(stderr, "cannot start Xvfb for the window tests\n");
        return 1;
    }
    PrepareTestProcess();
    // No desktop session under Xvfb: GTK's settings stay in memory, and no accessibility bus
    // is looked for (waiting for one can take longer than a test may).
    setenv("GSETTINGS_BACKEND", "memory", 1);
    setenv("NO_AT_BRIDGE", "1", 1);
    setenv("GTK_A11Y", "none", 1);
    wxApp::SetInstance(new wxApp);
    if ( !wxEntryStart(argc, argv) )
    {
        std::fprintf(stderr, "cannot open the display %s\n", std::getenv("DISPLAY"));
        StopPrivateDisplay(server);
        return 1;
    }
    wxTheApp->SetAppName("feedquill");
    wxTheApp->CallOnInit();
    // Logged errors would otherwise become message boxes that nobody answers.
    delete wxLog::SetActiveTarget(new wxLogStderr);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    const int result = RUN_ALL_TESTS();
    curl_global_cleanup();
    wxTheApp->OnExit();
    wxEntryCleanup();
    StopPrivateDisplay(server);
    return result;
}
