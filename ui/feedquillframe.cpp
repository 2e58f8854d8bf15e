// The main window: building it, its event table, and closing it.

#include "ui/feedquillframe.h"

#include "base/buildinfo.h"
#include "project/configkeys.h"
#include "project/project.h"
#include "ui/firststeps.h"
#include "ui/mainicon.h"
#include "update/updatekeys.h"

#include <wx/config.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/textctrl.h>

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
    EVT_UPDATE_UI(ID_OPEN_SIGNATURE, FeedquillFrame::OnUpdateUIUpdateSignature)
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
    EVT_IDLE(FeedquillFrame::OnLockWaitIdle)
wxEND_EVENT_TABLE()

FeedquillFrame::FeedquillFrame(wxWindow* parent, wxWindowID id, const wxString& caption,
                               const wxPoint& pos, const wxSize& size, long style)
    : m_templateCtrl(nullptr),
      m_readOnly(false),
      m_fetch(this),
      m_lockWait(this)
{
    Create(parent, id, caption, pos, size, style);
}

FeedquillFrame::~FeedquillFrame()
{
    if ( m_scheduleQuery.joinable() )
        m_scheduleQuery.join();
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
    // The template's edited state is the user's: only saving or reloading the template ends
    // it, or the next hourly run would write the old template again unasked.
    const bool edited = m_templateCtrl->IsModified();
    TransferDataToWindow();
    // GTK leaves a control's modified state alone when the value set is the one it holds.
    if ( edited )
        m_templateCtrl->MarkDirty();
    else
        m_templateCtrl->DiscardEdits();
    ShowNextStep(*this, g_project);
}

void FeedquillFrame::LoadOptions()
{
    wxConfigBase::Get()->Read(OPTION_READ_ONLY, &m_readOnly, OPTION_READ_ONLY_DEFAULT);
    ApplyReadOnly();
#if FEEDQUILL_UPDATE_CHECK
    GetMenuBar()->Check(ID_AUTO_CHECK, ReadCheckForUpdates(true));
#endif
}

void FeedquillFrame::OnCloseWindow(wxCloseEvent& event)
{
    // Nothing is stopped before the user has said to close: a fetch goes on after a No.
    if ( !AskAboutEdits() || wxMessageBox(_("Quit program?"), _("Feedquill"),
                                          wxYES_NO | wxICON_QUESTION, this) == wxNO )
    {
        if ( event.CanVeto() )
            event.Veto();
        return;
    }
    StopFetch();
    event.Skip();
}
