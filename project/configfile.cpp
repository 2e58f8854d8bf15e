#include "project/configfile.h"

#include "base/datafolders.h"
#include "base/runlock.h"
#include "base/safefile.h"

#include <wx/config.h>
#include <wx/convauto.h>
#include <wx/file.h>
#include <wx/fileconf.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/mstream.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace
{

const long CONFIG_STYLE = wxCONFIG_USE_LOCAL_FILE | wxCONFIG_USE_GLOBAL_FILE;

// The whole file; false when it is there but cannot be read (a missing file reads as empty),
// with the system's reason in error.
bool ReadAllBytes(const wxString& path, std::string& bytes, wxString& error)
{
    int code = 0;
    if ( ReadFileBytes(path, bytes, code) || code == ENOENT )
        return true;
    error = wxString::Format("Cannot read \"%s\": %s", path, wxSysErrorMsgStr(code));
    return false;
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

// The toolkit's file configuration, written the safe way. The toolkit's own flush removes the
// old file before it renames the new one into place, so that a kill or a second run at that
// moment finds no settings at all, and it writes back everything it read at start, over what
// other runs wrote since. Here each change is recorded, and a flush replays them, under the run
// lock, onto the file as it is then, and replaces the file with the result.
class SafeFileConfig : public wxFileConfig
{
public:
    // A file that could not be read is never written: the defaults would replace it.
    SafeFileConfig(const wxString& path, bool writable)
        : wxFileConfig("Feedquill", "Tarnwick", path, wxString(), CONFIG_STYLE, wxConvAuto()),
          m_path(path),
          m_writable(writable)
    {
        DisableAutoSave();
    }

    ~SafeFileConfig() override { Flush(); }

    bool Flush(bool WXUNUSED(currentOnly) = false) override;

    bool RenameEntry(const wxString& oldName, const wxString& newName) override
    {
        const wxString group = GetPath();
        return Record(wxFileConfig::RenameEntry(oldName, newName),
                      [=](wxConfigBase& config)
                      {
                          config.SetPath(group);
                          config.RenameEntry(oldName, newName);
                          config.SetPath("/");
                      });
    }

    bool RenameGroup(const wxString& oldName, const wxString& newName) override
    {
        const wxString group = GetPath();
        return Record(wxFileConfig::RenameGroup(oldName, newName),
                      [=](wxConfigBase& config)
                      {
                          config.SetPath(group);
                          config.RenameGroup(oldName, newName);
                          config.SetPath("/");
                      });
    }

    bool DeleteEntry(const wxString& key, bool deleteGroupIfEmpty = true) override
    {
        const wxString absolute = Absolute(key);
        return Record(wxFileConfig::DeleteEntry(key, deleteGroupIfEmpty),
                      [=](wxConfigBase& config)
                      { config.DeleteEntry(absolute, deleteGroupIfEmpty); });
    }

    bool DeleteGroup(const wxString& key) override
    {
        const wxString absolute = Absolute(key);
        return Record(wxFileConfig::DeleteGroup(key),
                      [=](wxConfigBase& config) { config.DeleteGroup(absolute); });
    }

    bool DeleteAll() override
    {
        return Record(wxFileConfig::DeleteAll(),
                      [](wxConfigBase& config) { config.DeleteAll(); });
    }

protected:
    bool DoWriteString(const wxString& key, const wxString& value) override
    {
        const wxString absolute = Absolute(key);
        return Record(wxFileConfig::DoWriteString(key, value),
                      [=](wxConfigBase& config) { config.Write(absolute, value); });
    }

    bool DoWriteLong(const wxString& key, long value) override
    {
        const wxString absolute = Absolute(key);
        return Record(wxFileConfig::DoWriteLong(key, value),
                      [=](wxConfigBase& config) { config.Write(absolute, value); });
    }

#if wxUSE_BASE64
    bool DoWriteBinary(const wxString& key, const wxMemoryBuffer& buffer) override
    {
        const wxString absolute = Absolute(key);
        return Record(wxFileConfig::DoWriteBinary(key, buffer),
                      [=](wxConfigBase& config) { config.Write(absolute, buffer); });
    }
#endif

private:
    using Change = std::function<void(wxConfigBase& config)>;

    // Applies the changes to the file as it is on the disk now; false with the reason.
    bool WriteChanges(wxString& error);

    wxString Absolute(const wxString& key) const
    {
        return key.StartsWith("/") ? key : GetPath() + "/" + key;
    }

    bool Record(bool result, const Change& change)
    {
        if ( result )
            m_changes.push_back(change);
        return result;
    }

    wxString m_path;
    bool m_writable;
    std::vector<Change> m_changes;  // since the last flush, in order
};

bool SafeFileConfig::Flush(bool)
{
    if ( m_changes.empty() )
        return true;
    if ( !m_writable )
        return false;  // said when the file was opened
    const RunLock lock;
    if ( !lock.IsHeld() )
    {
        // The lock has said who holds it.
        wxLogError("The settings could not be written to \"%s\" now.", m_path);
        return false;
    }
    wxString error;
    if ( !WriteChanges(error) )
    {
        wxLogError("The settings could not be written to \"%s\" now.\n%s.", m_path, error);
        return false;
    }
    m_changes.clear();
    return true;
}

bool SafeFileConfig::WriteChanges(wxString& error)
{
    std::string bytes;
    if ( !ReadAllBytes(m_path, bytes, error) )
        return false;
    // A conversion that has read the file writes it back in the encoding it found there, so
    // that a Latin-1 file stays Latin-1.
    wxConvAuto conv;
    wxString(bytes.data(), conv, bytes.size());
    // What the toolkit finds odd in the file it said when the file was opened.
    std::unique_ptr<wxLogNull> quiet = std::make_unique<wxLogNull>();
    wxFileConfig latest("Feedquill", "Tarnwick", m_path, wxString(), CONFIG_STYLE, wxConvAuto());
    quiet.reset();
    latest.DisableAutoSave();
    for ( const Change& change : m_changes )
        change(latest);
    wxMemoryOutputStream stream;
    if ( !latest.Save(stream, conv) )
    {
        error = "The settings cannot be written in the file's encoding";
        return false;
    }
    std::string text(stream.GetLength(), '\0');
    stream.CopyTo(text.data(), text.size());
    return ReplaceFileBytes(m_path,
                            [&text](std::string& out, wxString&)
                            {
                                out.swap(text);
                                return true;
                            },
                            error);
}

} // anonymous namespace

wxString GetConfigPath()
{
    return g_dataDir + "Feedquill.cfg";
}

void OpenConfig()
{
    const wxString path = GetConfigPath();
    std::string bytes;
    wxString error;
    const bool readable = ReadAllBytes(path, bytes, error);
    if ( !readable )
    {
        wxLogError("The settings file \"%s\" cannot be read.\n%s. Feedquill goes on with the "
                   "default settings and leaves the file as it is.", path, error);
    }
    else if ( IsUnreadableConfig(bytes) )
    {
        // Kept aside rather than overwritten: it may still mean something to its owner.
        const wxString kept = GetKeptPath(path);
        if ( wxRenameFile(path, kept, false) )
            wxLogWarning("\"%s\" is not a settings file Feedquill can read; it was kept as "
                         "\"%s\" and the default settings are used.", path, kept);
    }
    // The toolkit's own words for a file it cannot open were said above, with the outcome.
    std::unique_ptr<wxLogNull> quiet(readable ? nullptr : new wxLogNull);
    wxConfigBase::Set(new SafeFileConfig(path, readable));
}

void CloseConfig()
{
    wxConfigBase* config = wxConfigBase::Get(false);
    if ( !config )
        return;
    config->Flush();
    std::unique_ptr<wxConfigBase> released(wxConfigBase::Set(nullptr));
}
