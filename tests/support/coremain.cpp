// The core tests' main: wxWidgets without a display, libcurl, and no proxy from the
// environment, so that every request stays on 127.0.0.1.

#include "testenv.h"

#include <wx/app.h>
#include <wx/init.h>

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    PrepareTestProcess();
    wxInitializer initializer(argc, argv);
    if ( !initializer.IsOk() )
        return 1;
    wxAppConsole::GetInstance()->SetAppName("feedquill");
    curl_global_init(CURL_GLOBAL_DEFAULT);
    const int result = RUN_ALL_TESTS();
    curl_global_cleanup();
    return result;
}
