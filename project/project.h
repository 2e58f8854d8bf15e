#ifndef FEEDQUILL_PROJECT_PROJECT_H
#define FEEDQUILL_PROJECT_PROJECT_H

#include <wx/arrstr.h>
#include <wx/string.h>

#include <functional>

// Results of Project::WriteSignature, and of Project::Update once the feed was read.
enum SignatureResult
{
    SIGNATURE_WRITTEN = 0,
    SIGNATURE_UPDATE_FAILED = 1,  // Update only: the feed could not be read
    SIGNATURE_NO_FILE = 2,
    SIGNATURE_CANNOT_WRITE = 3,
    SIGNATURE_NO_TEMPLATE = 4,    // the template file is there but could not be read, or, in
                                  // a command-line run, no template was saved
    SIGNATURE_KEPT = 5,           // the window's user chose to keep the file as it was
    SIGNATURE_SETTINGS_NOT_SAVED = 6  // Update only: the signature was written, but the
                                      // settings that remember the post could not be
};

// The signature template used when the project's template file is empty.
extern const char* const kDefaultTemplate;

// The current project: its settings, its template text and the flags of this run. The
// operations on settings and templates are in project/project.cpp; the ones that reach the
// network or tell the user stand above the feed and update layers, each in a file of its own.
class Project
{
public:
    wxString m_name;
    wxString m_feedURL;
    wxString m_filePath;
    wxString m_templateName;
    wxString m_template;
    // Why the template file could not be read when it was last loaded; empty when it could.
    // A signature is then never written from what m_template holds.
    wxString m_templateError;
    // Whether m_template is the built-in sample, because no template was saved (the file is
    // missing or empty). A command-line run never writes it into the signature file.
    bool m_templateIsSample = false;
    wxString m_lastTitle;
    wxString m_lastLink;
    // More of the same post and its feed: "LastDate" (UTC, "YYYY-MM-DDTHH:MM:SSZ"),
    // "LastSummary", "LastAuthor", "FeedTitle", "FeedLink"; each empty when the feed said none.
    wxString m_lastDate;
    wxString m_lastSummary;
    wxString m_lastAuthor;
    wxString m_feedTitle;
    wxString m_feedLink;
    // The validators (ETag, Last-Modified) of the answer that gave the last title and link;
    // forgotten when the feed address changes.
    wxString m_etag;
    wxString m_lastModified;
    // The address whose answer gave them: they are sent there only.
    wxString m_validatorURL;
    bool m_quiet = false;
    bool m_cmdMode = false;
    bool m_updateCheckDue = false;
    // A run that only reads (--print): loading creates no missing template file.
    bool m_readOnly = false;

    void Load(wxString name);
    void SetFeedURL(wxString url);
    void SetFilePath(wxString path);
    // Stores the newest post found outside an update run (the window's check of an address).
    void SetLastPost(const wxString& title, const wxString& link);

    void LoadTemplate();
    // Replaces the file named after the project with m_template. takeText runs once the file
    // is known to be writable, to bring the text being edited into m_template. False when the
    // file could not be written; the old file is then left as it was.
    bool SaveTemplate(const std::function<void()>& takeText = {});
    wxString GetTemplateDir() const;
    // The signature file's path as the file system takes it: a leading "~/" is the home folder.
    wxString GetSignaturePath() const;

    // The update run (run/updaterun.cpp): reads the feed, stores the newest post's title and
    // link, writes the signature and, when due, checks for a newer version. A SignatureResult.
    int Update();
    // Writes the signature from the template and the stored title and link
    // (run/updaterun.cpp). A SignatureResult.
    int WriteSignature();
    // Looks for a newer version and tells the user (run/checkforupdates.cpp); quiet keeps
    // quiet unless there is one.
    void CheckForUpdates(bool quiet);
    // The configuration key of one of this project's entries, such as "FeedURL".
    wxString GetKey(const wxString& entry) const;
};

extern Project g_project;

// The names of the projects Feedquill.cfg holds (its groups under "/project"), in the file's
// order.
wxArrayString ListProjects();
// Whether a project of this name can be made: its group and its template file need a name
// that is neither empty nor ".", "..", nor holds "/", "\\" or a control character, and whose
// first character is not a blank. False with the reason in words.
bool CheckProjectName(const wxString& name, wxString& reason);
// Whether CreateProject would make this project: its name can be one (CheckProjectName) and no
// project of that name is there. False with the reason in words.
bool CanCreateProject(const wxString& name, wxString& reason);
// Makes a project: its group, with the template file named after it (empty). False, with the
// reason logged, when the name cannot be one or the project is there already.
bool CreateProject(const wxString& name);

#endif
