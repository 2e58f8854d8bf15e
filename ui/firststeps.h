#ifndef FEEDQUILL_UI_FIRSTSTEPS_H
#define FEEDQUILL_UI_FIRSTSTEPS_H

#include <wx/string.h>

class Project;
class wxFrame;

// What a newcomer does next, until the first signature has been written: enter the blog's
// address, choose the signature file, edit the template and write it. Empty once done.
wxString GetNextStep(const Project& project);

// Says the next step in the frame's status line, and what the empty address field is for.
void ShowNextStep(wxFrame& frame, const Project& project);

#endif
