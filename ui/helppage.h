#ifndef FEEDQUILL_UI_HELPPAGE_H
#define FEEDQUILL_UI_HELPPAGE_H

#include <wx/string.h>

// The help page installed with the program: first use, the template's macros, scheduling,
// where files live, troubleshooting. A local file, so that it works offline.
wxString GetHelpPagePath();

// Opens the help page in the browser; false, with the reason logged, when it cannot.
bool OpenHelpPage();

#endif
