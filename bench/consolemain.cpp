// The command-line update of feedquill linked without the window libraries: the same console
// application, start-up and update as "feedquill -q" without a display, but only wxBase, wxXML,
// libcurl and expat to load. It exists to measure what loading the window libraries adds to a
// command-line run; its file is also named feedquill (in its own folder), so that it finds its
// data in ~/.feedquill like the program.

#include "app/consoleapp.h"
#include "app/startup.h"

#include <wx/init.h>

namespace
{

wxAppConsole* CreateConsoleApp()
{
    return new FeedquillConsoleApp;
}

} // anonymous namespace

int main(int argc, char** argv)
{
    wxAppConsole::SetInitializerFunction(CreateConsoleApp);
    return StartUp::GetExitStatus(wxEntry(argc, argv));
}
