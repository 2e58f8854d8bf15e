#include "project/configfile.h"

#include "base/datafolders.h"

#include <wx/config.h>
#include <wx/convauto.h>
#include <wx/file.h>
#include <wx/fileconf.h>
#include <wx/filefn.h>
#include <wx/log.h>

#include <memory>

namespace
{

// Whether the configuration file holds something other than text (binary garbage, a disk
// error), which wxFileConfig would read as Latin-1 and then rewrite, destroying it for good.
bool IsUnreadableConfig(const wxString& path)
{
    wxFile file;
    if ( !wxFile::Exists(path) || !file.Open(path) )
        return false;
    char buffer[64 * 1024];
    ssize_t count;
    while ( (count = file.Read(buffer, sizeof(buffer))) > 0 )
    {
        for ( ssize_t i = 0; i < count; ++i )
        {
            const unsigned char c = static_cast<unsigned char>(buffer[i]);
            if ( c < 0x20 && c != '\t' && c != '\n' && c != '\r' )
                return true;
        }
    }
    return false;
}

} // anonymous namespace

void OpenConfig()
{
    const wxString path = g_dataDir + "Feedquill.cfg";
    if ( IsUnreadableConfig(path) )
    {
        // Kept aside rather than overwritten: it may still mean something to its owner.
        const wxString kept = path + ".unreadable";
        if ( wxRenameFile(path, kept, true) )
            wxLogWarning("\"%s\" is not a settings file Feedquill can read; it was kept as "
                         "\"%s\" and the default settings are used.", path, kept);
    }
    auto* config = new wxFileConfig("Feedquill", "Tarnwick", path,
                                    wxString(),
                                    wxCONFIG_USE_LOCAL_FILE | wxCONFIG_USE_GLOBAL_FILE,
                                    wxConvAuto());
    wxConfigBase::Set(config);
}

void CloseConfig()
{
    wxConfigBase* config = wxConfigBase::Get(false);
    if ( !config )
        return;
    config->Flush();
    std::unique_ptr<wxConfigBase> released(wxConfigBase::Set(nullptr));
}
