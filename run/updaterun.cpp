// The signature update run: read the feed, remember the newest post, write the signature.

#include "project/project.h"

#include "base/messenger.h"
#include "base/runlock.h"
#include "base/safefile.h"
#include "feed/feedreader.h"
#include "project/configkeys.h"

#include <wx/config.h>
#include <wx/log.h>
#include <wx/strconv.h>

namespace
{

// The text as it goes to the file: the local encoding when it can say everything, else UTF-8,
// which mail programs read, rather than losing the text (any non-ASCII title under the C
// locale of a cron job).
const wxMBConv& ChooseEncoding(const wxString& text)
{
    if ( wxConvLocal.FromWChar(nullptr, 0, text.wc_str()) != wxCONV_FAILED )
        return wxConvLocal;
    return wxConvUTF8;
}

wxString ExpandTemplate(const wxString& text, const wxString& title, const wxString& link)
{
    wxString result = text;
    result.Replace("%title%", title, true);
    result.Replace("%link%", link, true);
    return result;
}

// Keeps the validators of the answer for the next run's conditional request. A 304 need not
// repeat them (Last-Modified rarely comes with it); those it leaves out still stand.
void StoreValidators(Project& project, const FeedReader& reader)
{
    const struct
    {
        const char* entry;
        wxString* field;
        wxString value;
    } validators[] =
    {
        { ENTRY_ETAG, &project.m_etag, reader.GetETag() },
        { ENTRY_LAST_MODIFIED, &project.m_lastModified, reader.GetLastModified() },
    };
    wxConfigBase* config = wxConfigBase::Get();
    for ( const auto& validator : validators )
    {
        if ( reader.IsNotModified() && validator.value.empty() )
            continue;
        *validator.field = validator.value;
        if ( validator.value.empty() )
            config->DeleteEntry(project.GetKey(validator.entry), false);
        else
            config->Write(project.GetKey(validator.entry), validator.value);
    }
}

} // anonymous namespace

int Project::Update()
{
    const RunLock lock;
    if ( !lock.IsHeld() )
        return SIGNATURE_UPDATE_FAILED;
    FeedReader reader(m_feedURL);
    // Validators only stand for a post that was stored with them.
    if ( !m_lastTitle.empty() && !m_lastLink.empty() )
        reader.SetValidators(m_etag, m_lastModified);
    const int error = reader.Read();
    if ( error != 0 )
    {
        wxLogError("Error #%i while processing your feed", error);
        return SIGNATURE_UPDATE_FAILED;
    }

    // Not modified: the stored title and link are still the newest post's.
    if ( !reader.IsNotModified() )
    {
        m_lastTitle = reader.GetTitle();
        m_lastLink = reader.GetLink();
    }
    wxConfigBase* config = wxConfigBase::Get();
    config->Write(GetKey(ENTRY_LAST_TITLE), m_lastTitle);
    config->Write(GetKey(ENTRY_LAST_LINK), m_lastLink);
    StoreValidators(*this, reader);
    config->Flush(false);

    const int result = WriteSignature();
    if ( m_updateCheckDue )
        CheckForUpdates(true);
    if ( !m_quiet )
    {
        Messenger::Get()->ShowMessage("Updated successfully:\n Title : " + m_lastTitle
                                          + "\n Link: " + m_lastLink,
                                      "Message", wxOK | wxCENTRE);
    }
    return result;
}

int Project::WriteSignature()
{
    if ( m_filePath.empty() )
        return SIGNATURE_NO_FILE;
    const RunLock lock;
    if ( !lock.IsHeld() )
        return SIGNATURE_CANNOT_WRITE;
    if ( !m_templateError.empty() )
    {
        wxLogError("The signature file \"%s\" was left as it was, because the signature "
                   "template \"%s\" cannot be read.", m_filePath,
                   GetTemplateDir() + m_templateName);
        return SIGNATURE_NO_TEMPLATE;
    }
    const wxString text = ExpandTemplate(m_template, m_lastTitle, m_lastLink);
    if ( !ReplaceFileContents(m_filePath, [&text] { return text; }, ChooseEncoding(text)) )
        return SIGNATURE_CANNOT_WRITE;
    return SIGNATURE_WRITTEN;
}
