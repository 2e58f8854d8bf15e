// The main window's commands that read from the network. The fetch runs on a worker thread, so
// that the window repaints, shows its progress and can be stopped; what follows the fetch (the
// settings, the signature, the messages) runs on the window's thread, in its usual order.

#include "ui/feedquillframe.h"

#include "base/buildinfo.h"
#include "project/project.h"
#include "run/checkforupdates.h"
#include "run/updaterun.h"
#include "ui/fetchjobs.h"

#include <wx/button.h>
#include <wx/cursor.h>
#include <wx/sizer.h>
#include <wx/uri.h>
#include <wx/utils.h>

namespace
{

// The host a fetch connects to first, for the progress line.
wxString GetHost(const wxString& url)
{
    const wxString host = wxURI(url).GetServer();
    return host.empty() ? url : host;
}

} // anonymous namespace

void FeedquillFrame::OnGetData(wxCommandEvent& WXUNUSED(event))
{
    if ( IsFetching() )
        return;
    TransferDataFromWindow();
    auto job = std::make_unique<FeedJob>(g_project.m_feedURL,
                                         g_project.m_updateCheckDue && FEEDQUILL_UPDATE_CHECK);
    // As the update run does: validators only stand for a post that was stored with them.
    if ( !g_project.m_lastTitle.empty() && !g_project.m_lastLink.empty() )
        job->m_reader.SetValidators(g_project.m_etag, g_project.m_lastModified,
                                    g_project.m_validatorURL);
    StartFetch(std::move(job), g_project.m_feedURL, _("Reading the feed: %s KB"),
               [this](FetchJob& job) { FinishGetData(static_cast<FeedJob&>(job)); });
}

void FeedquillFrame::FinishGetData(FeedJob& job)
{
    // What was typed into the template while the feed was read goes into the signature too.
    TransferDataFromWindow();
    auto checkForUpdates = [&job]
    {
        UpdateChecker& checker = *job.m_checker;
        const int result = job.m_checkFetched ? checker.ReadResponse(FEEDQUILL_VERSION)
                                              : UPDATE_CHECK_FAILED;
        ReportUpdateCheck(g_project, checker, result, true);
    };
    const int result = FinishUpdate(
        g_project, job.m_reader, job.m_error,
        job.m_checker ? std::function<void()>(checkForUpdates) : std::function<void()>());
    job.m_checker.reset();
    ShowProject();
    ShowSignatureResult(result);
}

void FeedquillFrame::OnCheckUpdates(wxCommandEvent& WXUNUSED(event))
{
    if ( IsFetching() )
        return;
    const wxString url = GetUpdateInfoUrl();
    StartFetch(std::make_unique<CheckJob>(), url, _("Reading the update information: %s KB"),
               [](FetchJob& job)
               {
                   auto& check = static_cast<CheckJob&>(job);
                   const int result = check.m_fetched
                                          ? check.m_checker.ReadResponse(FEEDQUILL_VERSION)
                                          : UPDATE_CHECK_FAILED;
                   ReportUpdateCheck(g_project, check.m_checker, result, false);
               });
}

void FeedquillFrame::StartFetch(std::unique_ptr<FetchJob> job, const wxString& url,
                                const wxString& reading, std::function<void(FetchJob&)> finish)
{
    const bool started = m_fetch.Start(
        std::move(job), [this](std::size_t bytes) { ShowFetchProgress(bytes); },
        [this, finish](std::unique_ptr<FetchJob> done, bool cancelled)
        {
            EndFetch();
            if ( cancelled )
            {
                SetStatusText(_("Stopped. Nothing was changed."));
                return;
            }
            // What follows writes the settings and the signature: not while a timer run does.
            std::shared_ptr<FetchJob> job(std::move(done));
            RunLocked([job, finish] { finish(*job); });
        });
    if ( !started )
        return;
    m_fetchHost = GetHost(url);
    m_fetchReading = reading;
    BeginFetch();
}

void FeedquillFrame::BeginFetch()
{
    m_cancelButton->GetContainingSizer()->Show(m_cancelButton);
    m_cancelButton->GetParent()->Layout();
    // The button that started the fetch is disabled now, and a disabled window takes no keys:
    // Cancel gets the focus, so that Escape and Enter reach it however the fetch started.
    m_cancelButton->SetFocus();
    if ( wxWindow* button = FindWindow(ID_GET_DATA) )
        button->Disable();
    // An arrow with the hourglass: the window still answers while it waits.
    static const wxCursor working(wxCURSOR_ARROWWAIT);
    wxBeginBusyCursor(&working);
    ShowFetchProgress(0);
}

void FeedquillFrame::EndFetch()
{
    wxEndBusyCursor();
    const bool hadFocus = wxWindow::FindFocus() == m_cancelButton;
    m_cancelButton->GetContainingSizer()->Hide(m_cancelButton);
    m_cancelButton->GetParent()->Layout();
    wxWindow* button = FindWindow(ID_GET_DATA);
    if ( button )
        button->Enable(!g_project.m_feedURL.empty());
    if ( hadFocus && button && button->IsEnabled() )
        button->SetFocus();
    SetStatusText(wxString());
}

void FeedquillFrame::ShowFetchProgress(std::size_t bytes)
{
    if ( m_fetch.IsCancelled() )
        SetStatusText(_("Stopping..."));
    else if ( bytes == 0 )
        SetStatusText(wxString::Format(_("Connecting to %s..."), m_fetchHost));
    else
    {
        const wxString kilobytes = wxString::Format("%zu", (bytes + 1023) / 1024);
        SetStatusText(wxString::Format(m_fetchReading, kilobytes));
    }
}

void FeedquillFrame::StopFetch()
{
    if ( !IsFetching() )
        return;
    m_fetch.Abandon();
    EndFetch();
    SetStatusText(_("Stopped. Nothing was changed."));
}

void FeedquillFrame::OnCancelFetch(wxCommandEvent& WXUNUSED(event))
{
    if ( m_lockWait.IsWaiting() )
    {
        m_lockWait.Cancel();
        ShowCancel(false);
        return;
    }
    if ( !IsFetching() )
        return;
    m_fetch.Cancel();
    ShowFetchProgress(0);
}

void FeedquillFrame::OnUpdateUIFetch(wxUpdateUIEvent& event)
{
    event.Enable(!IsBusy());
}

void FeedquillFrame::ShowCancel(bool show)
{
    m_cancelButton->GetContainingSizer()->Show(m_cancelButton, show);
    m_cancelButton->GetParent()->Layout();
}

void FeedquillFrame::RunLocked(std::function<void()> write)
{
    m_lockWait.Run(std::move(write));
    if ( m_lockWait.IsWaiting() )
    {
        ShowCancel(true);
        m_cancelButton->SetFocus();
    }
}

void FeedquillFrame::OnLockWaitIdle(wxIdleEvent& event)
{
    // The wait ended: its Cancel goes, unless a fetch shows it.
    if ( !m_lockWait.IsWaiting() && !IsFetching() && m_cancelButton->IsShown() )
        ShowCancel(false);
    event.Skip();
}
