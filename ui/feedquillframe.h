#ifndef FEEDQUILL_UI_FEEDQUILLFRAME_H
#define FEEDQUILL_UI_FEEDQUILLFRAME_H

#include "ui/fetchtask.h"
#include "ui/lockwait.h"

#include <wx/frame.h>

#include <functional>
#include <memory>
#include <thread>

class FeedJob;
class wxButton;
class wxSizer;
class wxTextCtrl;

// Window and command identifiers; a menu item and the button of the same command share one.
enum
{
    ID_MAIN_FRAME = 10000,
    ID_PANEL,
    ID_FEED_URL,
    ID_LAST_TITLE,
    ID_GET_DATA,
    ID_ENTER_URL,
    ID_LAST_LINK,
    ID_TEMPLATE,
    ID_FILE_PATH,
    ID_SELECT_FILE,
    ID_UPDATE_SIGNATURE,
    ID_READ_ONLY,
    ID_RELOAD_TEMPLATE,
    ID_SAVE_TEMPLATE,
    ID_OPEN_SIGNATURE,
    ID_AUTO_CHECK,
    ID_CHECK_UPDATES,
    ID_CANCEL_FETCH,
    ID_SCHEDULE
};

// The main window: the current project's feed, last post, signature file and template. Its
// controls are bound to g_project by validators, so it keeps no copy of the project's data.
class FeedquillFrame : public wxFrame
{
public:
    FeedquillFrame(wxWindow* parent, wxWindowID id, const wxString& caption,
                   const wxPoint& pos, const wxSize& size, long style);
    ~FeedquillFrame() override;

    bool Create(wxWindow* parent, wxWindowID id, const wxString& caption, const wxPoint& pos,
                const wxSize& size, long style);
    void CreateControls();
    void LoadOptions();

    wxTextCtrl* GetTemplateCtrl() const { return m_templateCtrl; }
    bool IsReadOnly() const { return m_readOnly; }
    // Whether Get Data or Check for Updates is reading from the network.
    bool IsFetching() const { return m_fetch.IsRunning(); }
    // The name the file dialog proposes for the signature file named name.
    static wxString ProposeFileName(const wxString& name);
    // Whether a write waits for another run to release the run lock.
    bool IsWaitingForLock() const { return m_lockWait.IsWaiting(); }
    bool IsBusy() const { return IsFetching() || IsWaitingForLock(); }
    // Whether systemd is being asked for the hourly timer's state.
    bool IsAskingSchedule() const { return m_scheduleQuery.joinable(); }
    // Shows g_project in the controls; the template editor then holds no unsaved typing.
    void ShowProject();
    // Saves the editor's text as the template; false, with the edits kept, when it failed.
    bool SaveTemplateEdits();

private:
    void CreateMenuBar();
    wxSizer* CreateFeedGroup(wxWindow* panel);
    wxSizer* CreateFileGroup(wxWindow* panel);
    wxSizer* CreateTemplateGroup(wxWindow* panel);
    // A read-only field bound to *value, the "..." button that changes it (choose: what it
    // does, for its tool tip and screen readers), and the button of the command that uses it.
    wxSizer* CreateChoiceRow(wxWindow* panel, int fieldId, wxString* value, int chooseId,
                             const wxString& choose, int actionId, const wxString& action);
    void SetSizeLimits();
    void SetUpKeys();
    void ApplyReadOnly();

    void OnCloseWindow(wxCloseEvent& event);
    void OnSaveTemplate(wxCommandEvent& event);
    // Asks whether to save unsaved template edits and does so; false when the user cancelled
    // or the save failed, so that whatever was to follow does not happen.
    bool AskAboutEdits();
    void OnReloadTemplate(wxCommandEvent& event);
    void OnExit(wxCommandEvent& event);
    void OnGetData(wxCommandEvent& event);
    void OnUpdateSignature(wxCommandEvent& event);
    void OnOpenSignature(wxCommandEvent& event);
    void OnHelp(wxCommandEvent& event);
    void OnWebSite(wxCommandEvent& event);
    void OnCheckUpdates(wxCommandEvent& event);
    void OnAutoCheck(wxCommandEvent& event);
    void OnAbout(wxCommandEvent& event);
    void OnEnterUrl(wxCommandEvent& event);
    void OnUpdateUIGetData(wxUpdateUIEvent& event);
    void OnSelectFile(wxCommandEvent& event);
    void OnUpdateUIUpdateSignature(wxUpdateUIEvent& event);
    void OnReadOnly(wxCommandEvent& event);
    void OnUpdateUISaveTemplate(wxUpdateUIEvent& event);
    // The hourly update by the systemd user timer; state is a HourlySchedule::State.
    void OnMenuOpen(wxMenuEvent& event);
    void OnSchedule(wxCommandEvent& event);
    void ShowSchedule(int state);
    // Asks systemd for the timer's state on a thread, and shows the answer when it comes.
    void QuerySchedule();

    // Fetching on a worker thread (ui/framefetch.cpp): the feed for Get Data, the update
    // information for Check for Updates. The steps after the fetch run back on this thread.
    void StartFetch(std::unique_ptr<FetchJob> job, const wxString& url, const wxString& reading,
                    std::function<void(FetchJob&)> finish);
    void BeginFetch();
    void EndFetch();
    // Stops a running fetch at once, dropping what it read.
    void StopFetch();
    void ShowFetchProgress(std::size_t bytes);
    void FinishGetData(FeedJob& job);
    void OnCancelFetch(wxCommandEvent& event);
    void OnUpdateUIFetch(wxUpdateUIEvent& event);
    // Runs a write of the settings, template or signature under the run lock, waiting for it
    // without blocking the window (ui/lockwait.cpp), with Cancel shown meanwhile.
    void RunLocked(std::function<void()> write);
    void ShowCancel(bool show);
    void OnLockWaitIdle(wxIdleEvent& event);
    // The status line after a signature was written or not.
    void ShowSignatureResult(int result);

    wxTextCtrl* m_templateCtrl;
    bool m_readOnly;
    FetchTask m_fetch;
    LockWait m_lockWait;
    wxButton* m_cancelButton = nullptr;
    wxSize m_minClientSize;  // every control whole, three lines of the template
    wxString m_fetchHost;
    wxString m_fetchReading;  // "Reading the feed: %s KB" or the like
    std::thread m_scheduleQuery;
    int m_scheduleState = -1;  // a HourlySchedule::State once known

    wxDECLARE_CLASS(FeedquillFrame);
    wxDECLARE_EVENT_TABLE();
};

#endif
