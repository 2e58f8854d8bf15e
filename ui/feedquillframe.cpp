#include "ui/feedquillframe.h"

#include "base/buildinfo.h"
#include "base/launcher.h"
#include "project/configkeys.h"
#include "project/project.h"
#include "ui/aboutboxdlg.h"
#include "ui/accessiblename.h"
#include "ui/addressdialog.h"
#include "ui/firststeps.h"
#include "ui/helppage.h"
#include "ui/hourlyschedule.h"
#include "ui/mainicon.h"
#include "ui/projectchooser.h"
#include "ui/signaturepreview.h"
#include "update/updatekeys.h"

#include <wx/accel.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/config.h>
#include <wx/datetime.h>
#include <wx/filedlg.h>
#include <wx/log.h>
#include <wx/menu.h>
#include <wx/mimetype.h>
#include <wx/msgdlg.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/utils.h>
#include <wx/valgen.h>
#include <wx/valtext.h>

#include <memory>
#include <utility>

namespace
{

// A field that shows one of the project's values and cannot be typed into.
wxTextCtrl* NewValueField(wxWindow* panel, int id, wxString* value, long style = 0)
{
    auto* field = new wxTextCtrl(panel, id, wxString(), wxDefaultPosition, wxDefaultSize,
                                 wxTE_READONLY | style);
    field->SetValidator(wxTextValidator(wxFILTER_NONE, value));
    return field;
}

} // anonymous namespace

wxIMPLEMENT_CLASS(FeedquillFrame, wxFrame);

wxBEGIN_EVENT_TABLE(FeedquillFrame, wxFrame)
    EVT_CLOSE(FeedquillFrame::OnCloseWindow)
    EVT_MENU(ID_SAVE_TEMPLATE, FeedquillFrame::OnSaveTemplate)
    EVT_MENU(ID_RELOAD_TEMPLATE, FeedquillFrame::OnReloadTemplate)
    EVT_MENU(wxID_EXIT, FeedquillFrame::OnExit)
    EVT_MENU(ID_GET_DATA, FeedquillFrame::OnGetData)
    EVT_MENU(ID_UPDATE_SIGNATURE, FeedquillFrame::OnUpdateSignature)
    EVT_MENU(ID_OPEN_SIGNATURE, FeedquillFrame::OnOpenSignature)
    EVT_MENU(wxID_HELP, FeedquillFrame::OnHelp)
    EVT_MENU(wxID_HOME, FeedquillFrame::OnWebSite)
    EVT_MENU(ID_CHECK_UPDATES, FeedquillFrame::OnCheckUpdates)
    EVT_MENU(ID_AUTO_CHECK, FeedquillFrame::OnAutoCheck)
    EVT_MENU(wxID_ABOUT, FeedquillFrame::OnAbout)
    EVT_BUTTON(ID_ENTER_URL, FeedquillFrame::OnEnterUrl)
    EVT_BUTTON(ID_GET_DATA, FeedquillFrame::OnGetData)
    EVT_UPDATE_UI(ID_GET_DATA, FeedquillFrame::OnUpdateUIGetData)
    EVT_BUTTON(ID_SELECT_FILE, FeedquillFrame::OnSelectFile)
    EVT_BUTTON(ID_UPDATE_SIGNATURE, FeedquillFrame::OnUpdateSignature)
    EVT_UPDATE_UI(ID_UPDATE_SIGNATURE, FeedquillFrame::OnUpdateUIUpdateSignature)
    EVT_CHECKBOX(ID_READ_ONLY, FeedquillFrame::OnReadOnly)
    EVT_BUTTON(ID_RELOAD_TEMPLATE, FeedquillFrame::OnReloadTemplate)
    EVT_BUTTON(ID_SAVE_TEMPLATE, FeedquillFrame::OnSaveTemplate)
    EVT_UPDATE_UI(ID_SAVE_TEMPLATE, FeedquillFrame::OnUpdateUISaveTemplate)
    EVT_MENU(ID_SCHEDULE, FeedquillFrame::OnSchedule)
    EVT_MENU_OPEN(FeedquillFrame::OnMenuOpen)
    EVT_MENU(ID_CANCEL_FETCH, FeedquillFrame::OnCancelFetch)
    EVT_BUTTON(ID_CANCEL_FETCH, FeedquillFrame::OnCancelFetch)
    EVT_UPDATE_UI(ID_CHECK_UPDATES, FeedquillFrame::OnUpdateUIFetch)
    EVT_UPDATE_UI(ID_ENTER_URL, FeedquillFrame::OnUpdateUIFetch)
