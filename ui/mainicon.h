#ifndef FEEDQUILL_UI_MAINICON_H
#define FEEDQUILL_UI_MAINICON_H

#include <wx/iconbndl.h>

// The application icon "main" in every size it is drawn in.
wxIconBundle GetMainIcon();

#endif
