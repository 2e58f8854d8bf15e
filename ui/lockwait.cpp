#include "ui/lockwait.h"

#include "base/runlock.h"

#include <wx/frame.h>
#include <wx/log.h>
#include <wx/translation.h>

namespace
{

const int RETRY_INTERVAL_MS = 250;

} // anonymous namespace

LockWait::LockWait(wxFrame* frame)
    : m_frame(frame)
{
    m_timer.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { Retry(); });
}

void LockWait::Run(std::function<void()> write)
{
    m_writes.push_back(std::move(write));
    if ( m_writes.size() > 1 )
        return;  // behind the ones already waiting
    const RunLock lock{RunLock::NoWait()};
    if ( !lock.IsBusy() )
    {
        RunAll();
        return;
    }
    m_deadline = std::chrono::steady_clock::now()
                 + std::chrono::seconds(RunLock::GetWaitLimit());
    m_frame->SetStatusText(_("Waiting for another Feedquill run to finish..."));
    m_timer.Start(RETRY_INTERVAL_MS);
}

void LockWait::Retry()
{
    if ( !IsWaiting() )
        return;
    const RunLock lock{RunLock::NoWait()};
    if ( !lock.IsBusy() )
    {
        m_timer.Stop();
        m_frame->SetStatusText(wxString());
        RunAll();
        return;
    }
    if ( std::chrono::steady_clock::now() < m_deadline )
        return;
    m_timer.Stop();
    m_writes.clear();
    m_frame->SetStatusText(_("Nothing was changed."));
    wxLogError("%s", RunLock::DescribeGivingUp());
}

void LockWait::Cancel()
{
    if ( !IsWaiting() )
        return;
    m_timer.Stop();
    m_writes.clear();
    m_frame->SetStatusText(_("Stopped. Nothing was changed."));
}

void LockWait::RunAll()
{
    // The caller holds the lock, and the writes' own locks nest in it.
    std::vector<std::function<void()>> writes;
    writes.swap(m_writes);
    for ( const auto& write : writes )
        write();
}
