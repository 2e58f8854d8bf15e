#ifndef FEEDQUILL_BASE_DISPLAYTEXT_H
#define FEEDQUILL_BASE_DISPLAYTEXT_H

#include <wx/string.h>

// Text from outside (a server's reason phrase, a Location, a feed's title or encoding label)
// as it may be shown in a terminal, the journal or a message box: every control character
// (C0 but the line break and tab, DEL, C1, and the marks that reorder text on screen) is
// written visibly, as \xHH or \u{HHHH}, so that no server can move the cursor, clear the
// screen or retitle the terminal. Applying it twice changes nothing more.
wxString ShowControls(const wxString& text);

// The same for one line of text: line breaks and tabs are shown too.
wxString ShowControlsInLine(const wxString& text);

#endif
