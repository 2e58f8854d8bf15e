#include "ui/windowmessenger.h"

#include <wx/arrstr.h>
#include <wx/log.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>

int WindowMessenger::ShowMessage(const wxString& message, const wxString& caption, long style)
{
    return wxMessageBox(message, caption, style);
}

bool WindowLauncher::OpenBrowser(const wxString& url)
{
    return wxLaunchDefaultBrowser(url, wxBROWSER_NEW_WINDOW);
}

bool WindowLauncher::Execute(const wxString& command)
{
    return wxExecute(command, wxEXEC_ASYNC) != 0;
}

bool WindowLauncher::OpenFile(const wxString& path)
{
    // On Linux this is xdg-open, which knows the desktop's choice for the type.
    return wxLaunchDefaultApplication(path);
}

int WindowLauncher::Run(const wxString& command, wxString& output)
{
    wxArrayString out;
    wxArrayString errors;
    // Not wxEXEC_NOEVENTS: the window goes on repainting while it waits. A program that is
    // not there is an answer (-1), not an error to show.
    wxLogNull quiet;
    const long status = wxExecute(command, out, errors, wxEXEC_SYNC | wxEXEC_NODISABLE);
    output = wxJoin(out, '\n', '\0');
    if ( !errors.empty() )
        output += (output.empty() ? "" : "\n") + wxJoin(errors, '\n', '\0');
    return status;
}
