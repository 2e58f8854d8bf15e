#ifndef FEEDQUILL_UPDATE_UPDATECHECKER_H
#define FEEDQUILL_UPDATE_UPDATECHECKER_H

#include "base/httpclient.h"

#include <wx/string.h>

// Results of UpdateChecker::Check.
enum UpdateCheckResult
{
    UPDATE_CHECK_FAILED = -1,
    UPDATE_CHECK_LATEST = 0,
    UPDATE_CHECK_NEWER = 1
};

// One check for a newer version: fetches the update information file, which holds a separator
// character and then the version number, the version's name, its date and a text, each ended
// by the separator. Destroying a checker counts a failed check; the third failure in a row
// counts as a check done, so that a broken site is not asked at every start.
class UpdateChecker
{
public:
    UpdateChecker();
    ~UpdateChecker();

    int Check(const wxString& url, double currentVersion);
    bool Fetch(const wxString& url);
    // Reads the information file fetched into the response, as Check does after Fetch.
    int ReadResponse(double currentVersion);
    void SetResponse(const wxString& response) { m_response = response; }
    wxString GetResultMessage(const wxString& currentVersionText) const;

    // The request of a check: headers and limits. Tests shorten the limits.
    static HttpOptions GetDefaultHttpOptions();
    void SetHttpOptions(const HttpOptions& options) { m_httpOptions = options; }

private:
    bool m_newVersionAvailable = false;
    double m_newVersion = 0;
    wxString m_response;
    wxString m_newVersionText;
    wxString m_releaseDate;
    wxString m_notes;
    bool m_error = false;
    wxString m_errorDetail;  // why the check failed, in words
    HttpOptions m_httpOptions;
};

// The address of the update information file: the one built in, unless the environment
// variable FEEDQUILL_UPDATE_URL names another (a mirror, or a test server).
wxString GetUpdateInfoUrl();

// The name the messages give the program: the executable's name, as the toolkit derives it.
wxString GetProgramName();

#endif
