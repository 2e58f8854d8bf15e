// The signature update run: read the feed, remember the newest post, write the signature.

#include "run/updaterun.h"
#include "run/postmacros.h"

#include "project/project.h"

#include "base/datafolders.h"
#include "base/displaytext.h"
#include "base/messenger.h"
#include "base/runlock.h"
#include "base/safefile.h"
#include "feed/feedreader.h"
#include "project/configfile.h"
#include "project/configkeys.h"
#include "run/feednotice.h"
#include "run/signaturetext.h"
#include "run/signaturebackup.h"

#include <wx/config.h>
#include <wx/log.h>
#include <wx/strconv.h>
#include <wx/translation.h>

#include <langinfo.h>
#include <string>

namespace
{

// A command-line run writes no signature from the built-in sample, with its made-up name: the
// user has never seen it there. The window shows the sample in its editor instead.
bool RefusesSampleTemplate(const Project& project)
{
    if ( !project.m_cmdMode || !project.m_templateIsSample )
        return false;
    const wxString templatePath = project.GetTemplateDir() + project.m_templateName;
    // The window's Save writes the file named after the project; a ProjectTemplate naming
    // another file is read, never saved.
    const bool saveWorks = project.m_templateName == project.m_name + TEMPLATE_EXTENSION;
    wxLogError(_("The signature file \"%s\" was left as it was, because no signature template "
                 "is saved yet.\n%sWrite the template to \"%s\" (%%title%% and %%link%% stand "
                 "for the newest post's title and link)."), project.GetSignaturePath(),
               saveWorks ? _("Start Feedquill without -c or -q, edit the template and press "
                             "Save, or: ")
                         : wxString(),
               templatePath);
    return true;
}

// The signature must never be written over the program's own files: the template would lose
// its macros for good, the settings everything. What it is then, in words; empty when it is
// none of them.
wxString NameOwnFile(const Project& project, const wxString& path)
{
    const struct
    {
        wxString file;
        const char* what;
    } own[] =
    {
        { project.GetTemplateDir() + project.m_templateName,
          wxTRANSLATE("the signature template") },
        { project.GetTemplateDir() + project.m_name + TEMPLATE_EXTENSION,
          wxTRANSLATE("the signature template") },
        { GetConfigPath(), wxTRANSLATE("Feedquill's settings file") },
        { g_dataDir + "Feedquill.lock", wxTRANSLATE("Feedquill's lock file") },
    };
    for ( const auto& file : own )
    {
        if ( IsSameFile(path, file.file) )
            return wxString::Format("%s \"%s\"", wxGetTranslation(file.what), file.file);
    }
    return wxString();
}

wxString DescribeFeedError(const Project& project, const FeedReader& reader)
{
    if ( project.m_feedURL.empty() )
        return wxString::Format(_("No feed address is set (choose one in the window, or set %s "
                                  "in %s)"), ENTRY_FEED_URL, GetConfigPath());
    return reader.GetErrorDetail();
}

// Keeps the validators of the answer for the next run's conditional request. A 304 need not
// repeat them (Last-Modified rarely comes with it); those it leaves out still stand.
void StoreValidators(Project& project, const FeedReader& reader)
{
    // They belong to the address that answered; a 304 came from the one they were sent to.
    if ( !reader.IsNotModified() )
    {
        project.m_validatorURL = reader.GetFinalUrl();
        wxConfigBase::Get()->Write(project.GetKey(ENTRY_VALIDATOR_URL), project.m_validatorURL);
    }
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
    {
        wxLogError("%s", lock.GetError());
        return SIGNATURE_UPDATE_FAILED;
    }
    FeedReader reader(m_feedURL);
    // Validators only stand for a post that was stored with them.
    if ( !m_lastTitle.empty() && !m_lastLink.empty() )
        reader.SetValidators(m_etag, m_lastModified, m_validatorURL);
    const int error = reader.Read();
    return FinishUpdate(*this, reader, error);
}

int FinishUpdate(Project& project, const FeedReader& reader, int error,
                 const std::function<void()>& checkForUpdates)
{
    const RunLock lock;
    if ( !lock.IsHeld() )
    {
        wxLogError("%s", lock.GetError());
        return SIGNATURE_UPDATE_FAILED;
    }
    if ( error != 0 )
    {
        const wxString detail = DescribeFeedError(project, reader);
        if ( detail.empty() )
            wxLogError(_("Error #%i while processing your feed"), error);
        else
            wxLogError(_("Error #%i while processing your feed\n%s"), error, detail);
        return SIGNATURE_UPDATE_FAILED;
    }

    // Not modified: the stored title and link are still the newest post's.
    if ( !reader.IsNotModified() )
    {
        project.m_lastTitle = reader.GetTitle();
        project.m_lastLink = reader.GetLink();
        TakePostDetails(project, reader);
    }
    wxConfigBase* config = wxConfigBase::Get();
    config->Write(project.GetKey(ENTRY_LAST_TITLE), project.m_lastTitle);
    config->Write(project.GetKey(ENTRY_LAST_LINK), project.m_lastLink);
    StorePostDetails(project);
    StoreValidators(project, reader);
    const bool stored = config->Flush(false);

    TellFeedFoundOnPage(project, reader);
    // The signature shows the newest post even where the settings could not keep it (which
    // was said); the run has not succeeded then.
    int result = project.WriteSignature();
    if ( result == SIGNATURE_WRITTEN && !stored )
        result = SIGNATURE_SETTINGS_NOT_SAVED;
    if ( project.m_updateCheckDue && checkForUpdates )
        checkForUpdates();
    else if ( project.m_updateCheckDue )
        project.CheckForUpdates(true);
    // Only what was done is reported as done; WriteSignature has said what was not.
    if ( !project.m_quiet && result == SIGNATURE_WRITTEN )
    {
        Messenger::Get()->ShowMessage(wxString::Format(_("Updated successfully:\n Title : %s\n"
                                                         " Link: %s"),
                                                       ShowControlsInLine(project.m_lastTitle),
                                                       ShowControlsInLine(project.m_lastLink)),
                                      _("Message"), wxOK | wxCENTRE);
    }
    return result;
}

int Project::WriteSignature()
{
    if ( m_filePath.empty() )
    {
        wxLogError(_("No signature file is set for the project \"%s\", so none was written.\n"
                     "Choose one in the window, or set %s in %s."), m_name, ENTRY_FILE_PATH,
                   GetConfigPath());
        return SIGNATURE_NO_FILE;
    }
    const RunLock lock;
    if ( !lock.IsHeld() )
    {
        wxLogError("%s", lock.GetError());
        return SIGNATURE_CANNOT_WRITE;
    }
    const wxString path = GetSignaturePath();
    if ( !m_templateError.empty() )
    {
        wxLogError(_("The signature file \"%s\" was left as it was, because the signature "
                     "template \"%s\" cannot be read."), path, GetTemplateDir() + m_templateName);
        return SIGNATURE_NO_TEMPLATE;
    }
    if ( RefusesSampleTemplate(*this) )
        return SIGNATURE_NO_TEMPLATE;
    const wxString own = NameOwnFile(*this, path);
    if ( !own.empty() )
    {
        wxLogError(_("The signature file \"%s\" was not written, because it is %s.\nChoose "
                     "another file for the signature."), path, own);
        return SIGNATURE_CANNOT_WRITE;
    }
    const wxString refusal = RefuseSignatureLink(m_template, *this, path);
    if ( !refusal.empty() )
    {
        wxLogError(_("The signature file \"%s\" was left as it was.\n%s"), path, refusal);
        return SIGNATURE_CANNOT_WRITE;
    }
    if ( !ConfirmSampleTemplate(*this) )
        return SIGNATURE_KEPT;
    const wxString text = MakeSignatureText(m_template, *this, path);
    wxString codeset;
    size_t replaced = 0;
    const std::string bytes = EncodeSignature(text, codeset, replaced);
    if ( !KeepForeignSignature(*this, path, bytes) )
        return SIGNATURE_KEPT;
    wxString error;
    if ( !ReplaceFile(path, bytes, error) )
    {
        wxLogError(_("The signature file \"%s\" could not be written.\n%s.\nIt was to show "
                     "this post:\n Title : %s\n Link: %s"), path, error,
                   ShowControlsInLine(m_lastTitle), ShowControlsInLine(m_lastLink));
        return SIGNATURE_CANNOT_WRITE;
    }
    if ( replaced > 0 )
        wxLogWarning(_("The signature file \"%s\" is written in %s, the encoding of your "
                       "locale, which cannot hold %zu of its characters; each was written as "
                       "\"?\". A UTF-8 locale (such as C.UTF-8) keeps them all."), path, codeset,
                     replaced);
    RememberSignature(*this, bytes);
    return SIGNATURE_WRITTEN;
}
