#include "base/datafolders.h"

#include "base/buildinfo.h"

#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/stdpaths.h>

wxString g_programDir;
wxString g_dataDir;

void ChooseFolders(bool local)
{
    g_programDir = wxPathOnly(wxStandardPaths::Get().GetExecutablePath())
                   + wxFileName::GetPathSeparator();
    if ( local )
        g_dataDir = g_programDir;
    else
        g_dataDir = wxStandardPaths::Get().GetUserDataDir() + wxFileName::GetPathSeparator();
    // A HOME that ends in "/" would otherwise show in every path a message names.
    while ( g_dataDir.Replace("//", "/") )
        ;
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
