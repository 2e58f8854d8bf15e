#ifndef FEEDQUILL_UI_ACCESSIBLENAME_H
#define FEEDQUILL_UI_ACCESSIBLENAME_H

#include <wx/string.h>

class wxWindow;

// The name screen readers say for a control, where it differs from its label (a "..." button).
// wxGTK has no call for it: these reach GTK's accessibility objects directly. Without them
// (another toolkit, or no GTK loaded) setting does nothing and getting gives an empty text.
void SetAccessibleName(wxWindow* window, const wxString& name);
wxString GetAccessibleName(wxWindow* window);

#endif
