#include "ui/hourlyschedule.h"

#include "base/launcher.h"

#include <wx/stdpaths.h>
#include <wx/utils.h>

namespace
{

const char* const TIMER = "feedquill.timer";

int RunSystemctl(const wxString& arguments, wxString& output)
{
    return Launcher::Get()->Run("systemctl --user " + arguments, output);
}

} // anonymous namespace

HourlySchedule::State HourlySchedule::Query()
{
    wxString output;
    // Answers only when a user manager runs for this session.
    if ( RunSystemctl("show-environment", output) != 0 )
        return UNAVAILABLE;
    RunSystemctl(wxString("is-enabled ") + TIMER, output);
    return output.Trim().Trim(false) == "enabled" ? ON : OFF;
}

bool HourlySchedule::Set(bool on, wxString& output)
{
    const wxString command = on ? "enable --now " : "disable --now ";
    return RunSystemctl(command + TIMER, output) == 0;
}

wxString HourlySchedule::GetCrontabLine()
{
    // Cron gives no locale, and the signature is written in the locale's encoding.
    wxString lang;
    if ( !wxGetEnv("LANG", &lang) || lang.empty() )
        lang = "C.UTF-8";
    return "17 * * * * LANG=" + lang + " " + wxStandardPaths::Get().GetExecutablePath()
           + " -q --all";
}
