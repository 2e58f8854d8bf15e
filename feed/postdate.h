#ifndef FEEDQUILL_FEED_POSTDATE_H
#define FEEDQUILL_FEED_POSTDATE_H

#include <wx/string.h>

// Reads the date of a post, as RSS writes it ("Tue, 10 Jun 2003 04:00:00 GMT", RFC 822 with
// its zone names) or as Atom does ("2003-06-10T04:00:00-07:00", RFC 3339), into seconds since
// 1970 in UTC. A date without a zone is taken as UTC. False for anything else.
bool ParsePostDate(const wxString& text, long long& seconds);
// Seconds since 1970 as "YYYY-MM-DDTHH:MM:SSZ" (UTC), a form ParsePostDate reads back.
wxString FormatPostDate(long long seconds);

#endif
