#ifndef FEEDQUILL_UI_TRANSLATIONS_H
#define FEEDQUILL_UI_TRANSLATIONS_H

#include <wx/arrstr.h>

// The folders that may hold the window's catalogs (LANG/LC_MESSAGES/feedquill.mo): beside the
// executable (the build tree), below its prefix, and where this build installs them.
wxArrayString GetLocaleDirs();

// Translates the window into the user's language (LANGUAGE, LC_ALL, LC_MESSAGES, LANG): the
// program's own catalog from the first of dirs that has one, and the toolkit's catalog, which
// the system keeps, for its stock texts. Without a catalog the texts stay in English.
void LoadTranslations(const wxArrayString& dirs);

#endif
