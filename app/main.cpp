// Chooses the application: the window one when a display can be opened, else the console one,
// so that scheduled command-line runs (cron, systemd timers) work without any display.

#include "app/consoleapp.h"
#include "app/feedquillapp.h"

#include <wx/init.h>

#include <cstdlib>

wxIMPLEMENT_APP_NO_MAIN(FeedquillApp);

namespace
{

bool HasDisplay()
{
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

wxAppConsole* CreateConsoleApp()
{
    return new FeedquillConsoleApp;
}

int RunConsole(int argc, char** argv)
{
    wxApp::SetInitializerFunction(CreateConsoleApp);
    return wxEntry(argc, argv);
}

int RunWindow(int argc, char** argv)
{
    // The toolkit cannot start when the display named cannot be opened; the console
    // application then runs a command-line update or explains why there is no window.
    if ( !wxEntryStart(argc, argv) )
        return RunConsole(argc, argv);
    int result = -1;
    if ( wxTheApp->CallOnInit() )
    {
        result = wxTheApp->OnRun();
        wxTheApp->OnExit();
    }
    wxEntryCleanup();
    return result;
}

} // anonymous namespace

int main(int argc, char** argv)
{
    const int result = HasDisplay() ? RunWindow(argc, argv) : RunConsole(argc, argv);
    return StartUp::GetExitStatus(result);
}
