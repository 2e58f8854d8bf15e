// The main window's template document: the editor, its unsaved edits, saving and reloading.

#include "ui/feedquillframe.h"

#include "project/configkeys.h"
#include "project/project.h"

#include <wx/config.h>
#include <wx/msgdlg.h>
#include <wx/textctrl.h>

void FeedquillFrame::ApplyReadOnly()
{
    m_templateCtrl->SetEditable(!m_readOnly);
    m_templateCtrl->Enable(!m_readOnly);
}

void FeedquillFrame::OnReloadTemplate(wxCommandEvent& WXUNUSED(event))
{
    if ( m_templateCtrl->IsModified()
         && wxMessageBox("Discard the changes in the signature template and load it again "
                         "from its file?", "Feedquill", wxYES_NO | wxICON_QUESTION, this)
                != wxYES )
        return;
    g_project.LoadTemplate();
    m_templateCtrl->DiscardEdits();
    ShowProject();
}

void FeedquillFrame::OnSaveTemplate(wxCommandEvent& WXUNUSED(event))
{
    RunLocked([this] { SaveTemplateEdits(); });
}

bool FeedquillFrame::SaveTemplateEdits()
{
    // The editor stays modified when the file cannot be written, so the edits are not lost.
    if ( !g_project.SaveTemplate([this] { TransferDataFromWindow(); }) )
        return false;
    m_templateCtrl->DiscardEdits();
    return true;
}

void FeedquillFrame::OnReadOnly(wxCommandEvent& WXUNUSED(event))
{
    TransferDataFromWindow();
    ApplyReadOnly();
    wxConfigBase::Get()->Write(OPTION_READ_ONLY, m_readOnly);
}

void FeedquillFrame::OnUpdateUISaveTemplate(wxUpdateUIEvent& event)
{
    event.Enable(m_templateCtrl->IsModified());
}


bool FeedquillFrame::AskAboutEdits()
{
    if ( !m_templateCtrl->IsModified() )
        return true;
    const int answer = wxMessageBox(_("Save changes in signature template?"), _("Feedquill"),
                                    wxYES_NO | wxCANCEL | wxICON_QUESTION, this);
    if ( answer == wxCANCEL )
        return false;
    // A save that failed has said why; the window stays open with the edits in it.
    return answer == wxNO || SaveTemplateEdits();
}
