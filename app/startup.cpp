#include "app/startup.h"

#include "base/buildinfo.h"
#include "base/datafolders.h"
#include "base/runlock.h"
#include "project/configfile.h"
#include "project/configkeys.h"
#include "project/project.h"
#include "run/allprojects.h"
#include "run/printsignature.h"
#include "update/updatekeys.h"

#include <wx/cmdline.h>
#include <wx/config.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/stdpaths.h>

#include <cstdio>
#include <memory>

#include <unistd.h>

namespace
{

int s_exitStatus = EXIT_STATUS_UNSET;
StartUp::RunKind s_runKind = StartUp::RUN_WINDOW;
std::unique_ptr<RunLock> s_runLock;  // a command-line run's, held to the end

const wxCmdLineEntryDesc s_cmdLineDesc[] =
{
    { wxCMD_LINE_SWITCH, "h", "help", "Show this message",
      wxCMD_LINE_VAL_NONE, wxCMD_LINE_OPTION_HELP },
    { wxCMD_LINE_SWITCH, "c", "cmd", "Command line mode - no GUI", wxCMD_LINE_VAL_NONE, 0 },
    { wxCMD_LINE_SWITCH, "q", "quiet",
      "Be quiet - no GUI and result message when update was done successfully",
      wxCMD_LINE_VAL_NONE, 0 },
    { wxCMD_LINE_SWITCH, "l", "local",
      "Use data are located in this folder (Feedquill.cfg, signature templates etc)",
      wxCMD_LINE_VAL_NONE, 0 },
    { wxCMD_LINE_SWITCH, nullptr, "version", "Show the program's version",
      wxCMD_LINE_VAL_NONE, 0 },
    { wxCMD_LINE_OPTION, nullptr, "project",
      "Use this project for this run instead of the one the settings name",
      wxCMD_LINE_VAL_STRING, 0 },
    { wxCMD_LINE_SWITCH, nullptr, "all",
      "With -c or -q: update every project, reading their feeds at the same time",
      wxCMD_LINE_VAL_NONE, 0 },
    { wxCMD_LINE_SWITCH, nullptr, "print",
      "Write the signature with the stored post to standard output, for a mail program; "
      "fetch nothing", wxCMD_LINE_VAL_NONE, 0 },
    wxCMD_LINE_DESC_END
};

// Switches that do not go together; false, with the reason logged, for such a command line.
bool CheckCombination(const wxCmdLineParser& parser)
{
    const bool commandLine = parser.Found("c") || parser.Found("q");
    const char* problem = nullptr;
    if ( parser.Found("print") && (commandLine || parser.Found("all")) )
        problem = "--print writes the stored signature and updates nothing: it does not go "
                  "with -c, -q or --all.";
    else if ( parser.Found("all") && !commandLine )
        problem = "--all updates every project from the command line: use it with -c or -q.";
    else if ( parser.Found("all") && parser.Found("project") )
        problem = "--all updates every project: it does not go with --project.";
    if ( !problem )
        return true;
    wxLogError("%s", problem);
    StartUp::SetExitStatus(EXIT_STATUS_USAGE);
    return false;
}

// Whether the project --project names is in the settings; when not, says which ones are.
// Reads the settings without the lock and creates nothing, so that a mistyped name leaves no
// trace.
bool CheckNamedProject(const wxString& name)
{
    OpenConfig();
    const bool known = wxConfigBase::Get()->HasGroup(PROJECT_GROUP + name);
    if ( !known )
        wxLogError("%s", DescribeMissingProject(name));
    CloseConfig();
    return known;
}

} // anonymous namespace

