#ifndef FEEDQUILL_APP_STARTUP_H
#define FEEDQUILL_APP_STARTUP_H

class wxCmdLineParser;
class wxString;

// Exit statuses of the program.
enum ExitStatus
{
    EXIT_STATUS_UNSET = -1,
    EXIT_STATUS_OK = 0,
    EXIT_STATUS_FAILED = 1,  // the update failed, or the program could not run at all
    EXIT_STATUS_USAGE = 2    // a bad command line
};

// The start-up and shut-down that the window and the console application share.
namespace StartUp
{

// What the command line asked for.
enum RunKind
{
    RUN_WINDOW,   // the main window
    RUN_UPDATE,   // -c or -q: one project's update
    RUN_ALL,      // -c or -q with --all: every project's
    RUN_PRINT     // --print: the stored signature on standard output
};
RunKind GetRunKind();

void DescribeCommandLine(wxCmdLineParser& parser);
// Prints the program's name and version for "--version"; true when it was asked for, and the
// run then ends there, creating nothing.
bool ShowVersion(const wxCmdLineParser& parser);
// Sets the run flags, chooses and creates the data folder, opens the configuration and loads
// the current project. A command-line run takes the data folder's lock first and keeps it to
// the end; false when another run kept it too long.
// false too, with one message, for -l in a system folder (IsSystemFolder), creating nothing.
bool ApplyCommandLine(const wxCmdLineParser& parser);
// Whether dir (ending in a separator) is a folder of the system: under /usr, or one this user
// may not write.
bool IsSystemFolder(const wxString& dir);
// Decides whether the automatic update check is due in this process.
void DecideUpdateCheck();
// The one update of a command-line run, or the printing of --print; sets the exit status
// from its outcome.
void RunCommandLineUpdate();
// Writes and releases the configuration, then the lock of a command-line run.
void Shutdown();

void SetExitStatus(int status);
// The status main() should return, given what wxEntry returned.
int GetExitStatus(int entryResult);

} // namespace StartUp

#endif
