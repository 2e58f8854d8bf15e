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

} // anonymous namespace

int Project::Update()
{
    const RunLock lock;
    if ( !lock.IsHeld() )
        return SIGNATURE_UPDATE_FAILED;
    FeedReader reader(m_feedURL);
    const int error = reader.Read();
    return FinishUpdate(reader, error);
}

int Project::FinishUpdate(const FeedReader& reader, int error,
                          const std::function<void()>& checkForUpdates)
{
    const RunLock lock;
    if ( !lock.IsHeld() )
        return SIGNATURE_UPDATE_FAILED;
    if ( error != 0 )
    {
        wxLogError("Error #%i while processing your feed", error);
        return SIGNATURE_UPDATE_FAILED;
    }

    m_lastTitle = reader.GetTitle();
    m_lastLink = reader.GetLink();
    wxConfigBase* config = wxConfigBase::Get();
    config->Write(GetKey(ENTRY_LAST_TITLE), m_lastTitle);
    config->Write(GetKey(ENTRY_LAST_LINK), m_lastLink);
    config->Flush(false);

    const int result = WriteSignature();
    if ( m_updateCheckDue && checkForUpdates )
        checkForUpdates();
    else if ( m_updateCheckDue )
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
