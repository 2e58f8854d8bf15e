#include "app/startup.h"

#include "app/buildinfo.h"
#include "project/configkeys.h"
#include "project/project.h"
#include "update/updatekeys.h"

#include <wx/cmdline.h>
#include <wx/config.h>
#include <wx/convauto.h>
#include <wx/file.h>
#include <wx/fileconf.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/stdpaths.h>

#include <memory>

wxString g_programDir;
wxString g_dataDir;

namespace
{

int s_exitStatus = EXIT_STATUS_UNSET;

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
    wxCMD_LINE_DESC_END
};

// Whether the configuration file holds something other than text (binary garbage, a disk
// error), which wxFileConfig would read as Latin-1 and then rewrite, destroying it for good.
bool IsUnreadableConfig(const wxString& path)
{
    wxFile file;
    if ( !wxFile::Exists(path) || !file.Open(path) )
        return false;
    char buffer[64 * 1024];
    ssize_t count;
    while ( (count = file.Read(buffer, sizeof(buffer))) > 0 )
    {
        for ( ssize_t i = 0; i < count; ++i )
        {
            const unsigned char c = static_cast<unsigned char>(buffer[i]);
            if ( c < 0x20 && c != '\t' && c != '\n' && c != '\r' )
                return true;
        }
    }
    return false;
}

} // anonymous namespace

namespace StartUp
{

void OpenConfig()
{
    const wxString path = g_dataDir + "Feedquill.cfg";
    if ( IsUnreadableConfig(path) )
    {
        // Kept aside rather than overwritten: it may still mean something to its owner.
        const wxString kept = path + ".unreadable";
        if ( wxRenameFile(path, kept, true) )
            wxLogWarning("\"%s\" is not a settings file Feedquill can read; it was kept as "
                         "\"%s\" and the default settings are used.", path, kept);
    }
    auto* config = new wxFileConfig("Feedquill", "Tarnwick", path,
                                    wxString(),
                                    wxCONFIG_USE_LOCAL_FILE | wxCONFIG_USE_GLOBAL_FILE,
                                    wxConvAuto());
    wxConfigBase::Set(config);
}

void DescribeCommandLine(wxCmdLineParser& parser)
{
    parser.SetDesc(s_cmdLineDesc);
    parser.SetSwitchChars("-");
}

void ApplyCommandLine(const wxCmdLineParser& parser)
{
    g_project.m_cmdMode = parser.Found("c");
    g_project.m_quiet = parser.Found("q");
    if ( g_project.m_quiet )
        g_project.m_cmdMode = true;

    g_programDir = wxPathOnly(wxStandardPaths::Get().GetExecutablePath())
                   + wxFileName::GetPathSeparator();
    if ( parser.Found("l") )
        g_dataDir = g_programDir;
    else
        g_dataDir = wxStandardPaths::Get().GetUserDataDir() + wxFileName::GetPathSeparator();

    wxFileName::Mkdir(g_dataDir + "SignatureTemplates", wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    OpenConfig();
    g_project.Load(wxConfigBase::Get()->Read(OPTION_PROJECT, OPTION_PROJECT_DEFAULT));
}

void DecideUpdateCheck()
{
    // A build without the update check (as distributions make it) never asks our site.
    g_project.m_updateCheckDue = FEEDQUILL_UPDATE_CHECK && IsUpdateCheckDue(true, 30);
}

void RunCommandLineUpdate()
{
    const int result = g_project.Update();
    if ( result == SIGNATURE_NO_FILE )
        wxLogError("No signature file is set for the project \"%s\", so none was written.",
                   g_project.m_name);
    else if ( result == SIGNATURE_CANNOT_WRITE )
        wxLogError("The signature file \"%s\" could not be written.", g_project.m_filePath);
    SetExitStatus(result == SIGNATURE_WRITTEN ? EXIT_STATUS_OK : EXIT_STATUS_FAILED);
}

void Shutdown()
{
    wxConfigBase* config = wxConfigBase::Get(false);
    if ( !config )
        return;
    config->Flush();
    std::unique_ptr<wxConfigBase> released(wxConfigBase::Set(nullptr));
}

wxString GetArtDir()
{
    // Beside the executable (the build tree, a portable copy), then where an installation
    // below the executable's prefix keeps it, then where this build installs it.
    const wxString separator = wxFileName::GetPathSeparator();
    const wxString candidates[] =
    {
        g_programDir + "art" + separator,
        g_programDir + ".." + separator + "share" + separator + "feedquill" + separator + "art"
            + separator,
    };
    for ( const wxString& dir : candidates )
    {
        if ( wxFileName::DirExists(dir) )
            return dir;
    }
    return wxString(FEEDQUILL_INSTALLED_ART_DIR) + separator;
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
