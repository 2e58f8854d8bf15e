#include "project/configfile.h"

#include "base/datafolders.h"
#include "base/runlock.h"
#include "base/safefile.h"
#include "project/configkeys.h"
#include "project/project.h"

#include <wx/config.h>
#include <wx/convauto.h>
#include <wx/file.h>
#include <wx/fileconf.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/mstream.h>
#include <wx/strconv.h>
#include <wx/translation.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace
{

const long CONFIG_STYLE = wxCONFIG_USE_LOCAL_FILE | wxCONFIG_USE_GLOBAL_FILE;

// The settings may hold a private feed's address with its token: only the user reads them.
const mode_t PRIVATE_FILE_MODE = 0600;

// The whole file; false when it is there but cannot be read (a missing file reads as empty),
// with the system's reason in error.
bool ReadAllBytes(const wxString& path, std::string& bytes, wxString& error)
{
    int code = 0;
    if ( ReadFileBytes(path, bytes, code) || code == ENOENT )
        return true;
    if ( code == EINVAL || code == EISDIR )
        error = wxString::Format(_("\"%s\" is not a regular file"), path);
    else
        error = wxString::Format(_("Cannot read \"%s\": %s"), path, wxSysErrorMsgStr(code));
    return false;
}

// The settings as text: UTF-8, UTF-16 or UTF-32 with a byte-order mark, or else Latin-1, which
// editors of old wrote. latin1 tells which was found, so that the file can be written back so.
wxString DecodeConfig(const std::string& bytes, bool& latin1)
{
    latin1 = false;
    wxConvAuto conv(wxFONTENCODING_ISO8859_1);
    const wxString text(bytes.data(), conv, bytes.size());
    latin1 = conv.GetBOM() == wxBOM_None && conv.GetEncoding() == wxFONTENCODING_ISO8859_1;
    return text;
}

bool IsControl(wxUniChar::value_type c)
{
    return c < 0x20 || c == 0x7f;
}

// Whether the settings are something other than text: binary garbage or a disk error, which
// the toolkit would read as Latin-1 and then rewrite, destroying it for good. A control
// character here and there is text still (a server's validator, stored by an older version).
bool IsUnreadableConfig(const std::string& bytes, const wxString& text)
{
    if ( bytes.empty() )
        return false;
    if ( text.empty() )
        return true;
    size_t controls = 0;
    for ( const wxUniChar c : text )
    {
        if ( c == 0 )
            return true;
        if ( IsControl(c.GetValue()) && c != '\t' && c != '\n' && c != '\r' )
            ++controls;
    }
    return controls * 20 > text.length();
}

// The toolkit writes control characters in values as they are, which no editor shows and
// which tell text from garbage no more. In the file they stand as \xHH, a form the toolkit's
// own escapes (\\, \n, \t, \r, \") never take; the values read back exactly as written.
wxString EscapeControls(const wxString& text)
{
    const bool plain = std::none_of(text.begin(), text.end(), [](const wxUniChar c)
                                    { return IsControl(c.GetValue()) && c != '\n' && c != '\t'; });
    if ( plain )
        return text;
    wxString escaped;
    escaped.reserve(text.length());
    for ( wxUniChar c : text )
    {
        if ( IsControl(c.GetValue()) && c != '\n' && c != '\t' )
            escaped += wxString::Format("\\x%02X", static_cast<unsigned>(c.GetValue()));
        else
            escaped += c;
    }
    return escaped;
}

int HexDigit(wxUniChar c)
{
    if ( c >= '0' && c <= '9' )
        return c.GetValue() - '0';
    if ( c >= 'A' && c <= 'F' )
        return c.GetValue() - 'A' + 10;
    if ( c >= 'a' && c <= 'f' )
        return c.GetValue() - 'a' + 10;
    return -1;
}

wxString UnescapeControls(const wxString& text)
{
    if ( text.find("\\x") == wxString::npos )
        return text;
    wxString plain;
    plain.reserve(text.length());
    for ( size_t i = 0; i < text.length(); ++i )
    {
        if ( text[i] == '\\' && i + 1 < text.length() && text[i + 1] == '\\' )
        {
            plain += "\\\\";
            ++i;
            continue;
        }
        if ( text[i] == '\\' && i + 3 < text.length() && text[i + 1] == 'x' )
        {
            const int high = HexDigit(text[i + 2]);
            const int low = HexDigit(text[i + 3]);
            const int value = high * 16 + low;
            if ( high >= 0 && low >= 0 && value != 0 && IsControl(value) )
            {
                plain += wxUniChar(value);
                i += 3;
                continue;
            }
        }
        plain += text[i];
    }
    return plain;
}

// The toolkit names the file in its remarks on odd lines, but it reads the settings from
// memory here: its remarks are collected and passed on with the file's name in them.
class FileNamingLog : public wxLog
{
public:
    explicit FileNamingLog(const wxString& path) : m_path(path), m_previous(SetActiveTarget(this))
    {
    }

    ~FileNamingLog() override
    {
        SetActiveTarget(m_previous);
        for ( const auto& record : m_records )
        {
            wxString text = record.second;
            text.Replace("file ''", "file '" + m_path + "'");
            wxLogGeneric(record.first, "%s", text);
        }
    }

protected:
    void DoLogRecord(wxLogLevel level, const wxString& msg, const wxLogRecordInfo&) override
    {
        m_records.emplace_back(level, msg);
    }

private:
    wxString m_path;
    wxLog* m_previous;
    std::vector<std::pair<wxLogLevel, wxString>> m_records;
};

// Whether the settings hold control characters stored escaped, which only a stream of the text
// unescaped can give the toolkit. Otherwise it reads the file itself: a file in one piece, a
// stream in steps of a kilobyte, each growing its buffer (slow for a large file).
bool NeedsUnescaping(const wxString& text)
{
    return text.find("\\x") != wxString::npos;
}

// The settings' text as the toolkit takes it in: a stream of UTF-8.
class ConfigText
{
public:
    explicit ConfigText(const wxString& text)
    {
        const wxString plain = UnescapeControls(text);
        const wxScopedCharBuffer utf8 = plain.utf8_str();
        m_utf8.assign(utf8.data(), utf8.length());
        m_stream = std::make_unique<wxMemoryInputStream>(m_utf8.data(), m_utf8.size());
    }

    wxInputStream& Stream() { return *m_stream; }

private:
    std::string m_utf8;
    std::unique_ptr<wxMemoryInputStream> m_stream;
};

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
    // A file that could not be read is never written: the defaults would replace it. Values
    // come back exactly as they were written: "$HOME" in a post's title is text, not the
    // user's home folder.
    SafeFileConfig(const wxString& path, ConfigText& text, bool writable)
        : wxFileConfig(text.Stream(), wxConvUTF8),
          m_path(path),
          m_writable(writable)
    {
        SetExpandEnvVars(false);
        DisableAutoSave();
    }

    // The toolkit reads the file at path itself.
    explicit SafeFileConfig(const wxString& path)
        : wxFileConfig("Feedquill", "Tarnwick", path, wxString(), CONFIG_STYLE, wxConvAuto()),
          m_path(path),
          m_writable(true)
    {
        SetExpandEnvVars(false);
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
        wxLogError(_("The settings could not be written to \"%s\" now.\n%s"), m_path,
                   lock.GetError());
        return false;
    }
    wxString error;
    if ( !WriteChanges(error) )
    {
        wxLogError(_("The settings could not be written to \"%s\" now.\n%s."), m_path, error);
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
    bool latin1 = false;
    const wxString decoded = DecodeConfig(bytes, latin1);
    // What the toolkit finds odd in the file it said when the file was opened.
    std::unique_ptr<wxLogNull> quiet = std::make_unique<wxLogNull>();
    std::unique_ptr<wxFileConfig> read;
    if ( NeedsUnescaping(decoded) )
    {
        ConfigText text(decoded);
        read = std::make_unique<wxFileConfig>(text.Stream(), wxConvUTF8);
    }
    else
        read = std::make_unique<wxFileConfig>("Feedquill", "Tarnwick", m_path, wxString(),
                                              CONFIG_STYLE, wxConvAuto());
    quiet.reset();
    wxFileConfig& latest = *read;
    latest.SetExpandEnvVars(false);
    latest.DisableAutoSave();
    for ( const Change& change : m_changes )
        change(latest);
    wxMemoryOutputStream stream;
    if ( !latest.Save(stream, wxConvUTF8) )
    {
        error = _("The settings cannot be put into words");
        return false;
    }
    std::string utf8(stream.GetLength(), '\0');
    stream.CopyTo(&utf8[0], utf8.size());
    const wxString saved = EscapeControls(wxString::FromUTF8(utf8.data(), utf8.size()));
    // A Latin-1 file stays Latin-1 while it can say everything; a character it cannot hold
    // (a title with "€") makes it UTF-8 rather than losing the line.
    wxCharBuffer written;
    if ( latin1 )
        written = saved.mb_str(wxConvISO8859_1);
    if ( !latin1 || (!saved.empty() && written.length() == 0) )
        written = saved.utf8_str();
    return ReplaceFile(m_path, std::string(written.data(), written.length()), error,
                       PRIVATE_FILE_MODE);
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
        wxLogError(_("The settings file \"%s\" cannot be read.\n%s. Feedquill goes on with the "
                     "default settings and leaves the file as it is."), path, error);
    }
    bool latin1 = false;
    const wxString decoded = readable ? DecodeConfig(bytes, latin1) : wxString();
    const bool unreadable = readable && IsUnreadableConfig(bytes, decoded);
    if ( unreadable )
    {
        // Kept aside rather than overwritten: it may still mean something to its owner.
        const wxString kept = GetKeptPath(path);
        if ( wxRenameFile(path, kept, false) )
            wxLogWarning(_("\"%s\" is not a settings file Feedquill can read; it was kept as "
                           "\"%s\" and the default settings are used."), path, kept);
    }
    if ( readable && !unreadable && !NeedsUnescaping(decoded) )
    {
        wxConfigBase::Set(new SafeFileConfig(path));
        return;
    }
    ConfigText text(readable && !unreadable ? decoded : wxString());
    FileNamingLog naming(path);
    wxConfigBase::Set(new SafeFileConfig(path, text, readable));
}

bool CloseConfig()
{
    wxConfigBase* config = wxConfigBase::Get(false);
    if ( !config )
        return true;
    const bool written = config->Flush();
    std::unique_ptr<wxConfigBase> released(wxConfigBase::Set(nullptr));
    return written;
}

bool ProjectExists(const wxString& name)
{
    // The first start has no group yet, and needs none.
    return name == OPTION_PROJECT_DEFAULT || wxConfigBase::Get()->HasGroup(PROJECT_GROUP + name);
}

wxString DescribeMissingProject(const wxString& name)
{
    const wxArrayString names = ListProjects();
    wxString known;
    for ( const wxString& project : names )
        known += (known.empty() ? "\"" : ", \"") + project + "\"";
    return wxString::Format(_("There is no project \"%s\" in \"%s\" (no group [project/%s]).\n"
                              "%s"), name, GetConfigPath(), name,
                            known.empty() ? _("It holds no project yet.")
                                          : wxString::Format(_("The projects there are: %s."),
                                                             known));
}
