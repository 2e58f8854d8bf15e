// Chooses the application. The executable holds the console application and links no window
// library, so that scheduled command-line runs (cron, systemd timers) start fast and work
// without any display. When a display is there, it loads the window module and runs the
// window application; when the display cannot be opened, the console application runs.

#include "app/consoleapp.h"
#include "app/windowmodule.h"
#include "base/consoleoutput.h"

#include <wx/debug.h>
#include <wx/init.h>
#include <wx/string.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <fcntl.h>
#include <unistd.h>

namespace
{

// A toolkit's internal check that fails is the program's fault, not the user's: one line on
// standard error, never a dialog or a call stack in a mail from cron.
void LogFailedCheck(const wxString& file, int line, const wxString& func, const wxString& cond,
                    const wxString& msg)
{
    WriteConsoleText(stderr,
                     wxString::Format("Feedquill: an internal check failed in %s (%s:%d): %s%s%s",
                                      func, file, line, cond, msg.empty() ? "" : ", ", msg),
                     CONSOLE_WARNING);
}

bool IsCommandLineRun(int argc, char** argv)
{
    for ( int i = 1; i < argc; ++i )
    {
        const std::string arg = argv[i];
        if ( arg == "-c" || arg == "--cmd" || arg == "-q" || arg == "--quiet" )
            return true;
    }
    return false;
}

// --print is for mail programs: no window, and its output at once.
bool IsPrintRun(int argc, char** argv)
{
    for ( int i = 1; i < argc; ++i )
    {
        if ( std::string(argv[i]) == "--print" )
            return true;
    }
    return false;
}

bool HasDisplay()
{
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

// The executable's folder, with a trailing separator; empty when it cannot be told.
std::string ProgramDir()
{
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if ( length <= 0 )
        return std::string();
    const std::string exe(path, length);
    return exe.substr(0, exe.rfind('/') + 1);
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

// Some schedulers start programs with standard input, output or error closed. The next file
// opened would then take the descriptor's number, and a message meant for standard error
// would go into it: the event loop's own pipe, where it hangs the run while it holds the lock.
void OpenClosedStandardDescriptors()
{
    for ( int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd )
    {
        if ( fcntl(fd, F_GETFD) == -1 && errno == EBADF )
        {
            // The lowest free number is this one.
            if ( open("/dev/null", O_RDWR) < 0 )
                std::_Exit(EXIT_FAILURE);
        }
    }
}

} // anonymous namespace

int main(int argc, char** argv)
{
    OpenClosedStandardDescriptors();
    wxSetAssertHandler(LogFailedCheck);
    // A command-line run typed in a terminal answers there, even where a display could show
    // message boxes: the terminal would show nothing, and a failed run would wait on a box.
    const bool commandLine = IsCommandLineRun(argc, argv);
    if ( HasDisplay() && !IsPrintRun(argc, argv) && !(commandLine && isatty(STDERR_FILENO)) )
    {
        std::string error;
        if ( WindowModule::RunFunction runWindow = WindowModule::Load(ProgramDir(), error) )
        {
            int result;
            if ( runWindow(argc, argv, &result) )
                return StartUp::GetExitStatus(result);
        }
        else if ( !commandLine )
        {
            // A command-line run needs no window: without the module (the package
            // feedquill alone) it prints its messages, and cron gets nothing else.
            std::fprintf(stderr, "Feedquill cannot load its window module: %s\n",
                         error.c_str());
            FeedquillConsoleApp::SetNoWindowReason("its window module could not be loaded");
        }
    }
    return StartUp::GetExitStatus(RunConsole(argc, argv));
}
