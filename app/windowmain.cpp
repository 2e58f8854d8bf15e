// The entry point of the window module, which the executable loads when a display is there.

#include "app/feedquillapp.h"
#include "app/windowmodule.h"

#include <wx/init.h>
#include <wx/log.h>

#include <type_traits>

wxIMPLEMENT_APP_NO_MAIN(FeedquillApp);

extern "C" __attribute__((visibility("default")))
bool FeedquillRunWindow(int argc, char** argv, int* result)
{
    // What wxEntry does, except that a toolkit that cannot open the display is reported to
    // the caller, which then runs the console application instead.
    wxApp::SetInitializerFunction(wxCreateApp);
    {
        // The toolkit logs "Unable to initialize GTK+" when the display cannot be opened; the
        // console run that follows is the answer, and cron would mail the line every hour.
        wxLogNull quiet;
        if ( !wxEntryStart(argc, argv) )
            return false;
    }
    *result = -1;
    if ( wxTheApp->CallOnInit() )
    {
        *result = wxTheApp->OnRun();
        wxTheApp->OnExit();
    }
    wxEntryCleanup();
    return true;
}

static_assert(std::is_same_v<decltype(&FeedquillRunWindow), WindowModule::RunFunction>);
