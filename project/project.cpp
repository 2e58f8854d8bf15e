#include "project/project.h"

#include "base/datafolders.h"
#include "base/runlock.h"
#include "project/configkeys.h"
#include "base/safefile.h"

#include <wx/config.h>
#include <wx/convauto.h>
#include <wx/filename.h>
#include <wx/log.h>
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
        const int created = open(path.fn_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if ( created >= 0 )
            close(created);
        return true;
    }
    if ( !S_ISREG(info.st_mode) )
    {
        reason = "it is not a regular file";
        return false;
    }
    int error = 0;
    if ( !ReadFileBytes(path, bytes, error) )
    {
        reason = wxSysErrorMsgStr(error);
        return false;
    }
    return true;
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
        wxConfigBase::Get()->DeleteEntry(GetKey(ENTRY_ETAG), false);
        wxConfigBase::Get()->DeleteEntry(GetKey(ENTRY_LAST_MODIFIED), false);
    }
    m_feedURL = url;
    wxConfigBase::Get()->Write(GetKey(ENTRY_FEED_URL), m_feedURL);
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
        m_templateError = wxString::Format("The signature template \"%s\" cannot be read: %s.",
                                           path, reason);
        wxLogError("%s", m_templateError);
        return;
    }
    m_templateError.clear();
    m_template = wxString(bytes.data(), wxConvAuto(), bytes.size());
    m_templateIsSample = m_template.empty();
    if ( m_templateIsSample )
        m_template = kDefaultTemplate;
}

bool Project::SaveTemplate(const std::function<void()>& takeText)
{
    const RunLock lock;
    if ( !lock.IsHeld() )
        return false;
    // wxConvAuto writes UTF-8 without a byte-order mark, and so does this.
    const wxString path = GetTemplateDir() + m_name + TEMPLATE_EXTENSION;
    wxString error;
    const bool saved = ReplaceFileContents(path,
                                           [&]
                                           {
                                               if ( takeText )
                                                   takeText();
                                               return m_template;
                                           },
                                           wxConvUTF8, error);
    if ( !saved )
    {
        wxLogError("The signature template could not be saved to \"%s\".\n%s.", path, error);
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
    config->SetPath(oldPath);
    return names;
}

bool CheckProjectName(const wxString& name, wxString& reason)
{
    if ( name.empty() || name == "." || name == ".." )
        reason = "a project needs a name other than \"\", \".\" and \"..\"";
    else if ( name.find_first_of("/\\") != wxString::npos )
        reason = "a project's name cannot hold \"/\" or \"\\\", since it names its group "
                 "in the settings and its template file";
    else if ( wxIsspace(name[0]) || wxIsspace(name.Last()) )
        reason = "a project's name cannot begin or end with a blank";
    else if ( name.length() > 200 )
        reason = "a project's name can be at most 200 characters long";
    else
    {
        for ( const wxUniChar c : name )
        {
            if ( c < 0x20 || c == 0x7f )
            {
                reason = "a project's name cannot hold control characters";
                return false;
            }
        }
        return true;
    }
    return false;
}

bool CreateProject(const wxString& name)
{
    wxString reason;
    if ( !CheckProjectName(name, reason) )
    {
        wxLogError("The project \"%s\" cannot be made: %s.", name, reason);
        return false;
    }
    wxConfigBase* config = wxConfigBase::Get();
    if ( config->HasGroup(PROJECT_GROUP + name) )
    {
        wxLogError("The project \"%s\" cannot be made: there is one of that name already.",
                   name);
        return false;
    }
    Project project;
    project.m_name = name;
    project.m_templateName = name + TEMPLATE_EXTENSION;
    // A group with one entry: the toolkit's file writes no empty group.
    config->Write(project.GetKey(ENTRY_FEED_URL), wxString());
    config->Flush(false);
    project.LoadTemplate();
    return project.m_templateError.empty();
}
