#include "ui/windowmessenger.h"

#include <wx/arrstr.h>
#include <wx/ffile.h>
#include <wx/log.h>
#include <wx/msgdlg.h>
#include <wx/process.h>
#include <wx/translation.h>
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

namespace
{

// xdg-open, which knows the desktop's choice for the type, runs on its own; when it fails, the
// window says so with the reason its exit status gives, as it writes its own words only to
// standard error.
class OpenFileProcess : public wxProcess
{
public:
    explicit OpenFileProcess(const wxString& path)
        : m_path(path)
    {
    }

    void OnTerminate(int WXUNUSED(pid), int status) override
    {
        if ( status != 0 )
            ReportOpenFailure(m_path, DescribeOpenStatus(status));
        delete this;
    }

private:
    wxString m_path;
};

} // anonymous namespace

wxString DescribeOpenStatus(int status)
{
    switch ( status )
    {
        case 1:
            return _("xdg-open did not understand its command line.");
        case 2:
            return _("The file does not exist.");
        case 3:
            return _("No program to open files of this type was found.");
        case 4:
            return _("The program that opens files of this type failed.");
        default:
            return wxString::Format(_("xdg-open ended with status %d."), status);
    }
}

void ReportOpenFailure(const wxString& path, const wxString& reason)
{
    wxLogError(_("Impossible to find out how to open files of extension '%s'\n\"%s\": %s"),
               path.AfterLast('.'), path, reason);
}

bool WindowLauncher::OpenFile(const wxString& path)
{
    const wxScopedCharBuffer file = path.fn_str();
    const char* argv[] = {"xdg-open", file.data(), nullptr};
    auto* process = new OpenFileProcess(path);
    if ( wxExecute(argv, wxEXEC_ASYNC, process) > 0 )
        return true;
    delete process;
    return false;
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
