// The main window's item for the hourly update by the systemd user timer.

#include "ui/feedquillframe.h"

#include "base/messenger.h"
#include "ui/hourlyschedule.h"

#include <wx/menu.h>

void FeedquillFrame::ShowSchedule(int state)
{
    GetMenuBar()->Check(ID_SCHEDULE, state == HourlySchedule::ON);
}

void FeedquillFrame::OnMenuOpen(wxMenuEvent& event)
{
    // Asked each time the item can be seen, not at start: starting systemctl would delay the
    // window, and the timer may have been switched in a terminal since.
    wxMenu* menu = event.GetMenu();
    if ( menu && menu->FindItem(ID_SCHEDULE) )
        ShowSchedule(HourlySchedule::Query());
    event.Skip();
}

void FeedquillFrame::OnSchedule(wxCommandEvent& event)
{
    const bool on = event.IsChecked();
    const int state = HourlySchedule::Query();
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
