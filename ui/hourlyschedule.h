#ifndef FEEDQUILL_UI_HOURLYSCHEDULE_H
#define FEEDQUILL_UI_HOURLYSCHEDULE_H

#include <wx/string.h>

// The hourly update by the systemd user timer that comes with the program (feedquill.timer),
// turned on and off with systemctl through the launcher, which tests replace.
class HourlySchedule
{
public:
    enum State
    {
        OFF,
        ON,
        UNAVAILABLE  // no systemd user manager to talk to (or no systemctl)
    };

    static State Query();
    // Enables and starts the timer, or stops and disables it. False when systemctl failed;
    // output then holds what it said.
    static bool Set(bool on, wxString& output);
    // The line for crontab -e that does the same where systemd is not available.
    static wxString GetCrontabLine();
};

#endif
