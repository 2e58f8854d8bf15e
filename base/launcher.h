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
    // Opens a file with the desktop's default application for its type, without waiting;
    // false when nothing could be started for it.
    virtual bool OpenFile(const wxString& path) = 0;
    // Runs a command line and waits for it: its exit status, or -1 when it could not be
    // started. output receives what it printed, both streams, one line after another.
    virtual int Run(const wxString& command, wxString& output) = 0;

    // Never null: without an installed launcher nothing is started and both calls fail.
    static Launcher* Get();
    // Installs a launcher (null for none) and returns the previous one; the caller keeps
    // ownership of both.
    static Launcher* Set(Launcher* launcher);
};

#endif
