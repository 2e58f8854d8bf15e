#include "project/configfile.h"

#include "base/datafolders.h"
#include "base/safefile.h"

#include <wx/config.h>
#include <wx/convauto.h>
#include <wx/file.h>
#include <wx/fileconf.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/mstream.h>

#include <memory>
#include <string>

namespace
{

// The whole file; empty when it is missing or cannot be read.
std::string ReadAllBytes(const wxString& path)
{
    wxFile file;
    std::string bytes;
    if ( !wxFile::Exists(path) || !file.Open(path) )
        return bytes;
    char buffer[64 * 1024];
    ssize_t count;
    while ( (count = file.Read(buffer, sizeof(buffer))) > 0 )
        bytes.append(buffer, count);
    return bytes;
}

// Whether the settings are something other than text in an encoding the file format allows
// (UTF-8, Latin-1, or UTF-16 or UTF-32 with a byte-order mark): binary garbage or a disk error,
// which the toolkit would read as Latin-1 and then rewrite, destroying it for good.
bool IsUnreadableConfig(const std::string& bytes)
{
    if ( bytes.empty() )
        return false;
    wxConvAuto conv;
    const wxString text(bytes.data(), conv, bytes.size());
    if ( text.empty() )
        return true;
    for ( wxUniChar c : text )
    {
        if ( c < 0x20 && c != '\t' && c != '\n' && c != '\r' )
            return true;
    }
    return false;
}

// Where an unreadable file is kept: "Feedquill.cfg.unreadable", or with a number when an earlier
// one is kept there already.
wxString GetKeptPath(const wxString& path)
{
    wxString kept = path + ".unreadable";
    for ( int i = 2; wxFileName::Exists(kept, wxFILE_EXISTS_ANY); ++i )
        kept = wxString::Format("%s.unreadable.%d", path, i);
    return kept;
}

// A conversion that has read the settings' bytes, so that it writes them back in the encoding
// it found there (a Latin-1 file stays Latin-1). A base class of SafeFileConfig, so that it
// exists before the toolkit's part reads the file.
class ReadingConversion
{
protected:
    explicit ReadingConversion(const std::string& bytes)
    {
        wxString(bytes.data(), m_readingConv, bytes.size());
    }

    wxConvAuto m_readingConv;
};

const long CONFIG_STYLE = wxCONFIG_USE_LOCAL_FILE | wxCONFIG_USE_GLOBAL_FILE;

// The toolkit's file configuration, except that the file is written the safe way: the
// toolkit's own flush removes the old file before it renames the new one into place, so that a
// kill or a second run at that moment finds no settings at all, and it replaces a symbolic
// link with a file. Changes are tracked here because the toolkit keeps its own record private.
class SafeFileConfig : private ReadingConversion, public wxFileConfig
{
public:
    // bytes: what the file holds now.
    SafeFileConfig(const wxString& path, const std::string& bytes)
        : ReadingConversion(bytes),
          wxFileConfig("Feedquill", "Tarnwick", path, wxString(), CONFIG_STYLE, wxConvAuto()),
          m_path(path)
    {
    }

    // Written here, so that the toolkit's destructor finds nothing left to write its way.
    ~SafeFileConfig() override { Flush(); }

    bool Flush(bool WXUNUSED(currentOnly) = false) override
    {
        if ( !m_changed )
            return true;
        wxMemoryOutputStream stream;
        if ( !Save(stream, m_readingConv) )
            return false;
        std::string bytes(stream.GetLength(), '\0');
        stream.CopyTo(bytes.data(), bytes.size());
        const auto take = [&bytes](std::string& out) { out.swap(bytes); return true; };
        if ( !ReplaceFileBytes(m_path, take) )
            return false;
        m_changed = false;
        return true;
    }

    bool RenameEntry(const wxString& oldName, const wxString& newName) override
    {
        return Changed(wxFileConfig::RenameEntry(oldName, newName));
    }

    bool RenameGroup(const wxString& oldName, const wxString& newName) override
    {
        return Changed(wxFileConfig::RenameGroup(oldName, newName));
    }

    bool DeleteEntry(const wxString& key, bool deleteGroupIfEmpty = true) override
    {
        return Changed(wxFileConfig::DeleteEntry(key, deleteGroupIfEmpty));
    }

    bool DeleteGroup(const wxString& key) override
    {
        return Changed(wxFileConfig::DeleteGroup(key));
    }

    bool DeleteAll() override
    {
        return Changed(wxFileConfig::DeleteAll());
    }

protected:
    bool DoWriteString(const wxString& key, const wxString& value) override
    {
        return Changed(wxFileConfig::DoWriteString(key, value));
    }

    bool DoWriteLong(const wxString& key, long value) override
    {
        return Changed(wxFileConfig::DoWriteLong(key, value));
    }

#if wxUSE_BASE64
    bool DoWriteBinary(const wxString& key, const wxMemoryBuffer& buf) override
    {
        return Changed(wxFileConfig::DoWriteBinary(key, buf));
    }
#endif

private:
    bool Changed(bool result)
    {
        m_changed = true;
        return result;
    }

    wxString m_path;
    bool m_changed = false;
};

} // anonymous namespace

void OpenConfig()
{
    const wxString path = g_dataDir + "Feedquill.cfg";
    std::string bytes = ReadAllBytes(path);
    if ( IsUnreadableConfig(bytes) )
    {
        // Kept aside rather than overwritten: it may still mean something to its owner.
        const wxString kept = GetKeptPath(path);
        if ( wxRenameFile(path, kept, false) )
            wxLogWarning("\"%s\" is not a settings file Feedquill can read; it was kept as "
                         "\"%s\" and the default settings are used.", path, kept);
        bytes.clear();
    }
    wxConfigBase::Set(new SafeFileConfig(path, bytes));
}

void CloseConfig()
{
    wxConfigBase* config = wxConfigBase::Get(false);
    if ( !config )
        return;
    config->Flush();
    std::unique_ptr<wxConfigBase> released(wxConfigBase::Set(nullptr));
}
