#ifndef FEEDQUILL_APP_APPBASE_H
#define FEEDQUILL_APP_APPBASE_H

#include "app/startup.h"
#include "project/project.h"

#include <wx/app.h>
#include <wx/cmdline.h>
#include <wx/msgout.h>

#include <cstdio>

// What the window application and the console application have in common: the command line,
// start-up, the one-shot command-line run and shut-down. AppBase is wxApp or wxAppConsole.
template <class AppBase>
class FeedquillAppBase : public AppBase
{
public:
    void OnInitCmdLine(wxCmdLineParser& parser) override
    {
        StartUp::DescribeCommandLine(parser);
    }

    bool OnCmdLineParsed(wxCmdLineParser& parser) override
    {
        if ( StartUp::ShowVersion(parser) )
            return false;
        return StartUp::ApplyCommandLine(parser);
    }

    bool OnCmdLineHelp(wxCmdLineParser& parser) override
    {
        StartUp::SetExitStatus(EXIT_STATUS_OK);
        // Help that was asked for is the program's output, not an error message.
        wxMessageOutputStderr toStdout(stdout);
        wxMessageOutput* previous = wxMessageOutput::Set(&toStdout);
        const bool result = AppBase::OnCmdLineHelp(parser);
        wxMessageOutput::Set(previous);
        return result;
    }

    bool OnCmdLineError(wxCmdLineParser& parser) override
    {
        StartUp::SetExitStatus(EXIT_STATUS_USAGE);
        return AppBase::OnCmdLineError(parser);
    }

    int OnExit() override
    {
        StartUp::Shutdown();
        return AppBase::OnExit();
    }

protected:
    // Schedules the one update of a command-line run for the first idle moment.
    void StartCommandLineRun()
    {
        this->Bind(wxEVT_IDLE, &FeedquillAppBase::OnCmdLineIdle, this);
    }

private:
    void OnCmdLineIdle(wxIdleEvent& WXUNUSED(event))
    {
        if ( StartUp::GetRunKind() == StartUp::RUN_WINDOW )
            return;
        // Unbound first: events dispatched while the feed is read must not start a second run.
        this->Unbind(wxEVT_IDLE, &FeedquillAppBase::OnCmdLineIdle, this);
        StartUp::RunCommandLineUpdate();
        this->ExitMainLoop();
    }
};

#endif
