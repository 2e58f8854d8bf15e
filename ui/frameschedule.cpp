// The main window's item for the hourly update by the systemd user timer.

#include "ui/feedquillframe.h"

#include "base/messenger.h"
#include "ui/hourlyschedule.h"

#include <wx/menu.h>

void FeedquillFrame::ShowSchedule(int state)
{
    m_scheduleState = state;
    GetMenuBar()->Check(ID_SCHEDULE, state == HourlySchedule::ON);
}

void FeedquillFrame::OnMenuOpen(wxMenuEvent& event)
{
    event.Skip();
    // Asked each time the item can be seen, not at start: starting systemctl would delay the
    // window, and the timer may have been switched in a terminal since. Asked on a thread of
    // its own: GTK is in the middle of opening the menu, and waiting there for a program, or
    // running an event loop meanwhile, freezes or breaks it. The mark follows when the
    // answer comes.
    wxMenu* menu = event.GetMenu();
    if ( menu && menu->FindItem(ID_SCHEDULE) )
        QuerySchedule();
}

void FeedquillFrame::QuerySchedule()
{
    if ( m_scheduleQuery.joinable() )
        return;
    m_scheduleQuery = std::thread([this]
    {
        const int state = HourlySchedule::Query();
        CallAfter([this, state]
        {
            // A switch made meanwhile waited for this thread and knows better.
            if ( !m_scheduleQuery.joinable() )
                return;
            m_scheduleQuery.join();
            ShowSchedule(state);
        });
    });
}

void FeedquillFrame::OnSchedule(wxCommandEvent& event)
{
    const bool on = event.IsChecked();
    if ( m_scheduleQuery.joinable() )
        m_scheduleQuery.join();
    const int state = m_scheduleState == HourlySchedule::UNAVAILABLE
                          ? int(HourlySchedule::UNAVAILABLE)
                          : int(HourlySchedule::Query());
    wxString output;
    if ( state == HourlySchedule::UNAVAILABLE )
    {
        ShowSchedule(state);
        Messenger::Get()->ShowMessage(
            _("The systemd user manager is not available here, so the signature cannot be "
              "updated every hour from this window.\n\nTo let cron do it, add this line "
              "with \"crontab -e\":\n\n") + HourlySchedule::GetCrontabLine(),
            "Feedquill", wxOK | wxICON_INFORMATION);
    }
    else if ( !HourlySchedule::Set(on, output) )
    {
        ShowSchedule(HourlySchedule::Query());
        Messenger::Get()->ShowMessage(
            (on ? _("The hourly update could not be turned on.")
                : _("The hourly update could not be turned off.")) + "\n\n" + output,
            "Feedquill", wxOK | wxICON_ERROR);
    }
    else
    {
        ShowSchedule(on ? HourlySchedule::ON : HourlySchedule::OFF);
        SetStatusText(on ? _("The signature is now updated every hour.")
                         : _("The signature is no longer updated every hour."));
    }
}
