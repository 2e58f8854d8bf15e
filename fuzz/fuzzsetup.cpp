#include "fuzzsetup.h"

#include "base/datafolders.h"

#include <wx/config.h>
#include <wx/filename.h>
#include <wx/init.h>
#include <wx/log.h>
#include <wx/memconf.h>

#include <cstdlib>
#include <memory>

void SetUpFuzzing()
{
    static std::unique_ptr<wxInitializer> s_initializer;
    if ( s_initializer )
        return;
    s_initializer.reset(new wxInitializer);
    // The toolkit's complaints about bad input are expected here, by the million.
    wxLog::EnableLogging(false);
    wxConfigBase::Set(new wxMemoryConfig);

    char folder[] = "/tmp/feedquill-fuzz-XXXXXX";
    if ( !mkdtemp(folder) )
        std::abort();
    g_dataDir = wxString(folder) + "/";
    // The folder goes when the run ends; g_dataDir still names it then.
    std::atexit([] { wxFileName::Rmdir(g_dataDir, wxPATH_RMDIR_RECURSIVE); });
    g_programDir = g_dataDir;
    wxFileName::Mkdir(g_dataDir + "SignatureTemplates", wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
}
