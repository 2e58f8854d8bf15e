#ifndef FEEDQUILL_BASE_RUNLOCK_H
#define FEEDQUILL_BASE_RUNLOCK_H

#include <wx/string.h>

#include <ctime>

// Keeps runs of the program from interleaving their reads and writes of the settings, the
// template and the signature (a timer firing while the window writes, two cron lines): an
// advisory lock (flock) on "Feedquill.lock" in the data folder, held for the object's scope.
// Nested locks in one process are free: only the outermost one takes the file's lock.
class RunLock
{
public:
    // Waits for the lock, at most the wait limit. Says nothing: a caller that finds it not
    // held tells the user GetError().
    RunLock();
    // Without waiting: a lock another run holds now is not held, and IsBusy says so.
    struct NoWait
    {
    };
    explicit RunLock(NoWait);
    ~RunLock();
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

    bool IsHeld() const { return m_held; }
    // Why the lock is not held (another run holds it, the lock file cannot be opened), as a
    // sentence; empty when it is held.
    const wxString& GetError() const { return m_error; }
    // Whether another run holds the lock (as opposed to a lock file that cannot be opened).
    bool IsBusy() const { return m_busy; }

    // When this process took the lock it holds; zero when it holds none. Temporary files older
    // than that were left by runs that did not finish.
    static timespec HeldSince();

    // How long a run waits for another one, in seconds; a minute unless tests shorten it.
    static void SetWaitLimit(int seconds);
    static int GetWaitLimit();
    // The reason given when another run kept the lock for the whole wait limit.
    static wxString DescribeGivingUp();

private:
    void Take(bool wait);

    wxString m_error;
    bool m_busy = false;
    bool m_held = false;
    bool m_outermost = false;
};

#endif
