#include "base/launcher.h"

#include <wx/log.h>

namespace
{

// Used where no display is available, so nothing could be shown to the user.
class NullLauncher : public Launcher
{
public:
    bool OpenBrowser(const wxString& url) override
    {
        wxLogError("Cannot open \"%s\": no web browser can be started without a display.", url);
        return false;
    }

    bool Execute(const wxString& command) override
    {
        wxLogError("Cannot run \"%s\": no program can be started without a display.", command);
        return false;
    }

    bool OpenFile(const wxString& path) override
    {
        wxLogError("Cannot open \"%s\": no program can be started without a display.", path);
        return false;
    }

    int Run(const wxString& WXUNUSED(command), wxString& output) override
    {
        output.clear();
        return -1;
    }
};

NullLauncher s_nullLauncher;
Launcher* s_launcher = nullptr;

} // anonymous namespace

Launcher* Launcher::Get()
{
    return s_launcher ? s_launcher : &s_nullLauncher;
}

Launcher* Launcher::Set(Launcher* launcher)
{
    Launcher* previous = s_launcher;
    s_launcher = launcher;
    return previous;
}
