#include "ui/fetchjobs.h"

FeedJob::FeedJob(const wxString& feedUrl, bool withCheck)
    : m_reader(feedUrl),
      m_feedOptions(FeedReader::GetDefaultHttpOptions())
{
    if ( withCheck )
    {
        m_checker = std::make_unique<UpdateChecker>();
        m_checkOptions = UpdateChecker::GetDefaultHttpOptions();
        m_checkUrl = GetUpdateInfoUrl();
    }
}

void FeedJob::Run(FetchProgress& progress)
{
    HttpOptions options = m_feedOptions;
    options.progress = [&progress](std::size_t bytes) { return progress.Report(bytes); };
    m_reader.SetHttpOptions(options);
    m_error = m_reader.Read();
    if ( m_error != 0 || !m_checker )
        return;
    // The check shows no figures of its own: the feed's last ones stay.
    options = m_checkOptions;
    options.progress = [&progress](std::size_t) { return progress.GoOn(); };
    m_checker->SetHttpOptions(options);
    m_checkFetched = m_checker->Fetch(m_checkUrl);
}

CheckJob::CheckJob()
    : m_options(UpdateChecker::GetDefaultHttpOptions()),
      m_url(GetUpdateInfoUrl())
{
}

void CheckJob::Run(FetchProgress& progress)
{
    HttpOptions options = m_options;
    options.progress = [&progress](std::size_t bytes) { return progress.Report(bytes); };
    m_checker.SetHttpOptions(options);
    m_fetched = m_checker.Fetch(m_url);
}
