#ifndef FEEDQUILL_BASE_DATAFOLDERS_H
#define FEEDQUILL_BASE_DATAFOLDERS_H

#include <wx/string.h>

// The folder of the running executable and the data folder; both end in a path separator.
extern wxString g_programDir;
extern wxString g_dataDir;

// Sets g_programDir from the executable's path, and g_dataDir to the same folder for a portable
// copy (local) or else to the user's data folder, "~/.feedquill". Creates neither.
void ChooseFolders(bool local);

// Where "about.html" and "logo.bmp" are: "art" beside the executable, else the installed one.
wxString GetArtDir();

#endif