wxEND_EVENT_TABLE()

FeedquillFrame::FeedquillFrame(wxWindow* parent, wxWindowID id, const wxString& caption,
                               const wxPoint& pos, const wxSize& size, long style)
    : m_templateCtrl(nullptr),
      m_readOnly(false),
      m_fetch(this)
{
    Create(parent, id, caption, pos, size, style);
}

FeedquillFrame::~FeedquillFrame()
{
    // A window destroyed without being closed (the program ending) may still be fetching.
    if ( IsFetching() )
    {
        m_fetch.Abandon();
        wxEndBusyCursor();
    }
}

bool FeedquillFrame::Create(wxWindow* parent, wxWindowID id, const wxString& caption,
                            const wxPoint& pos, const wxSize& size, long style)
{
    SetExtraStyle(wxWS_EX_VALIDATE_RECURSIVELY);
    wxFrame::Create(parent, id, caption, pos, size, style, "frame");
    CreateControls();
    SetUpKeys();
    SetSizeLimits();
    Centre(wxBOTH);
    SetIcons(GetMainIcon());
    LoadOptions();
    ShowProject();
    return true;
}

void FeedquillFrame::ShowProject()
{
    TransferDataToWindow();
    // GTK leaves a control's modified state alone when the value set is the one it holds.
    m_templateCtrl->DiscardEdits();
    ShowNextStep(*this, g_project);
}

void FeedquillFrame::CreateMenuBar()
{
    auto* fileMenu = new wxMenu(0);
    fileMenu->Append(ID_SAVE_TEMPLATE, _("&Save Signature Template"), wxString());
    fileMenu->Append(ID_RELOAD_TEMPLATE, _("&Reload Signature Template"), wxString());
    fileMenu->AppendSeparator();
    fileMenu->Append(wxID_EXIT, _("Exit\tAlt+F4"), _("Exits the program"));

    auto* commandsMenu = new wxMenu(0);
    commandsMenu->Append(ID_GET_DATA, _("Update &data about last post"), wxString());
    commandsMenu->AppendSeparator();
    commandsMenu->Append(ID_UPDATE_SIGNATURE, _("&Update Signature File"), wxString());
    commandsMenu->Append(ID_OPEN_SIGNATURE, _("&Open Signature File"), wxString());
    commandsMenu->AppendSeparator();
    commandsMenu->AppendCheckItem(ID_SCHEDULE, _("Update the signature every hour"),
                                  wxString());

    auto* helpMenu = new wxMenu(0);
    helpMenu->Append(wxID_HELP, _("Help\tF1"), wxString());
    helpMenu->Append(wxID_HOME, _("Go to the Feedquill Web Site"), wxString());
#if FEEDQUILL_UPDATE_CHECK
    helpMenu->AppendSeparator();
    helpMenu->Append(ID_CHECK_UPDATES, _("Check for Updates"), wxString());
    helpMenu->AppendCheckItem(ID_AUTO_CHECK, _("Automaticaly check every 30 days"), wxString());
#endif
    helpMenu->AppendSeparator();
    helpMenu->Append(wxID_ABOUT, _("About...\tAlt+F1"), wxString());

    auto* menuBar = new wxMenuBar;
    menuBar->Append(fileMenu, _("&File"));
    menuBar->Append(commandsMenu, _("&Commands"));
    menuBar->Append(helpMenu, _("&Help"));
    SetMenuBar(menuBar);
}

