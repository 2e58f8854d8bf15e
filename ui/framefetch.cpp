// The main window's commands that read from the network. The fetch runs on a worker thread, so
// that the window repaints, shows its progress and can be stopped; what follows the fetch (the
// settings, the signature, the messages) runs on the window's thread, in its usual order.

#include "ui/feedquillframe.h"

#include "base/buildinfo.h"
#include "feed/feedreader.h"
#include "project/project.h"
#include "run/checkforupdates.h"
#include "run/updaterun.h"
#include "update/updatechecker.h"

#include <wx/button.h>
#include <wx/cursor.h>
#include <wx/sizer.h>
#include <wx/uri.h>
#include <wx/utils.h>

// What the worker of Get Data found, for the window's thread.
struct FeedquillFrame::FeedFetch
{
    explicit FeedFetch(const wxString& url) : reader(url) {}

    FeedReader reader;
    int error = 0;
    std::unique_ptr<UpdateChecker> checker;  // the check due with this run, if any
    bool checkFetched = false;
};

// What the worker of Check for Updates found.
struct FeedquillFrame::CheckFetch
{
    UpdateChecker checker;
    bool fetched = false;
};

namespace
{

// The host a fetch connects to first, for the progress line.
wxString GetHost(const wxString& url)
{
    const wxString host = wxURI(url).GetServer();
    return host.empty() ? url : host;
}

HttpOptions WithProgress(HttpOptions options, const FetchTask::Progress& progress)
{
    options.progress = progress;
    return options;
}

} // anonymous namespace

void FeedquillFrame::OnGetData(wxCommandEvent& WXUNUSED(event))
{
    if ( IsFetching() )
        return;
    TransferDataFromWindow();
    auto fetch = std::make_shared<FeedFetch>(g_project.m_feedURL);
    // As the update run does: validators only stand for a post that was stored with them.
    if ( !g_project.m_lastTitle.empty() && !g_project.m_lastLink.empty() )
        fetch->reader.SetValidators(g_project.m_etag, g_project.m_lastModified,
                                    g_project.m_validatorURL);
    if ( g_project.m_updateCheckDue && FEEDQUILL_UPDATE_CHECK )
        fetch->checker = std::make_unique<UpdateChecker>();
    const HttpOptions feedOptions = FeedReader::GetDefaultHttpOptions();
    const HttpOptions checkOptions = UpdateChecker::GetDefaultHttpOptions();
    const wxString checkUrl = GetUpdateInfoUrl();

    // The worker only reads: the settings and files are written once it is done.
    FeedFetch* f = fetch.get();
    auto work = [f, feedOptions, checkOptions, checkUrl](const FetchTask::Progress& progress)
    {
        f->reader.SetHttpOptions(WithProgress(feedOptions, progress));
        f->error = f->reader.Read();
        if ( f->error != 0 || !f->checker )
            return;
        // The check shows no figures of its own (SIZE_MAX): the feed's last ones stay.
        f->checker->SetHttpOptions(WithProgress(checkOptions, [&progress](std::size_t)
                                                {
                                                    return progress(SIZE_MAX);
                                                }));
        f->checkFetched = f->checker->Fetch(checkUrl);
    };
    BeginFetch(g_project.m_feedURL, _("Reading the feed: %s KB"));
    m_fetch.Start(work, [this](std::size_t bytes) { ShowFetchProgress(bytes); },
                  [this, fetch] { FinishGetData(*fetch); });
}

void FeedquillFrame::FinishGetData(FeedFetch& fetch)
{
    const bool cancelled = m_fetch.IsCancelled();
    EndFetch();
    if ( cancelled )
    {
        SetStatusText(_("Stopped. Nothing was changed."));
        return;
    }
    // What was typed into the template while the feed was read goes into the signature too.
    TransferDataFromWindow();
    auto checkForUpdates = [&fetch]
    {
        UpdateChecker& checker = *fetch.checker;
        const int result = fetch.checkFetched ? checker.ReadResponse(FEEDQUILL_VERSION)
                                              : UPDATE_CHECK_FAILED;
        ReportUpdateCheck(g_project, checker, result, true);
    };
    const int result = FinishUpdate(
        g_project, fetch.reader, fetch.error,
        fetch.checker ? std::function<void()>(checkForUpdates) : std::function<void()>());
    fetch.checker.reset();
    ShowProject();
    ShowSignatureResult(result);
}

void FeedquillFrame::OnCheckUpdates(wxCommandEvent& WXUNUSED(event))
{
    if ( IsFetching() )
        return;
    auto fetch = std::make_shared<CheckFetch>();
    const wxString url = GetUpdateInfoUrl();
    const HttpOptions options = UpdateChecker::GetDefaultHttpOptions();
    CheckFetch* f = fetch.get();
    auto work = [f, url, options](const FetchTask::Progress& progress)
    {
        f->checker.SetHttpOptions(WithProgress(options, progress));
        f->fetched = f->checker.Fetch(url);
    };
    BeginFetch(url, _("Reading the update information: %s KB"));
    m_fetch.Start(work, [this](std::size_t bytes) { ShowFetchProgress(bytes); },
                  [this, fetch] { FinishCheckForUpdates(*fetch); });
}

void FeedquillFrame::FinishCheckForUpdates(CheckFetch& fetch)
{
    const bool cancelled = m_fetch.IsCancelled();
    EndFetch();
    if ( cancelled )
    {
        SetStatusText(_("Stopped. Nothing was changed."));
        return;
    }
    const int result = fetch.fetched ? fetch.checker.ReadResponse(FEEDQUILL_VERSION)
                                     : UPDATE_CHECK_FAILED;
    ReportUpdateCheck(g_project, fetch.checker, result, false);
}

void FeedquillFrame::BeginFetch(const wxString& url, const wxString& reading)
{
    m_fetchHost = GetHost(url);
    m_fetchReading = reading;
    if ( wxWindow* button = FindWindow(ID_GET_DATA) )
        button->Disable();
    m_cancelButton->GetContainingSizer()->Show(m_cancelButton);
    m_cancelButton->GetParent()->Layout();
    // An arrow with the hourglass: the window still answers while it waits.
    static const wxCursor working(wxCURSOR_ARROWWAIT);
    wxBeginBusyCursor(&working);
    ShowFetchProgress(0);
}

void FeedquillFrame::EndFetch()
{
    wxEndBusyCursor();
    m_cancelButton->GetContainingSizer()->Hide(m_cancelButton);
    m_cancelButton->GetParent()->Layout();
    if ( wxWindow* button = FindWindow(ID_GET_DATA) )
        button->Enable(!g_project.m_feedURL.empty());
    SetStatusText(wxString());
}

void FeedquillFrame::ShowFetchProgress(std::size_t bytes)
{
    if ( m_fetch.IsCancelled() )
        SetStatusText(_("Stopping..."));
    else if ( bytes == 0 )
        SetStatusText(wxString::Format(_("Connecting to %s..."), m_fetchHost));
    else if ( bytes != SIZE_MAX )
        {
        const wxString kilobytes = wxString::Format("%zu", (bytes + 1023) / 1024);
        SetStatusText(wxString::Format(m_fetchReading, kilobytes));
    }
}

void FeedquillFrame::OnCancelFetch(wxCommandEvent& WXUNUSED(event))
{
    if ( !IsFetching() )
        return;
    m_fetch.Cancel();
    ShowFetchProgress(0);
}

void FeedquillFrame::OnUpdateUIFetch(wxUpdateUIEvent& event)
{
    event.Enable(!IsFetching());
}
