// The window tests' main: a plain wxApp on the display that Xvfb provides, not FeedquillApp,
// so that each test builds exactly the windows it needs.

#include "testenv.h"

#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv)
{
    // GoogleTest takes its own flags out of argv; a run under Xvfb needs them all.
    std::vector<char*> original(argv, argv + argc);
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests needs no display.
    if ( ::testing::GTEST_FLAG(list_tests) )
        return RUN_ALL_TESTS();
    // Without a display, bring one: run again under a private Xvfb.
    const char* display = std::getenv("DISPLAY");
    if ( !display || !*display )
    {
        std::vector<char*> args = { const_cast<char*>("xvfb-run"), const_cast<char*>("-a") };
        args.insert(args.end(), original.begin(), original.end());
        args.push_back(nullptr);
        execvp("xvfb-run", args.data());
        std::perror("xvfb-run");
        return 1;
    }
    PrepareTestProcess();
    // No desktop session under Xvfb: GTK's settings stay in memory, and no accessibility bus
    // is looked for (waiting for one can take longer than a test may).
    setenv("GSETTINGS_BACKEND", "memory", 1);
    setenv("NO_AT_BRIDGE", "1", 1);
    setenv("GTK_A11Y", "none", 1);
    // A display server under heavy load may refuse a connection for a moment.
    bool started = false;
    for ( int attempt = 0; attempt < 5 && !started; ++attempt )
    {
        if ( attempt > 0 )
            sleep(1);
        wxApp::SetInstance(new wxApp);
        started = wxEntryStart(argc, argv);
    }
    if ( !started )
    {
        std::fprintf(stderr, "cannot open the display %s\n", display);
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
    return result;
}
