#include "project/project.h"

#include "base/datafolders.h"
#include "base/runlock.h"
#include "project/configkeys.h"
#include "base/safefile.h"

#include <wx/config.h>
#include <wx/convauto.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/translation.h>
#include <wx/utils.h>
#include <wx/wxcrt.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// Templates are the user's own words: private, as the settings are.
const mode_t TEMPLATE_FILE_MODE = 0600;

// Reads a template file whole. A missing one is created, empty, where that is possible, and
// gives an empty text; a file that is there but cannot be read gives false and the reason.
bool ReadTemplateFile(const wxString& path, bool create, std::string& bytes, wxString& reason)
{
    struct stat info;
    if ( stat(path.fn_str(), &info) != 0 )
    {
        if ( errno != ENOENT )
        {
            reason = wxSysErrorMsgStr(errno);
            return false;
        }
        if ( !create )
            return true;
        const int created = open(path.fn_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                                 TEMPLATE_FILE_MODE);
        if ( created >= 0 )
            close(created);
        return true;
    }
    int error = 0;
    if ( !ReadFileBytes(path, bytes, error) )
    {
        reason = error == EINVAL || error == EISDIR ? wxString("it is not a regular file")
                                                    : wxSysErrorMsgStr(error);
        return false;
    }
    return true;
}

// The length of the UTF-8 sequence that starts at bytes[at]; 0 when it is not a valid one
// (a stray continuation byte, a cut sequence, an overlong form, a surrogate, beyond U+10FFFF).
size_t Utf8SequenceLength(const std::string& bytes, size_t at)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    if ( lead < 0x80 )
        return 1;
    size_t length;
    unsigned char low = 0x80, high = 0xbf;  // the range of the second byte
    if ( lead >= 0xc2 && lead <= 0xdf )
        length = 2;
    else if ( lead >= 0xe0 && lead <= 0xef )
    {
        length = 3;
        if ( lead == 0xe0 )
            low = 0xa0;
        else if ( lead == 0xed )
            high = 0x9f;
    }
    else if ( lead >= 0xf0 && lead <= 0xf4 )
    {
        length = 4;
        if ( lead == 0xf0 )
            low = 0x90;
        else if ( lead == 0xf4 )
            high = 0x8f;
    }
    else
        return 0;
    if ( at + length > bytes.size() || byte(at + 1) < low || byte(at + 1) > high )
        return 0;
    for ( size_t i = 2; i < length; ++i )
    {
        if ( byte(at + i) < 0x80 || byte(at + i) > 0xbf )
            return 0;
    }
    return length;
}

// A template's text. Templates are UTF-8 (or carry a byte-order mark that says otherwise); a
// byte that is not UTF-8 becomes U+FFFD alone, rather than the whole file being read in
// another encoding, and the first one is named by its line and column.
wxString DecodeTemplate(const wxString& path, const std::string& bytes)
{
    wxConvAuto detect;
    const wxString detected(bytes.data(), detect, bytes.size());
    if ( detect.GetBOM() != wxBOM_None && detect.GetBOM() != wxBOM_UTF8 )
        return detected;
    const size_t start = detect.GetBOM() == wxBOM_UTF8 ? 3 : 0;
    wxString text;
    size_t bad = 0, line = 1, column = 1, badLine = 0, badColumn = 0;
    for ( size_t at = start; at < bytes.size(); )
    {
        const size_t length = Utf8SequenceLength(bytes, at);
        if ( length == 0 )
        {
            if ( bad++ == 0 )
            {
                badLine = line;
                badColumn = column;
            }
            text += wxUniChar(0xfffd);
            ++at;
        }
        else
        {
            text += wxString::FromUTF8(bytes.data() + at, length);
            if ( bytes[at] == '\n' )
            {
                ++line;
                column = 0;
            }
            at += length;
        }
        ++column;
    }
    if ( bad > 0 )
        wxLogWarning(_("The signature template \"%s\" is not valid UTF-8 at line %zu, column "
                       "%zu%s; Feedquill reads it as UTF-8 with the replacement character "
                       "(U+FFFD) in place of each such byte. Save it as UTF-8 to keep every "
                       "character."),
                     path,
                     badLine, badColumn,
                     bad > 1 ? wxString::Format(_(" (and %zu more bytes)"), bad - 1) : wxString());
    return text;
}

} // anonymous namespace

