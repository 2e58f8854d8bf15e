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
bool ReadTemplateFile(const wxString& path, std::string& bytes, wxString& reason)
{
    struct stat info;
    if ( stat(path.fn_str(), &info) != 0 )
    {
        if ( errno != ENOENT )
        {
            reason = wxSysErrorMsgStr(errno);
            return false;
        }
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
    if ( !ReadTemplateFile(path, bytes, reason) )
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
