#ifndef FEEDQUILL_UI_LOCKWAIT_H
#define FEEDQUILL_UI_LOCKWAIT_H

#include <wx/string.h>
#include <wx/timer.h>

#include <chrono>
#include <functional>
#include <vector>

class wxFrame;

// Runs the window's writes under the run lock without blocking the window. While another run
// (the hourly timer) holds the lock, the writes wait in order, a timer tries again, and the
// status line says so; Cancel drops them. After the wait limit they are dropped with the reason.
class LockWait
{
public:
    explicit LockWait(wxFrame* frame);
    LockWait(const LockWait&) = delete;
    LockWait& operator=(const LockWait&) = delete;

    // Runs write now with the lock held, or once it is free. A lock that cannot be taken for
    // another reason does not hold the write back: the write's own lock says why.
    void Run(std::function<void()> write);
    bool IsWaiting() const { return !m_writes.empty(); }
    // Drops the waiting writes; the status line says that nothing was changed.
    void Cancel();
    // Tries the lock again; the timer calls it, tests may too.
    void Retry();

private:
    // Runs the waiting writes in order; the run lock is held (or cannot be had at all).
    void RunAll();

    wxFrame* m_frame;
    wxTimer m_timer;
    std::vector<std::function<void()>> m_writes;
    std::chrono::steady_clock::time_point m_deadline;
};

#endif