namespace StartUp
{

RunKind GetRunKind()
{
    return s_runKind;
}

void DescribeCommandLine(wxCmdLineParser& parser)
{
    parser.SetDesc(s_cmdLineDesc);
    parser.SetSwitchChars("-");
}

bool ShowVersion(const wxCmdLineParser& parser)
{
    if ( !parser.Found("version") )
        return false;
    std::printf("Feedquill %s\n", FEEDQUILL_VERSION_TEXT);
    std::fflush(stdout);
    SetExitStatus(EXIT_STATUS_OK);
    return true;
}

bool IsSystemFolder(const wxString& dir)
{
    return dir == "/usr" || dir.StartsWith("/usr/") || access(dir.fn_str(), W_OK) != 0;
}

bool ApplyCommandLine(const wxCmdLineParser& parser)
{
    if ( !CheckCombination(parser) )
        return false;
    g_project.m_cmdMode = parser.Found("c");
    g_project.m_quiet = parser.Found("q");
    if ( g_project.m_quiet )
        g_project.m_cmdMode = true;
    if ( parser.Found("print") )
        s_runKind = RUN_PRINT;
    else if ( g_project.m_cmdMode )
        s_runKind = parser.Found("all") ? RUN_ALL : RUN_UPDATE;
    g_project.m_readOnly = s_runKind == RUN_PRINT;

    const bool local = parser.Found("l");
    ChooseFolders(local);
    // An installed program's folder is no place for one user's settings: as a user nothing
    // could be written there, and as root the settings would land among the system's programs.
    if ( local && IsSystemFolder(g_programDir) )
    {
        wxLogError("-l is for a copy of Feedquill in a folder of its own, such as on a USB "
                   "stick: it keeps Feedquill.cfg and the signature templates beside the "
                   "program. This Feedquill is in a system folder (%s), which is no place for "
                   "one user's data, so -l is refused; without -l its data is kept in %s.",
                   g_programDir,
                   wxStandardPaths::Get().GetUserDataDir() + wxFileName::GetPathSeparator());
        SetExitStatus(EXIT_STATUS_USAGE);
        return false;
    }
    wxString projectName;
    const bool projectNamed = parser.Found("project", &projectName);
    if ( projectNamed && !CheckNamedProject(projectName) )
    {
        SetExitStatus(EXIT_STATUS_FAILED);
        return false;
    }
    // Printing reads what is there and makes nothing, and it never waits for another run.
    if ( s_runKind == RUN_PRINT )
    {
        OpenConfig();
        g_project.Load(projectNamed ? projectName
                                    : wxConfigBase::Get()->Read(OPTION_PROJECT,
                                                                OPTION_PROJECT_DEFAULT));
        return true;
    }
    // The settings may hold a private feed's address with its token: a new data folder is the
    // user's alone. One that exists keeps its permissions.
    wxFileName::Mkdir(g_dataDir + "SignatureTemplates", 0700, wxPATH_MKDIR_FULL);
    // From the settings it reads to the signature it writes, one command-line run at a time.
    if ( g_project.m_cmdMode )
    {
        s_runLock = std::make_unique<RunLock>();
        if ( !s_runLock->IsHeld() )
        {
            wxLogError("%s", s_runLock->GetError());
            SetExitStatus(EXIT_STATUS_FAILED);
            return false;
        }
    }
    OpenConfig();
    // A project named for this run leaves the settings' choice as it is.
    const wxString name = projectNamed ? projectName
                                       : wxConfigBase::Get()->Read(OPTION_PROJECT,
                                                                   OPTION_PROJECT_DEFAULT);
    if ( !ProjectExists(name) )
    {
        // Nothing is made for a name that is most likely mistyped.
        wxLogError("%s", DescribeMissingProject(name));
        SetExitStatus(EXIT_STATUS_FAILED);
        return false;
    }
    g_project.Load(name);
    return true;
}

void DecideUpdateCheck()
{
    // A build without the update check (as distributions make it) never asks our site.
    g_project.m_updateCheckDue = FEEDQUILL_UPDATE_CHECK && s_runKind != RUN_PRINT
                                 && IsUpdateCheckDue(true, 30);
}

void RunCommandLineUpdate()
{
    // Each run has told the user what went wrong.
    bool done = false;
    if ( s_runKind == RUN_PRINT )
        done = PrintSignature(g_project, stdout);
    else if ( s_runKind == RUN_ALL )
        done = UpdateAllProjects(g_project);
    else
        done = g_project.Update() == SIGNATURE_WRITTEN;
    SetExitStatus(done ? EXIT_STATUS_OK : EXIT_STATUS_FAILED);
}

void Shutdown()
{
    // Settings that could not be written make a failed run, whatever else went well.
    if ( !CloseConfig() && s_exitStatus == EXIT_STATUS_OK )
        SetExitStatus(EXIT_STATUS_FAILED);
    s_runLock.reset();
}

void SetExitStatus(int status)
{
    s_exitStatus = status;
}

int GetExitStatus(int entryResult)
{
    if ( s_exitStatus != EXIT_STATUS_UNSET )
        return s_exitStatus;
    return entryResult == 0 ? EXIT_STATUS_OK : EXIT_STATUS_FAILED;
}

} // namespace StartUp
