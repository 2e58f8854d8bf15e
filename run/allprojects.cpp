#include "run/allprojects.h"

#include "base/httpmulti.h"
#include "base/messenger.h"
#include "feed/feedreader.h"
#include "project/configfile.h"
#include "project/project.h"
#include "run/updaterun.h"

#include <wx/log.h>
#include <wx/translation.h>

#include <memory>
#include <utility>
#include <vector>

namespace
{

// Keeps the messages of one project's run, to pass them on with its name.
class CollectingLog : public wxLog
{
public:
    std::vector<std::pair<wxLogLevel, wxString>> m_records;

protected:
    void DoLogRecord(wxLogLevel level, const wxString& msg,
                     const wxLogRecordInfo& WXUNUSED(info)) override
    {
        m_records.emplace_back(level, msg);
    }
};

// Passes the messages of one project's run on, each naming the project.
class NamingMessenger : public Messenger
{
public:
    NamingMessenger(Messenger* next, const wxString& prefix) : m_next(next), m_prefix(prefix) {}

    int ShowMessage(const wxString& message, const wxString& caption, long style) override
    {
        return m_next->ShowMessage(m_prefix + message, caption, style);
    }

private:
    Messenger* m_next;
    wxString m_prefix;
};

struct ProjectRun
{
    Project project;
    std::unique_ptr<FeedReader> reader;
    int error = 0;
};

// Finishes one project's run as Project::Update would, its messages naming it.
int FinishProject(ProjectRun& run)
{
    const wxString prefix = wxString::Format(_("Project \"%s\": "), run.project.m_name);
    CollectingLog collected;
    wxLog* previousLog = wxLog::SetActiveTarget(&collected);
    NamingMessenger messenger(Messenger::Get(), prefix);
    Messenger* previousMessenger = Messenger::Set(&messenger);
    const int result = FinishUpdate(run.project, *run.reader, run.error);
    Messenger::Set(previousMessenger);
    wxLog::SetActiveTarget(previousLog);
    for ( const auto& record : collected.m_records )
        wxLogGeneric(record.first, "%s", prefix + record.second);
    return result;
}

} // anonymous namespace

bool UpdateAllProjects(Project& run)
{
    const wxArrayString names = ListProjects();
    if ( names.empty() )
    {
        wxLogError(_("There is no project in %s yet, so there is nothing to update.\nStart "
                     "Feedquill without -c or -q to set one up."), GetConfigPath());
        return false;
    }
    std::vector<std::unique_ptr<ProjectRun>> runs;
    HttpMulti multi;
    for ( const wxString& name : names )
    {
        auto projectRun = std::make_unique<ProjectRun>();
        Project& project = projectRun->project;
        project.Load(name);
        project.m_cmdMode = run.m_cmdMode;
        project.m_quiet = run.m_quiet;
        projectRun->reader = std::make_unique<FeedReader>(project.m_feedURL);
        // As the update run does: validators only stand for a post that was stored with them.
        if ( !project.m_lastTitle.empty() && !project.m_lastLink.empty() )
            projectRun->reader->SetValidators(project.m_etag, project.m_lastModified,
                                              project.m_validatorURL);
        if ( HttpClient* client = projectRun->reader->BeginRead() )
            multi.Add(*client);
        runs.push_back(std::move(projectRun));
    }
    multi.Run();

    bool allWritten = true;
    for ( const auto& projectRun : runs )
    {
        projectRun->error = projectRun->reader->EndRead();
        if ( FinishProject(*projectRun) != SIGNATURE_WRITTEN )
            allWritten = false;
        projectRun->reader.reset();
    }
    if ( run.m_updateCheckDue )
        run.CheckForUpdates(true);
    return allWritten;
}
