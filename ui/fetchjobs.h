#ifndef FEEDQUILL_UI_FETCHJOBS_H
#define FEEDQUILL_UI_FETCHJOBS_H

#include "base/httpclient.h"
#include "feed/feedreader.h"
#include "ui/fetchtask.h"
#include "update/updatechecker.h"

#include <memory>

// Get Data's fetch: the feed, and the update information when a check is due with it. Run
// only reads; the settings and files are written on the window's thread afterwards.
class FeedJob : public FetchJob
{
public:
    // withCheck: an update check is due and comes after the feed.
    FeedJob(const wxString& feedUrl, bool withCheck);

    void Run(FetchProgress& progress) override;

    FeedReader m_reader;
    int m_error = 0;
    std::unique_ptr<UpdateChecker> m_checker;  // the check due with this run, if any
    bool m_checkFetched = false;

private:
    HttpOptions m_feedOptions;
    HttpOptions m_checkOptions;
    wxString m_checkUrl;
};

// Check for Updates' fetch: the update information.
class CheckJob : public FetchJob
{
public:
    CheckJob();

    void Run(FetchProgress& progress) override;

    UpdateChecker m_checker;
    bool m_fetched = false;

private:
    HttpOptions m_options;
    wxString m_url;
};

#endif
