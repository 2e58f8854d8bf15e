#ifndef FEEDQUILL_BASE_CONSOLEOUTPUT_H
#define FEEDQUILL_BASE_CONSOLEOUTPUT_H

#include <wx/string.h>

#include <cstdio>

// Syslog priorities, as the systemd journal reads them from the start of a line.
enum ConsolePriority
{
    CONSOLE_ERROR = 3,
    CONSOLE_WARNING = 4,
    CONSOLE_INFO = 6
};

// Writes text and a line feed to out (standard output or standard error), in UTF-8, and
// flushes it. When standard error is the systemd journal and out is that same stream, each
// line begins with its priority ("<3>"), so that "journalctl -p err" finds the failures of a
// timer's run; on a terminal, in a file or under cron nothing is added.
void WriteConsoleText(std::FILE* out, const wxString& text, ConsolePriority priority);

// Whether out is the stream systemd connected to the journal: JOURNAL_STREAM holds its device
// and inode ("DEVICE:INODE"), and standard error must be it.
bool IsJournalStream(std::FILE* out);

#endif
