#include "ui/windowmessenger.h"

#include <wx/arrstr.h>
#include <wx/ffile.h>
#include <wx/log.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>

#include <cstdio>
#include <sys/wait.h>

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
    // popen, not wxExecute: it runs no event loop while it waits, and may be called from any
    // thread (the hourly item asks systemctl from one of its own). The shell says 127 for a
    // program that is not there, which is an answer (-1), not an error to show.
    FILE* pipe = popen((command + " 2>&1 </dev/null").mb_str(), "r");
    if ( !pipe )
        return -1;
    wxFFile in(pipe);
    output.clear();
    in.ReadAll(&output, wxConvLocal);
    in.Detach();
    const int status = pclose(pipe);
    output.Trim();
    if ( !WIFEXITED(status) || WEXITSTATUS(status) == 127 )
        return -1;
    return WEXITSTATUS(status);
}
