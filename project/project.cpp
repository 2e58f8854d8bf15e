#include "project/project.h"

#include "base/datafolders.h"
#include "project/configkeys.h"
#include "base/safefile.h"

#include <wx/config.h>
#include <wx/convauto.h>
#include <wx/ffile.h>
#include <wx/filename.h>

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
    m_templateName = config->Read(ENTRY_TEMPLATE, name + TEMPLATE_EXTENSION);
    LoadTemplate();
    config->SetPath(oldPath);
}

void Project::SetFeedURL(wxString url)
{
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
    // "a+" creates a missing template file, empty, and leaves an existing one alone.
    wxFFile file(GetTemplateDir() + m_templateName, "a+");
    if ( !file.IsOpened() )
        return;
    file.Seek(0);
    file.ReadAll(&m_template, wxConvAuto());
    file.Close();
    if ( m_template.empty() )
        m_template = kDefaultTemplate;
}

bool Project::SaveTemplate(const std::function<void()>& takeText)
{
    // wxConvAuto writes UTF-8 without a byte-order mark, and so does this.
    return ReplaceFileContents(GetTemplateDir() + m_name + TEMPLATE_EXTENSION,
                               [&]
                               {
                                   if ( takeText )
                                       takeText();
                                   return m_template;
                               },
                               wxConvUTF8);
}
