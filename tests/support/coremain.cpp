// The core tests' main: wxWidgets without a display, libcurl, and no proxy from the
// environment, so that every request stays on 127.0.0.1.

#include <wx/app.h>
#include <wx/debug.h>
#include <wx/init.h>

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <cstdlib>

namespace
{

// A failed wx assertion becomes a test failure instead of a dialog nobody answers.
void OnAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
              const wxString& msg)
{
    ADD_FAILURE_AT(file.utf8_str().data(), line) << "wx assertion \"" << cond.utf8_str().data()
                                                 << "\" in " << func.utf8_str().data() << ": "
                                                 << msg.utf8_str().data();
}

} // anonymous namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    wxSetAssertHandler(OnAssert);
    for ( const char* name : { "http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY",
                               "ALL_PROXY", "all_proxy", "SSL_CERT_FILE",
                               "FEEDQUILL_UPDATE_URL" } )
        unsetenv(name);
    wxInitializer initializer(argc, argv);
    if ( !initializer.IsOk() )
        return 1;
    wxAppConsole::GetInstance()->SetAppName("feedquill");
    curl_global_init(CURL_GLOBAL_DEFAULT);
    const int result = RUN_ALL_TESTS();
    curl_global_cleanup();
    return result;
}
