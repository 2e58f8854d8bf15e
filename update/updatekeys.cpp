#include "update/updatekeys.h"

#include <wx/config.h>
#include <wx/datetime.h>

namespace
{

// Keys of the group "/updates" in Feedquill.cfg, each beside its default.
constexpr const char* UPDATES_CHECK = "/updates/CCheckForUpdates";
constexpr const char* UPDATES_LAST = "/updates/LastUpdate";
constexpr long UPDATES_LAST_NEVER = 0;
constexpr const char* UPDATES_PERIOD = "/updates/UpdatePeriodicity";
constexpr const char* UPDATES_ERRORS = "/updates/ErrorCount";
constexpr long UPDATES_ERRORS_DEFAULT = 0;
constexpr const char* UPDATES_NUMBER = "/updates/UpdateNumber";
constexpr long UPDATES_NUMBER_DEFAULT = 0;

long ReadLong(const char* key, long defaultValue)
{
    long value = defaultValue;
    wxConfigBase::Get()->Read(key, &value, defaultValue);
    return value;
}

} // anonymous namespace

bool IsUpdateCheckDue(bool enabledByDefault, long defaultPeriodDays)
{
    if ( !ReadCheckForUpdates(enabledByDefault) )
        return false;
    const wxDateTime today = wxDateTime::Today();
    const long last = ReadLong(UPDATES_LAST, UPDATES_LAST_NEVER);
    if ( last == UPDATES_LAST_NEVER )
    {
        RecordUpdateCheck();
        return false;
    }
    // Both ends are local midnights, so a period across a change to summer time is an hour
    // short of whole days and ends a day later.
    const wxTimeSpan elapsed = today - wxDateTime(static_cast<time_t>(last));
    const wxTimeSpan period = wxTimeSpan::Days(ReadUpdatePeriodicity(defaultPeriodDays));
    // A date after today was stamped while the clock was wrong: waiting for it would stop the
    // check for as long as the clock was fast, perhaps years.
    if ( elapsed.IsNegative() )
        return true;
    return elapsed.GetMilliseconds() >= period.GetMilliseconds();
}

void RecordUpdateCheck()
{
    wxConfigBase::Get()->Write(UPDATES_LAST, static_cast<long>(wxDateTime::Today().GetTicks()));
    WriteUpdateNumber(ReadUpdateNumber() + 1);
    WriteErrorCount(0);
}

bool ReadCheckForUpdates(bool defaultValue)
{
    bool value = defaultValue;
    wxConfigBase::Get()->Read(UPDATES_CHECK, &value, defaultValue);
    return value;
}

void WriteCheckForUpdates(bool enabled)
{
    wxConfigBase::Get()->Write(UPDATES_CHECK, enabled);
}

long ReadUpdatePeriodicity(long defaultDays)
{
    return ReadLong(UPDATES_PERIOD, defaultDays);
}

long ReadErrorCount()
{
    return ReadLong(UPDATES_ERRORS, UPDATES_ERRORS_DEFAULT);
}

void WriteErrorCount(long count)
{
    wxConfigBase::Get()->Write(UPDATES_ERRORS, count);
}

long ReadUpdateNumber()
{
    return ReadLong(UPDATES_NUMBER, UPDATES_NUMBER_DEFAULT);
}

void WriteUpdateNumber(long number)
{
    wxConfigBase::Get()->Write(UPDATES_NUMBER, number);
}
