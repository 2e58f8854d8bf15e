#ifndef FEEDQUILL_BASE_LAUNCHER_H
#define FEEDQUILL_BASE_LAUNCHER_H

#include <wx/string.h>

// Starts the user's browser or another program. The window installs the real one; a run
// without a display has nothing to start them on, and tests record the calls instead.
class Launcher
{
public:
    virtual ~Launcher() = default;

    // Opens an address in a new browser window; false when no browser could be started.
    virtual bool OpenBrowser(const wxString& url) = 0;
    // Starts a command line without waiting for it; false when it could not be started.
    virtual bool Execute(const wxString& command) = 0;

    // Never null: without an installed launcher nothing is started and both calls fail.
    static Launcher* Get();
    // Installs a launcher (null for none) and returns the previous one; the caller keeps
    // ownership of both.
    static Launcher* Set(Launcher* launcher);
};

#endif
