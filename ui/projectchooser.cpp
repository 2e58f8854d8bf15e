#include "ui/projectchooser.h"

#include "project/configkeys.h"
#include "project/project.h"
#include "ui/accessiblename.h"
#include "ui/feedquillframe.h"

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/config.h>
#include <wx/log.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/textdlg.h>

ProjectChooser::ProjectChooser(wxWindow* parent, FeedquillFrame* frame)
    : wxPanel(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL | wxNO_BORDER),
      m_frame(frame)
{
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(new wxStaticText(this, wxID_STATIC, _("&Project:")),
             0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
    m_choice = new wxChoice(this, ID_PROJECT);
    m_choice->SetMinSize(wxSize(24 * GetCharWidth(), -1));
    SetAccessibleName(m_choice, _("The project the window edits"));
    row->Add(m_choice, 0, wxEXPAND | wxTOP | wxBOTTOM | wxRIGHT, 5);
    row->Add(new wxButton(this, ID_NEW_PROJECT, _("N&ew Project...")),
             0, wxEXPAND | wxTOP | wxBOTTOM | wxRIGHT, 5);
    SetSizer(row);

    Bind(wxEVT_CHOICE, &ProjectChooser::OnChoice, this, ID_PROJECT);
    Bind(wxEVT_BUTTON, &ProjectChooser::OnNewProject, this, ID_NEW_PROJECT);
    // A fetch ends in g_project: the project stays until it is over.
    Bind(wxEVT_UPDATE_UI, [this](wxUpdateUIEvent& event) { event.Enable(!m_frame->IsFetching()); },
         ID_PROJECT, ID_NEW_PROJECT);
    ShowProjects();
}

void ProjectChooser::ShowProjects()
{
    wxArrayString names = ListProjects();
    // The default project has no group until something is stored for it.
    if ( names.Index(g_project.m_name) == wxNOT_FOUND )
        names.Insert(g_project.m_name, 0);
    m_choice->Set(names);
    m_choice->SetStringSelection(g_project.m_name);
}

bool ProjectChooser::SwitchTo(const wxString& name)
{
    if ( name == g_project.m_name )
        return true;
    if ( m_frame->IsFetching() || !MayLeaveProject(name) )
    {
        ShowProjects();
        return false;
    }
    Open(name);
    return true;
}

void ProjectChooser::Open(const wxString& name)
{
    // A template file that cannot be read shows as nothing, not as the last project's text.
    g_project.m_template.clear();
    g_project.Load(name);
    wxConfigBase::Get()->Write(OPTION_PROJECT, name);
    wxConfigBase::Get()->Flush(false);
    // What the last command said was about the other project.
    m_frame->SetStatusText(wxString());
    // The editor now holds the other project's template, saved or left as the user chose.
    m_frame->GetTemplateCtrl()->DiscardEdits();
    m_frame->ShowProject();
    ShowProjects();
}

bool ProjectChooser::MayLeaveProject(const wxString& next)
{
    if ( !m_frame->GetTemplateCtrl()->IsModified() )
        return true;
    wxMessageDialog question(m_frame, _("Save changes in signature template?"), _("Feedquill"),
                             wxYES_NO | wxCANCEL | wxICON_QUESTION);
    question.SetExtendedMessage(wxString::Format(
        _("The template of the project \"%s\" has changes that are not saved. Switching to "
          "\"%s\" without saving them drops them."), g_project.m_name, next));
    question.SetYesNoCancelLabels(_("&Save"), _("&Discard"), _("&Cancel"));
    switch ( question.ShowModal() )
    {
        case wxID_YES:
            // A save that failed has said why and kept the edits: the project stays.
            return m_frame->SaveTemplateEdits();
        case wxID_NO:
            return true;
        default:
            return false;
    }
}

void ProjectChooser::OnChoice(wxCommandEvent& WXUNUSED(event))
{
    SwitchTo(m_choice->GetStringSelection());
}

void ProjectChooser::OnNewProject(wxCommandEvent& WXUNUSED(event))
{
    if ( m_frame->IsFetching() )
        return;
    wxTextEntryDialog dialog(m_frame, _("Name of the new project (its template file is named "
                                        "after it):"), _("New Project"));
    if ( dialog.ShowModal() != wxID_OK )
        return;
    const wxString name = dialog.GetValue();
    // Refused before the edits are asked about, so that nothing is made or dropped for it.
    wxString reason;
    if ( !CanCreateProject(name, reason) )
    {
        wxLogError("The project \"%s\" cannot be made: %s.", name, reason);
        return;
    }
    if ( MayLeaveProject(name) && CreateProject(name) )
        Open(name);
}