void FeedquillFrame::CreateControls()
{
    CreateMenuBar();

    auto* panel = new wxPanel(this, ID_PANEL, wxDefaultPosition, wxDefaultSize,
                              wxTAB_TRAVERSAL | wxNO_BORDER);
    auto* panelSizer = new wxBoxSizer(wxVERTICAL);
    panel->SetSizer(panelSizer, true);
    panelSizer->Add(new ProjectChooser(panel, this), 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, 7);
    panelSizer->Add(CreateFeedGroup(panel), 0, wxEXPAND | wxALL, 7);
    panelSizer->Add(CreateFileGroup(panel), 0, wxEXPAND | wxALL, 7);
    panelSizer->Add(CreateTemplateGroup(panel), 1, wxEXPAND | wxALL, 7);
    // What a fetch is doing, and what became of the last signature written.
    CreateStatusBar(1);
}

void FeedquillFrame::SetSizeLimits()
{
    // The template gets six lines at the default size and three at the smallest, at which
    // every other control keeps its full size. The width stays the one asked for.
    wxSizer* sizer = FindWindow(ID_PANEL)->GetSizer();
    const int line = m_templateCtrl->GetCharHeight();
    m_templateCtrl->SetMinSize(m_templateCtrl->GetSizeFromTextSize(-1, 6 * line));
    const int roomyHeight = sizer->GetMinSize().y;
    m_templateCtrl->SetMinSize(m_templateCtrl->GetSizeFromTextSize(-1, 3 * line));
    m_minClientSize = sizer->GetMinSize();
    SetMinClientSize(m_minClientSize);
    // The toolkit keeps the smallest size as the outer one, and learns the window manager's
    // frame around it only once the window is on screen: set it again then.
    Bind(wxEVT_SIZE, [this](wxSizeEvent& event)
    {
        event.Skip();
        if ( GetMinClientSize() != m_minClientSize )
            SetMinClientSize(m_minClientSize);
    });
    const int missing = roomyHeight - GetClientSize().y;
    if ( missing > 0 )
        SetSize(GetSize().x, GetSize().y + missing);
#ifdef __WXGTK__
    // wxGTK holds the first showing back until the window manager tells the size of its
    // frame, and then takes that from the client area; meanwhile GTK lays the window out at a
    // few pixels and warns about it. Shown at once, the window keeps the client size above.
    m_deferShow = false;
#endif
}

void FeedquillFrame::SetUpKeys()
{
    wxAcceleratorEntry keys[] = {
        wxAcceleratorEntry(wxACCEL_NORMAL, WXK_ESCAPE, ID_CANCEL_FETCH),
        wxAcceleratorEntry(wxACCEL_CTRL, 'S', ID_SAVE_TEMPLATE),
    };
    SetAcceleratorTable(wxAcceleratorTable(WXSIZEOF(keys), keys));
}

wxSizer* FeedquillFrame::CreateChoiceRow(wxWindow* panel, int fieldId, wxString* value,
                                         int chooseId, const wxString& choose, int actionId,
                                         const wxString& action)
{
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    // Every item stretches to the row's height, so that the field and its buttons line up.
    wxTextCtrl* field = NewValueField(panel, fieldId, value, wxTE_PROCESS_ENTER);
    row->Add(field, 1, wxEXPAND | wxALL, 5);
    auto* chooser = new wxButton(panel, chooseId, _("..."), wxDefaultPosition, wxDefaultSize,
                                 wxBU_EXACTFIT);
    chooser->SetToolTip(choose);
    SetAccessibleName(chooser, choose);
    row->Add(chooser, 0, wxEXPAND | wxTOP | wxBOTTOM | wxRIGHT, 5);
    // Enter or a double click in the field does what its "..." button does, once the event
    // that asked for it is over (the dialog is modal).
    auto chooseAgain = [this, chooser]
    {
        CallAfter([this, chooser]
        {
            if ( !chooser->IsEnabled() )
                return;
            wxCommandEvent click(wxEVT_BUTTON, chooser->GetId());
            click.SetEventObject(chooser);
            ProcessWindowEvent(click);
        });
    };
    field->Bind(wxEVT_TEXT_ENTER, [chooseAgain](wxCommandEvent&) { chooseAgain(); });
    field->Bind(wxEVT_LEFT_DCLICK, [chooseAgain](wxMouseEvent&) { chooseAgain(); });
    row->Add(new wxButton(panel, actionId, action, wxDefaultPosition, wxDefaultSize, 0),
             0, wxEXPAND | wxTOP | wxBOTTOM | wxRIGHT, 5);
    return row;
}

