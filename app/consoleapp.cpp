#include "app/consoleapp.h"

#include "base/consoleoutput.h"
#include "base/messenger.h"

#include <wx/log.h>

#include <clocale>
#include <cstdio>
#include <memory>

namespace
{

// Log messages as plain lines, without time stamps or level prefixes: errors and warnings on
// standard error, everything the user asked to see on standard output.
class ConsoleLog : public wxLog
{
protected:
    void DoLogRecord(wxLogLevel level, const wxString& msg,
                     const wxLogRecordInfo& WXUNUSED(info)) override
    {
        if ( level <= wxLOG_Error )
            WriteConsoleText(stderr, msg, CONSOLE_ERROR);
        else if ( level <= wxLOG_Warning )
            WriteConsoleText(stderr, msg, CONSOLE_WARNING);
        else if ( level <= wxLOG_Info )
            WriteConsoleText(stdout, msg, CONSOLE_INFO);
        // Status, verbose, debug and trace messages are not for a console run.
    }
};

const char* s_noWindowReason = "no display is available (neither DISPLAY nor WAYLAND_DISPLAY "
                               "is set, or the display cannot be opened)";

} // anonymous namespace

bool FeedquillConsoleApp::OnInit()
{
    // A window run gets the user's locale from the toolkit; the signature file is written in
    // the local encoding, so a console run must use the same one.
    std::setlocale(LC_CTYPE, "");
    // A post's date in a signature is written as the user's locale writes dates.
    std::setlocale(LC_TIME, "");
    std::unique_ptr<wxLog> previous(wxLog::SetActiveTarget(new ConsoleLog));

    if ( !FeedquillAppBase::OnInit() )
        return false;
    StartUp::DecideUpdateCheck();
    StartCommandLineRun();
    return true;
}

bool FeedquillConsoleApp::OnCmdLineParsed(wxCmdLineParser& parser)
{
    if ( !parser.Found("c") && !parser.Found("q") && !parser.Found("version")
         && !parser.Found("print") && !parser.Found("all") )
    {
        wxLogError("Feedquill cannot open its window: %s.\n"
                   "Use -c or -q to update the signature from the command line.",
                   s_noWindowReason);
        StartUp::SetExitStatus(EXIT_STATUS_FAILED);
        return false;
    }
    return FeedquillAppBase::OnCmdLineParsed(parser);
}

void FeedquillConsoleApp::SetNoWindowReason(const char* reason)
{
    s_noWindowReason = reason;
}
