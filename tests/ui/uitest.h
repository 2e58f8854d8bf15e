#ifndef FEEDQUILL_TESTS_UITEST_H
#define FEEDQUILL_TESTS_UITEST_H

#include "dialogtesting.h"
#include "testenv.h"

#include "base/datafolders.h"
#include "ui/addressdialog.h"
#include "ui/feedquillframe.h"

#include <wx/app.h>
#include <wx/utils.h>
#include <wx/window.h>

#include <chrono>
#include <memory>

// What the address dialog showed after its check.
struct AddressOutcome
{
    wxString field;
    wxString outcome;
    bool finished = false;
};

// Types an address into the address dialog and closes it with the given button. With an
// outcome to fill, it first presses OK and waits for the check, as a person reads its result
// before pressing OK again.
class ExpectAddress : public wxExpectModalBase<AddressDialog, ExpectAddress>
{
public:
    explicit ExpectAddress(const wxString& value, int id = wxID_OK,
                           std::shared_ptr<AddressOutcome> outcome = nullptr)
        : m_value(value), m_id(id), m_outcome(std::move(outcome))
    {
    }

protected:
    int OnInvoked(AddressDialog* dialog) const override
    {
        dialog->GetField()->SetValue(m_value);
        if ( !m_outcome )
            return m_id;
        wxCommandEvent ok(wxEVT_BUTTON, wxID_OK);
        dialog->GetEventHandler()->ProcessEvent(ok);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while ( dialog->IsChecking() && std::chrono::steady_clock::now() < end )
        {
            wxTheApp->ProcessPendingEvents();
            wxMilliSleep(5);
        }
        m_outcome->finished = !dialog->IsChecking();
        m_outcome->field = dialog->GetField()->GetValue();
        m_outcome->outcome = dialog->GetOutcome();
        return m_id;
    }

    wxString m_value;
    int m_id;
    std::shared_ptr<AddressOutcome> m_outcome;
};

// A main window on a clean project, as start-up would show it, with launches recorded.
class FrameTest : public ProjectTest
{
protected:
    FrameTest()
    {
        g_programDir = FEEDQUILL_SOURCE_DIR "/";
    }

    ~FrameTest() override
    {
        if ( m_frame )
            m_frame->Destroy();
        wxTheApp->ProcessIdle();  // deletes the destroyed windows
    }

    FeedquillFrame* MakeFrame()
    {
        LoadProject();
        m_frame = new FeedquillFrame(nullptr, ID_MAIN_FRAME, "Spread your blog around the world",
                                     wxDefaultPosition, wxSize(650, 450),
                                     wxDEFAULT_FRAME_STYLE);
        m_frame->Show(true);
        m_frame->Centre(wxBOTH);
        return m_frame;
    }

    // Whether the window has been told to go away: frames are deleted when the program is next
    // idle.
    bool IsClosing() const
    {
        return wxPendingDelete.Member(m_frame);
    }

    template <class T>
    T* Find(int id) const
    {
        return dynamic_cast<T*>(m_frame->FindWindow(id));
    }

    // Runs the window's side of a fetch until it has ended, at most limit; false if it had not.
    bool WaitForFetch(std::chrono::milliseconds limit = std::chrono::seconds(10))
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        while ( m_frame->IsFetching() && std::chrono::steady_clock::now() < end )
        {
            wxTheApp->ProcessPendingEvents();
            wxMilliSleep(5);
        }
        return !m_frame->IsFetching();
    }

    // Sends a command as its menu item or button would.
    void Command(wxEventType type, int id, int checked = -1)
    {
        wxCommandEvent event(type, id);
        if ( checked >= 0 )
            event.SetInt(checked);
        event.SetEventObject(m_frame);
        m_frame->GetEventHandler()->ProcessEvent(event);
    }

    FeedquillFrame* m_frame = nullptr;
    RecordingLauncher m_launcher;
    RecordingMessenger m_messenger;
};

#endif
