// The main window's commands on the feed address, the signature file and the web pages.

#include "ui/feedquillframe.h"

#include "base/buildinfo.h"
#include "base/launcher.h"
#include "project/project.h"
#include "ui/aboutboxdlg.h"
#include "ui/addressdialog.h"
#include "ui/helppage.h"
#include "ui/windowmessenger.h"
#include "update/updatekeys.h"

#include <wx/datetime.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/mimetype.h>
#include <wx/utils.h>

#include <memory>

void FeedquillFrame::OnUpdateSignature(wxCommandEvent& WXUNUSED(event))
{
    TransferDataFromWindow();
    RunLocked([this] { ShowSignatureResult(g_project.WriteSignature()); });
}

void FeedquillFrame::ShowSignatureResult(int result)
{
    // The path as the user knows it, with the home folder as "~".
    wxString path = g_project.m_filePath;
    const wxString home = wxGetHomeDir();
    if ( !home.empty() && home != "/" && path.StartsWith(home + "/") )
        path = "~" + path.substr(home.length());
    switch ( result )
    {
        case SIGNATURE_WRITTEN:
            SetStatusText(wxString::Format(_("Signature written to %s at %s"), path,
                                           wxDateTime::Now().Format("%H:%M")));
            break;
        case SIGNATURE_CANNOT_WRITE:
        case SIGNATURE_NO_TEMPLATE:
            SetStatusText(wxString::Format(_("The signature file %s was not written."), path));
            break;
        case SIGNATURE_KEPT:
            SetStatusText(wxString::Format(_("The signature file %s was left as it was."), path));
            break;
        case SIGNATURE_UPDATE_FAILED:
            SetStatusText(_("The feed could not be read. The signature file was not changed."));
            break;
        default:
            SetStatusText(wxString());
            break;
    }
}

void FeedquillFrame::OnEnterUrl(wxCommandEvent& WXUNUSED(event))
{
    TransferDataFromWindow();
    if ( AddressDialog::AskAndStore(this) )
        ShowProject();
}

wxString FeedquillFrame::ProposeFileName(const wxString& name)
{
    // GTK selects a proposed name up to its last dot, so that typing replaces the name and
    // keeps the extension; for ".signature" that selects nothing, and a name typed then lands
    // in front of it ("new.signature"). Such a name is not proposed: the list shows the file.
    return name.StartsWith(".") && name.find('.', 1) == wxString::npos ? wxString() : name;
}

void FeedquillFrame::OnSelectFile(wxCommandEvent& WXUNUSED(event))
{
    TransferDataFromWindow();
    // A save dialog, which accepts a file that does not exist yet and does not ask before
    // overwriting: replacing a file the program did not write is asked about when it is
    // written. GTK fixes a file chooser's kind when it is made, so the style goes to the
    // constructor. It opens where the signature is, else in the home folder, never in the
    // working folder, and shows hidden files such as ~/.signature.
    const wxFileName current(g_project.GetSignaturePath());
    const wxString folder = !g_project.m_filePath.empty() && current.DirExists()
                                ? current.GetPath() : wxGetHomeDir();
    // "*" rather than "*.*", which names no file without a dot.
    wxFileDialog dialog(this, wxFileSelectorPromptStr, folder, ProposeFileName(current.GetFullName()),
                        _("All Files (*)|*|TXT-Files (*.txt)|*.txt"),
                        wxFD_SAVE | wxFD_SHOW_HIDDEN);
    if ( dialog.ShowModal() != wxID_OK || dialog.GetPath().empty() )
        return;
    g_project.SetFilePath(dialog.GetPath());
    ShowProject();
}

void FeedquillFrame::OnOpenSignature(wxCommandEvent& WXUNUSED(event))
{
    const wxString& path = g_project.m_filePath;
    if ( path.empty() )
        return;
#ifdef __LINUX__
    // The desktop's default application (xdg-open). The file-type lookup would find open
    // commands meant for a terminal, such as "vim %s", which would run where nobody sees them.
    if ( !Launcher::Get()->OpenFile(path) )
        ReportOpenFailure(path, _("xdg-open could not be started."));
#else
    const wxString extension = path.AfterLast('.');
    wxMimeTypesManager* manager = wxTheMimeTypesManager;
    std::unique_ptr<wxFileType> type(manager->GetFileTypeFromExtension(extension));
    if ( !type )
        type.reset(manager->GetFileTypeFromExtension("txt"));
    if ( !type )
    {
        wxLogError("Impossible to determine the file type for extension '%s'", extension);
        return;
    }
    wxString command;
    const bool known = type->GetOpenCommand(&command,
                                            wxFileType::MessageParameters(path, wxString()));
    type.reset();
    if ( !known || command.empty() )
    {
        wxLogError("Impossible to find out how to open files of extension '%s'", extension);
        return;
    }
    Launcher::Get()->Execute(command);
#endif
}

void FeedquillFrame::OnAutoCheck(wxCommandEvent& event)
{
    WriteCheckForUpdates(event.IsChecked());
}

void FeedquillFrame::OnAbout(wxCommandEvent& WXUNUSED(event))
{
    AboutBoxDlg dialog(this, _("About"), wxID_ANY, wxDefaultPosition, wxSize(540, 370),
                       wxNO_BORDER);
    dialog.ShowModal();
}

void FeedquillFrame::OnHelp(wxCommandEvent& WXUNUSED(event))
{
    OpenHelpPage();
}

void FeedquillFrame::OnWebSite(wxCommandEvent& WXUNUSED(event))
{
    Launcher::Get()->OpenBrowser(FEEDQUILL_SITE "/?src=fqa");
}

void FeedquillFrame::OnExit(wxCommandEvent& WXUNUSED(event))
{
    Close(false);
}

void FeedquillFrame::OnUpdateUIGetData(wxUpdateUIEvent& event)
{
    event.Enable(!g_project.m_feedURL.empty() && !IsBusy());
}

void FeedquillFrame::OnUpdateUIUpdateSignature(wxUpdateUIEvent& event)
{
    event.Enable(!g_project.m_filePath.empty());
}

