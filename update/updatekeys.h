#ifndef FEEDQUILL_UPDATE_UPDATEKEYS_H
#define FEEDQUILL_UPDATE_UPDATEKEYS_H

// The update check's state in the configuration, and the test whether a check is due.

// True when the automatic check is on and its period has passed. The first call ever only
// stamps the day and returns false.
bool IsUpdateCheckDue(bool enabledByDefault, long defaultPeriodDays);
// Stamps today as the day of the last completed check.
void RecordUpdateCheck();

bool ReadCheckForUpdates(bool defaultValue);
void WriteCheckForUpdates(bool enabled);
long ReadUpdatePeriodicity(long defaultDays);
long ReadErrorCount();
void WriteErrorCount(long count);
long ReadUpdateNumber();
void WriteUpdateNumber(long number);

#endif
