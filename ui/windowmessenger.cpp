#include "ui/windowmessenger.h"

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
