// The signature update run: read the feed, remember the newest post, write the signature.

#include "project/project.h"

#include "base/messenger.h"
#include "base/runlock.h"
#include "base/safefile.h"
#include "feed/feedreader.h"
#include "project/configfile.h"
#include "project/configkeys.h"
#include "run/signaturebackup.h"

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

// Mail programs read signatures in HTML too; there the title and link must stay text, whatever
// characters they hold.
bool IsHtmlFile(const wxString& path)
{
    const wxString lower = path.Lower();
    return lower.EndsWith(".html") || lower.EndsWith(".htm");
}

wxString EscapeHtml(const wxString& text)
{
    wxString escaped;
    escaped.reserve(text.length());
    for ( const wxUniChar c : text )
    {
        if ( c == '&' )
            escaped += "&amp;";
        else if ( c == '<' )
            escaped += "&lt;";
        else if ( c == '>' )
            escaped += "&gt;";
        else if ( c == '"' )
            escaped += "&quot;";
        else
            escaped += c;
    }
    return escaped;
}

wxString ExpandTemplate(const wxString& text, const wxString& title, const wxString& link)
{
    wxString result = text;
    result.Replace("%title%", title, true);
    result.Replace("%link%", link, true);
    return result;
}

// A command-line run writes no signature from the built-in sample, with its made-up name: the
// user has never seen it there. The window shows the sample in its editor instead.
bool RefusesSampleTemplate(const Project& project)
{
    if ( !project.m_cmdMode || !project.m_templateIsSample )
        return false;
    wxLogError("The signature file \"%s\" was left as it was, because no signature template "
               "is saved yet.\nStart Feedquill without -c or -q, edit the template and press "
               "Save, or write the template to \"%s\" (%%title%% and %%link%% stand for the "
               "newest post's title and link).",
               project.GetSignaturePath(), project.GetTemplateDir() + project.m_templateName);
    return true;
}

wxString DescribeFeedError(const Project& project, const FeedReader& reader)
{
    if ( project.m_feedURL.empty() )
        return wxString::Format("No feed address is set (choose one in the window, or set %s "
                                "in %s)", ENTRY_FEED_URL, GetConfigPath());
    return reader.GetErrorDetail();
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
        const wxString detail = DescribeFeedError(*this, reader);
        if ( detail.empty() )
            wxLogError("Error #%i while processing your feed", error);
        else
            wxLogError("Error #%i while processing your feed\n%s", error, detail);
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
    if ( m_updateCheckDue && checkForUpdates )
        checkForUpdates();
    else if ( m_updateCheckDue )
        CheckForUpdates(true);
    // Only what was done is reported as done; WriteSignature has said what was not.
    if ( !m_quiet && result == SIGNATURE_WRITTEN )
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
    {
        wxLogError("No signature file is set for the project \"%s\", so none was written.\n"
                   "Choose one in the window, or set %s in %s.", m_name, ENTRY_FILE_PATH,
                   GetConfigPath());
        return SIGNATURE_NO_FILE;
    }
    const RunLock lock;
    if ( !lock.IsHeld() )
        return SIGNATURE_CANNOT_WRITE;
    const wxString path = GetSignaturePath();
    if ( !m_templateError.empty() )
    {
        wxLogError("The signature file \"%s\" was left as it was, because the signature "
                   "template \"%s\" cannot be read.", path, GetTemplateDir() + m_templateName);
        return SIGNATURE_NO_TEMPLATE;
    }
    if ( RefusesSampleTemplate(*this) )
        return SIGNATURE_NO_TEMPLATE;
    if ( !ConfirmSampleTemplate(*this) )
        return SIGNATURE_KEPT;
    const bool html = IsHtmlFile(path);
    const wxString text = ExpandTemplate(m_template, html ? EscapeHtml(m_lastTitle) : m_lastTitle,
                                         html ? EscapeHtml(m_lastLink) : m_lastLink);
    const wxMBConv& conv = ChooseEncoding(text);
    const wxCharBuffer encoded = conv.cWC2MB(text.wc_str());
    const std::string bytes(encoded.data(), encoded.length());
    if ( !KeepForeignSignature(*this, path, bytes) )
        return SIGNATURE_KEPT;
    wxString error;
    if ( !ReplaceFileContents(path, [&text] { return text; }, conv, error) )
    {
        wxLogError("The signature file \"%s\" could not be written.\n%s.\nIt was to show "
                   "this post:\n Title : %s\n Link: %s", path, error, m_lastTitle, m_lastLink);
        return SIGNATURE_CANNOT_WRITE;
    }
    RememberSignature(*this, bytes);
    return SIGNATURE_WRITTEN;
}
