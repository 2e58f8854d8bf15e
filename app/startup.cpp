#include "app/startup.h"

#include "base/buildinfo.h"
#include "base/datafolders.h"
#include "base/runlock.h"
#include "project/configfile.h"
#include "project/configkeys.h"
#include "project/project.h"
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
    wxCMD_LINE_DESC_END
};

} // anonymous namespace

namespace StartUp
{

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
    g_project.m_cmdMode = parser.Found("c");
    g_project.m_quiet = parser.Found("q");
    if ( g_project.m_quiet )
        g_project.m_cmdMode = true;

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
    wxFileName::Mkdir(g_dataDir + "SignatureTemplates", wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    // From the settings it reads to the signature it writes, one command-line run at a time.
    if ( g_project.m_cmdMode )
    {
        s_runLock = std::make_unique<RunLock>();
        if ( !s_runLock->IsHeld() )
        {
            SetExitStatus(EXIT_STATUS_FAILED);
            return false;
        }
    }
    OpenConfig();
    g_project.Load(wxConfigBase::Get()->Read(OPTION_PROJECT, OPTION_PROJECT_DEFAULT));
    return true;
}

void DecideUpdateCheck()
{
    // A build without the update check (as distributions make it) never asks our site.
    g_project.m_updateCheckDue = FEEDQUILL_UPDATE_CHECK && IsUpdateCheckDue(true, 30);
}

void RunCommandLineUpdate()
{
    // Update has told the user what went wrong.
    const int result = g_project.Update();
    SetExitStatus(result == SIGNATURE_WRITTEN ? EXIT_STATUS_OK : EXIT_STATUS_FAILED);
}

void Shutdown()
{
    CloseConfig();
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
