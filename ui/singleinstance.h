#ifndef FEEDQUILL_UI_SINGLEINSTANCE_H
#define FEEDQUILL_UI_SINGLEINSTANCE_H

#include <wx/defs.h>
#include <wx/snglinst.h>
#include <wx/string.h>
#include <wx/timer.h>

#include <functional>

// One window per user and data folder: a second start finds the first one's lock, asks it
// through a Unix socket to raise its window, and ends. A copy of the program with a data folder
// of its own (-l) has its own lock and socket. Both live in $XDG_RUNTIME_DIR, else in the data
// folder; after a crash the lock is free again and the first start replaces the old socket.
class SingleInstance
{
public:
    // dataDir ends in a separator.
    explicit SingleInstance(const wxString& dataDir);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    bool IsAnotherRunning() const;
    // Asks the first start to raise its window; false when it could not be reached.
    bool AskToRaise() const;
    // Listens for later starts; raise is called on this thread for each of them.
    void Listen(std::function<void()> raise);
    // Answers the requests that have arrived; the timer calls it, tests may too.
    void TakeRequests();

    // The lock's and the socket's file name without extension, for a data folder.
    static wxString GetName(const wxString& dataDir);
    // The folder they are in.
    static wxString GetFolder(const wxString& dataDir);

private:
    wxString m_socketPath;
    wxSingleInstanceChecker m_checker;
    wxTimer m_timer;
    std::function<void()> m_raise;
    int m_listener = -1;
};

#endif
