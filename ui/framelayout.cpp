// The main window's layout: its menus, controls, sizes and keys.

#include "ui/feedquillframe.h"

#include "base/buildinfo.h"
#include "project/project.h"
#include "ui/accessiblename.h"
#include "ui/projectchooser.h"
#include "ui/signaturepreview.h"

#include <wx/accel.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/menu.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/valgen.h>
#include <wx/valtext.h>

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
        wxAcceleratorEntry(wxACCEL_CTRL, 'S', ID_SAVE_TEMPLATE),
    };
    SetAcceleratorTable(wxAcceleratorTable(WXSIZEOF(keys), keys));
    // Escape stops a fetch. It is no accelerator: one would take the key from an open menu
    // or dialog even when nothing is fetching.
    Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& event)
    {
        if ( event.GetKeyCode() == WXK_ESCAPE && !event.HasAnyModifiers() && IsBusy() )
        {
            wxCommandEvent cancel(wxEVT_MENU, ID_CANCEL_FETCH);
            ProcessWindowEvent(cancel);
            return;
        }
        event.Skip();
    });
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
    m_cancelButton = new wxButton(panel, ID_CANCEL_FETCH, _("Ca&ncel"));
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

