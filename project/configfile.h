#ifndef FEEDQUILL_PROJECT_CONFIGFILE_H
#define FEEDQUILL_PROJECT_CONFIGFILE_H

#include <wx/string.h>

// The settings file: Feedquill.cfg in the data folder.
wxString GetConfigPath();

// Opens Feedquill.cfg in the data folder as the application-wide configuration. A file that is
// not text is first set aside as "Feedquill.cfg.unreadable", so that it is never overwritten.
void OpenConfig();
// Writes the configuration back if it changed and releases it; false when it changed and could
// not be written (which was said).
bool CloseConfig();

// Whether the settings have the project's group; the default project needs none.
bool ProjectExists(const wxString& name);
// Why a project that does not exist cannot be used: its name and the projects there are.
wxString DescribeMissingProject(const wxString& name);

#endif