wxSizer* FeedquillFrame::CreateFeedGroup(wxWindow* panel)
{
    auto* group = new wxStaticBoxSizer(wxVERTICAL, panel,
                                       _("Enter url of RSS or Atom feed of your blog"));
    wxSizer* row = CreateChoiceRow(panel, ID_FEED_URL, &g_project.m_feedURL, ID_ENTER_URL,
                                   _("Enter the feed address"), ID_GET_DATA, _("Get &Data"));
    // Shown only while a fetch runs; Escape does the same.
    m_cancelButton = new wxButton(panel, ID_CANCEL_FETCH, _("&Cancel"));
    row->Add(m_cancelButton, 0, wxEXPAND | wxTOP | wxBOTTOM | wxRIGHT, 5);
    row->Hide(m_cancelButton);
    group->Add(row, 0, wxEXPAND | wxALL, 0);
    group->Add(new wxStaticText(panel, wxID_STATIC, _("Title and Link of last post:"),
                                wxDefaultPosition, wxDefaultSize, 0),
               0, wxEXPAND | wxALL, 5);
    group->Add(NewValueField(panel, ID_LAST_TITLE, &g_project.m_lastTitle),
               0, wxEXPAND | wxALL, 5);
    group->Add(NewValueField(panel, ID_LAST_LINK, &g_project.m_lastLink),
               0, wxEXPAND | wxALL, 5);
    return group;
}

wxSizer* FeedquillFrame::CreateFileGroup(wxWindow* panel)
{
    auto* group = new wxStaticBoxSizer(wxVERTICAL, panel,
                                       _("Specify file to export your signature:"));
    group->Add(CreateChoiceRow(panel, ID_FILE_PATH, &g_project.m_filePath, ID_SELECT_FILE,
                               _("Choose the signature file"), ID_UPDATE_SIGNATURE,
                               _("&Update")),
               0, wxEXPAND | wxALL, 0);
    return group;
}

wxSizer* FeedquillFrame::CreateTemplateGroup(wxWindow* panel)
{
    auto* group = new wxStaticBoxSizer(
        wxVERTICAL, panel,
        _("Enter signature template, use %title%  and %link% macros (case sensitivity!):"));
    m_templateCtrl = new wxTextCtrl(panel, ID_TEMPLATE, wxString(), wxDefaultPosition,
                                    wxDefaultSize, wxTE_MULTILINE);
    m_templateCtrl->SetValidator(wxTextValidator(wxFILTER_NONE, &g_project.m_template));
    group->Add(m_templateCtrl, 1, wxEXPAND | wxALL, 5);
    group->Add(new wxStaticText(panel, wxID_STATIC, _("Preview of the signature:")),
               0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, 5);
    group->Add(new SignaturePreview(panel, m_templateCtrl), 1, wxEXPAND | wxALL, 5);

    auto* row = new wxBoxSizer(wxHORIZONTAL);
    group->Add(row, 0, wxEXPAND | wxLEFT | wxRIGHT, 5);
    auto* readOnly = new wxCheckBox(panel, ID_READ_ONLY, _("Read &Only"), wxDefaultPosition,
                                    wxDefaultSize, 0);
    readOnly->SetValidator(wxGenericValidator(&m_readOnly));
    row->Add(readOnly, 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
    row->Add(5, 5, 1, wxALIGN_CENTER_VERTICAL | wxALL, 5);
    for ( const auto& [id, label] : { std::pair(ID_RELOAD_TEMPLATE, _("&Reload")),
                                      std::pair(ID_SAVE_TEMPLATE, _("&Save")) } )
    {
        row->Add(new wxButton(panel, id, label, wxDefaultPosition, wxDefaultSize, 0),
                 0, wxALIGN_CENTER_VERTICAL | wxTOP | wxBOTTOM | wxLEFT, 5);
    }
    return group;
}

void FeedquillFrame::ApplyReadOnly()
{
    m_templateCtrl->SetEditable(!m_readOnly);
    m_templateCtrl->Enable(!m_readOnly);
}

void FeedquillFrame::LoadOptions()
{
    wxConfigBase::Get()->Read(OPTION_READ_ONLY, &m_readOnly, OPTION_READ_ONLY_DEFAULT);
    ApplyReadOnly();
#if FEEDQUILL_UPDATE_CHECK
    GetMenuBar()->Check(ID_AUTO_CHECK, ReadCheckForUpdates(true));
#endif
}

void FeedquillFrame::OnUpdateSignature(wxCommandEvent& WXUNUSED(event))
{
    TransferDataFromWindow();
    ShowSignatureResult(g_project.WriteSignature());
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
        case SIGNATURE_UPDATE_FAILED:
            SetStatusText(_("The feed could not be read. The signature file was not changed."));
            break;
        default:
            SetStatusText(wxString());
            break;
    }
}

