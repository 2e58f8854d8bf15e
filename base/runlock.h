#ifndef FEEDQUILL_BASE_RUNLOCK_H
#define FEEDQUILL_BASE_RUNLOCK_H

#include <ctime>

// Keeps runs of the program from interleaving their reads and writes of the settings, the
// template and the signature (a timer firing while the window writes, two cron lines): an
// advisory lock (flock) on "Feedquill.lock" in the data folder, held for the object's scope.
// Nested locks in one process are free: only the outermost one takes the file's lock.
class RunLock
{
public:
    // Waits for the lock, at most the wait limit; when it cannot be had, logs that another
    // run holds it.
    RunLock();
    ~RunLock();
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

    bool IsHeld() const { return m_held; }

    // When this process took the lock it holds; zero when it holds none. Temporary files older
    // than that were left by runs that did not finish.
    static timespec HeldSince();

    // How long a run waits for another one, in seconds; a minute unless tests shorten it.
    static void SetWaitLimit(int seconds);

private:
    bool m_held = false;
    bool m_outermost = false;
};

#endif
