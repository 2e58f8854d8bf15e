#include "ui/fetchtask.h"

#include <wx/event.h>

FetchTask::FetchTask(wxEvtHandler* owner)
    : m_owner(owner)
{
}

FetchTask::~FetchTask()
{
    Abandon();
}

bool FetchTask::Start(Work work, std::function<void(std::size_t)> onProgress,
                      std::function<void()> done)
{
    if ( IsRunning() )
        return false;
    m_cancel = false;
    m_reported = 0;
    m_onProgress = std::move(onProgress);
    m_done = std::move(done);
    const unsigned generation = ++m_generation;
    m_thread = std::thread([this, work = std::move(work), generation]
    {
        work([this, generation](std::size_t bytes) { return Report(bytes, generation); });
        // The owner is a window that outlives the thread: Abandon joins it first, and a
        // window's queued calls die with it.
        m_owner->CallAfter([this, generation]
        {
            if ( generation != m_generation || !IsRunning() )
                return;
            m_thread.join();
            m_done();
        });
    });
    return true;
}

bool FetchTask::Report(std::size_t bytes, unsigned generation)
{
    // Called on the worker many times a second during a transfer; only changes go across,
    // in steps of a kilobyte.
    const std::size_t shown = bytes / 1024 + (bytes > 0);
    if ( m_reported.exchange(shown) != shown )
    {
        m_owner->CallAfter([this, bytes, generation]
        {
            if ( generation == m_generation && IsRunning() && m_onProgress )
                m_onProgress(bytes);
        });
    }
    return !m_cancel;
}

void FetchTask::Cancel()
{
    m_cancel = true;
}

void FetchTask::Abandon()
{
    if ( !IsRunning() )
        return;
    m_cancel = true;
    m_thread.join();
    ++m_generation;
}
