#ifndef FEEDQUILL_PROJECT_CONFIGFILE_H
#define FEEDQUILL_PROJECT_CONFIGFILE_H

#include <wx/string.h>

// The settings file: Feedquill.cfg in the data folder.
wxString GetConfigPath();

// Opens Feedquill.cfg in the data folder as the application-wide configuration. A file that is
// not text is first set aside as "Feedquill.cfg.unreadable", so that it is never overwritten.
void OpenConfig();
// Writes the configuration back if it changed and releases it.
void CloseConfig();

#endif