const char* const kDefaultTemplate =
    "\nBest Regards, Arden Vosk \nLast Post in my blog:\n    %link% - %title%";

Project g_project;

wxString Project::GetKey(const wxString& entry) const
{
    return PROJECT_GROUP + m_name + "/" + entry;
}

void Project::Load(wxString name)
{
    m_name = name;
    wxConfigBase* config = wxConfigBase::Get();
    const wxString oldPath = config->GetPath();
    config->SetPath(PROJECT_GROUP + name + "/");
    m_feedURL = config->Read(ENTRY_FEED_URL, wxString());
    m_filePath = config->Read(ENTRY_FILE_PATH, wxString());
    m_lastTitle = config->Read(ENTRY_LAST_TITLE, wxString());
    m_lastLink = config->Read(ENTRY_LAST_LINK, wxString());
    m_lastDate = config->Read(ENTRY_LAST_DATE, wxString());
    m_lastSummary = config->Read(ENTRY_LAST_SUMMARY, wxString());
    m_lastAuthor = config->Read(ENTRY_LAST_AUTHOR, wxString());
    m_feedTitle = config->Read(ENTRY_FEED_TITLE, wxString());
    m_feedLink = config->Read(ENTRY_FEED_LINK, wxString());
    m_etag = config->Read(ENTRY_ETAG, wxString());
    m_lastModified = config->Read(ENTRY_LAST_MODIFIED, wxString());
    m_validatorURL = config->Read(ENTRY_VALIDATOR_URL, wxString());
    m_templateName = config->Read(ENTRY_TEMPLATE, name + TEMPLATE_EXTENSION);
    LoadTemplate();
    config->SetPath(oldPath);
}

void Project::SetFeedURL(wxString url)
{
    // What another address's server said about its feed means nothing for this one.
    if ( url != m_feedURL )
    {
        m_etag.clear();
        m_lastModified.clear();
        m_validatorURL.clear();
        wxConfigBase::Get()->DeleteEntry(GetKey(ENTRY_ETAG), false);
        wxConfigBase::Get()->DeleteEntry(GetKey(ENTRY_LAST_MODIFIED), false);
        wxConfigBase::Get()->DeleteEntry(GetKey(ENTRY_VALIDATOR_URL), false);
    }
    m_feedURL = url;
    wxConfigBase::Get()->Write(GetKey(ENTRY_FEED_URL), m_feedURL);
    wxConfigBase::Get()->Flush(false);
}

void Project::SetLastPost(const wxString& title, const wxString& link)
{
    m_lastTitle = title;
    m_lastLink = link;
    wxConfigBase::Get()->Write(GetKey(ENTRY_LAST_TITLE), m_lastTitle);
    wxConfigBase::Get()->Write(GetKey(ENTRY_LAST_LINK), m_lastLink);
    wxConfigBase::Get()->Flush(false);
}

void Project::SetFilePath(wxString path)
{
    m_filePath = path;
    wxConfigBase::Get()->Write(GetKey(ENTRY_FILE_PATH), m_filePath);
    wxConfigBase::Get()->Flush(false);
}

wxString Project::GetTemplateDir() const
{
    return g_dataDir + "SignatureTemplates" + wxFileName::GetPathSeparator();
}

void Project::LoadTemplate()
{
    const wxString path = GetTemplateDir() + m_templateName;
    std::string bytes;
    wxString reason;
    if ( !ReadTemplateFile(path, !m_readOnly, bytes, reason) )
    {
        // m_template keeps the text it had, which WriteSignature will not use.
        m_templateError = wxString::Format(_("The signature template \"%s\" cannot be read: %s."),
                                           path, reason);
        wxLogError("%s", m_templateError);
        return;
    }
    m_templateError.clear();
    m_template = DecodeTemplate(path, bytes);
    m_templateIsSample = m_template.empty();
    if ( m_templateIsSample )
        m_template = kDefaultTemplate;
}

