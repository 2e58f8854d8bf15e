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

bool FetchTask::Start(std::unique_ptr<FetchJob> job, std::function<void(std::size_t)> onProgress,
                      Done done)
{
    if ( IsRunning() || !job )
        return false;
    m_cancel = false;
    m_reported = 0;
    m_job = std::move(job);
    m_onProgress = std::move(onProgress);
    m_done = std::move(done);
    const unsigned generation = ++m_generation;
    m_thread = std::thread([this, generation]
    {
        m_job->Run(*this);
        // The owner is a window that outlives the thread: Abandon joins it first, and a
        // window's queued calls die with it.
        m_owner->CallAfter([this, generation] { Finish(generation); });
    });
    return true;
}

void FetchTask::Finish(unsigned generation)
{
    if ( generation != m_generation || !IsRunning() )
        return;
    m_thread.join();
    const bool cancelled = m_cancel;
    std::unique_ptr<FetchJob> job = std::move(m_job);
    Done done = std::move(m_done);
    m_onProgress = nullptr;
    done(std::move(job), cancelled);
}

bool FetchTask::Report(std::size_t bytes)
{
    // Called on the worker many times a second during a transfer; only changes go across,
    // in steps of a kilobyte.
    const std::size_t shown = bytes / 1024 + (bytes > 0);
    if ( m_reported.exchange(shown) != shown )
    {
        const unsigned generation = m_generation;
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
    if ( IsRunning() )
        m_cancel = true;
}

void FetchTask::Abandon()
{
    if ( !IsRunning() )
        return;
    m_cancel = true;
    m_thread.join();
    ++m_generation;
    m_job.reset();
    m_done = nullptr;
    m_onProgress = nullptr;
}
