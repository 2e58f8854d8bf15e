#include "ui/helppage.h"

#include "base/datafolders.h"
#include "base/launcher.h"

#include <wx/filename.h>
#include <wx/log.h>

wxString GetHelpPagePath()
{
    // It travels with the about page: beside the executable in a build tree, else installed.
    return GetArtDir() + "help.html";
}

bool OpenHelpPage()
{
    const wxString path = GetHelpPagePath();
    if ( !wxFileName::FileExists(path) )
    {
        wxLogError(_("The help page \"%s\" is missing; reinstalling Feedquill brings it back."),
                   path);
        return false;
    }
    return Launcher::Get()->OpenBrowser(wxFileName::FileNameToURL(wxFileName(path)));
}
