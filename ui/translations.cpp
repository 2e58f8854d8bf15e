#include "ui/translations.h"

#include "base/buildinfo.h"
#include "base/datafolders.h"

#include <wx/filename.h>
#include <wx/translation.h>
#include <wx/uilocale.h>

wxArrayString GetLocaleDirs()
{
    wxArrayString dirs;
    dirs.push_back(g_programDir + "locale");
    wxFileName relative = wxFileName::DirName(g_programDir + FEEDQUILL_LOCALE_RELATIVE_DIR);
    relative.Normalize(wxPATH_NORM_DOTS | wxPATH_NORM_ABSOLUTE);
    dirs.push_back(relative.GetPath());
    dirs.push_back(FEEDQUILL_INSTALLED_LOCALE_DIR);
    return dirs;
}

void LoadTranslations(const wxArrayString& dirs)
{
    for ( const wxString& dir : dirs )
    {
        if ( wxFileName::DirExists(dir) )
            wxFileTranslationsLoader::AddCatalogLookupPathPrefix(dir);
    }
    // GTK translates its own buttons and dialogs only under the C library's locale, which wx
    // leaves at "C" until asked; the command line never gets here and stays English.
    wxUILocale::UseDefault();
    auto* translations = new wxTranslations;
    wxTranslations::Set(translations);  // owns it from here on
    translations->SetLanguage(wxLANGUAGE_DEFAULT);
    translations->AddStdCatalog();
    translations->AddCatalog("feedquill");
}