void FeedquillFrame::OnReloadTemplate(wxCommandEvent& WXUNUSED(event))
{
    g_project.LoadTemplate();
    ShowProject();
}

void FeedquillFrame::OnSaveTemplate(wxCommandEvent& WXUNUSED(event))
{
    SaveTemplateEdits();
}

bool FeedquillFrame::SaveTemplateEdits()
{
    // The editor stays modified when the file cannot be written, so the edits are not lost.
    if ( !g_project.SaveTemplate([this] { TransferDataFromWindow(); }) )
        return false;
    m_templateCtrl->DiscardEdits();
    return true;
}

void FeedquillFrame::OnEnterUrl(wxCommandEvent& WXUNUSED(event))
{
    TransferDataFromWindow();
    if ( AddressDialog::AskAndStore(this) )
        ShowProject();
}

void FeedquillFrame::OnSelectFile(wxCommandEvent& WXUNUSED(event))
{
    TransferDataFromWindow();
    // A save dialog, which accepts a file that does not exist yet and does not ask before
    // overwriting. GTK fixes a file chooser's kind when it is made, so the style goes to the
    // constructor.
    wxFileDialog dialog(this, wxFileSelectorPromptStr, wxString(), wxString(),
                        _("TXT-Files (*.txt)|*.txt|All Files (*.*)|*.*"),
                        wxFD_SAVE | wxFD_CHANGE_DIR);
    dialog.SetPath(g_project.m_filePath);
    // Signature files such as ~/.signature usually have no extension.
    dialog.SetFilterIndex(1);
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
    const wxString extension = path.AfterLast('.');
#ifdef __LINUX__
    // The desktop's default application (xdg-open). The file-type lookup would find open
    // commands meant for a terminal, such as "vim %s", which would run where nobody sees them.
    if ( !Launcher::Get()->OpenFile(path) )
        wxLogError("Impossible to find out how to open files of extension '%s'", extension);
#else
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

void FeedquillFrame::OnReadOnly(wxCommandEvent& WXUNUSED(event))
{
    TransferDataFromWindow();
    ApplyReadOnly();
    wxConfigBase::Get()->Write(OPTION_READ_ONLY, m_readOnly);
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
    event.Enable(!g_project.m_feedURL.empty() && !IsFetching());
}

void FeedquillFrame::OnUpdateUIUpdateSignature(wxUpdateUIEvent& event)
{
    event.Enable(!g_project.m_filePath.empty());
}

void FeedquillFrame::OnUpdateUISaveTemplate(wxUpdateUIEvent& event)
{
    event.Enable(m_templateCtrl->IsModified());
}

void FeedquillFrame::OnCloseWindow(wxCloseEvent& event)
{
    if ( IsFetching() )
    {
        m_fetch.Abandon();
        EndFetch();
        SetStatusText(_("Stopped. Nothing was changed."));
    }
    if ( m_templateCtrl->IsModified() )
    {
        const int answer = wxMessageBox(_("Save changes in signature template?"), _("Feedquill"),
                                        wxYES_NO | wxCANCEL | wxICON_QUESTION, this);
        if ( answer == wxCANCEL )
            return;
        // A save that failed has said why; the window stays open with the edits in it.
        if ( answer == wxYES && !SaveTemplateEdits() && event.CanVeto() )
        {
            event.Veto();
            return;
        }
    }
    if ( wxMessageBox(_("Quit program?"), _("Feedquill"), wxYES_NO | wxICON_QUESTION, this)
         == wxNO )
        return;
    event.Skip();
}