bool Project::SaveTemplate(const std::function<void()>& takeText)
{
    const RunLock lock;
    if ( !lock.IsHeld() )
    {
        wxLogError("%s", lock.GetError());
        return false;
    }
    // wxConvAuto writes UTF-8 without a byte-order mark, and so does this.
    const wxString path = GetTemplateDir() + m_name + TEMPLATE_EXTENSION;
    FileReplacement replacement;
    wxString error;
    if ( replacement.Open(path, error, TEMPLATE_FILE_MODE) )
    {
        // Only once the file is known to be writable: the editor keeps its text otherwise.
        if ( takeText )
            takeText();
        const wxScopedCharBuffer utf8 = m_template.utf8_str();
        replacement.Commit(std::string(utf8.data(), utf8.length()), error);
    }
    if ( !error.empty() )
    {
        wxLogError(_("The signature template could not be saved to \"%s\".\n%s."), path, error);
        return false;
    }
    // The text is the user's now, whatever could not be read before.
    m_templateError.clear();
    m_templateIsSample = false;
    return true;
}

wxString Project::GetSignaturePath() const
{
    // "~/.signature" as people write it by hand, and as a shell would read it.
    wxString rest;
    if ( m_filePath.StartsWith("~/", &rest) )
        return wxFileName(wxGetHomeDir(), wxString()).GetPathWithSep() + rest;
    return m_filePath;
}

wxArrayString ListProjects()
{
    wxArrayString names;
    wxConfigBase* config = wxConfigBase::Get();
    if ( !config || !config->HasGroup("/project") )
        return names;
    const wxString oldPath = config->GetPath();
    config->SetPath("/project");
    wxString name;
    long index = 0;
    for ( bool more = config->GetFirstGroup(name, index); more;
          more = config->GetNextGroup(name, index) )
        names.push_back(name);
    // Reading a project's keys makes its group, empty, in memory (as the default project's
    // first start does): only a group with entries is a project.
    wxArrayString projects;
    for ( const wxString& group : names )
    {
        config->SetPath("/project/" + group);
        if ( config->GetNumberOfEntries() > 0 )
            projects.push_back(group);
    }
    config->SetPath(oldPath);
    return projects;
}

bool CheckProjectName(const wxString& name, wxString& reason)
{
    if ( name.empty() || name == "." || name == ".." )
        reason = _("a project needs a name other than \"\", \".\" and \"..\"");
    else if ( name.find_first_of("/\\") != wxString::npos )
        reason = _("a project's name cannot hold \"/\" or \"\\\", since it names its group "
                   "in the settings and its template file");
    else if ( wxIsspace(name[0]) || wxIsspace(name.Last()) )
        reason = _("a project's name cannot begin or end with a blank");
    else if ( name.length() > 200 )
        reason = _("a project's name can be at most 200 characters long");
    else
    {
        for ( const wxUniChar c : name )
        {
            if ( c < 0x20 || c == 0x7f )
            {
                reason = _("a project's name cannot hold control characters");
                return false;
            }
        }
        return true;
    }
    return false;
}

bool CanCreateProject(const wxString& name, wxString& reason)
{
    if ( !CheckProjectName(name, reason) )
        return false;
    if ( wxConfigBase::Get()->HasGroup(PROJECT_GROUP + name) )
    {
        reason = _("there is one of that name already");
        return false;
    }
    return true;
}

bool CreateProject(const wxString& name)
{
    wxString reason;
    if ( !CanCreateProject(name, reason) )
    {
        wxLogError(_("The project \"%s\" cannot be made: %s."), name, reason);
        return false;
    }
    wxConfigBase* config = wxConfigBase::Get();
    Project project;
    project.m_name = name;
    project.m_templateName = name + TEMPLATE_EXTENSION;
    // A group with one entry: the toolkit's file writes no empty group.
    config->Write(project.GetKey(ENTRY_FEED_URL), wxString());
    config->Flush(false);
    project.LoadTemplate();
    return project.m_templateError.empty();
}
