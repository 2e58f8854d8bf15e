// The window tests' main: a plain wxApp on the display that Xvfb provides, not FeedquillApp,
// so that each test builds exactly the windows it needs.

#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    for ( const char* name : { "http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY",
                               "ALL_PROXY", "all_proxy", "SSL_CERT_FILE",
                               "FEEDQUILL_UPDATE_URL" } )
        unsetenv(name);
    // No desktop session under Xvfb: GTK's settings stay in memory instead of asking for one.
    setenv("GSETTINGS_BACKEND", "memory", 1);
    wxApp::SetInstance(new wxApp);
    if ( !wxEntryStart(argc, argv) )
        return 1;
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
