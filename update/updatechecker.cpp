#include "update/updatechecker.h"

#include "base/buildinfo.h"
#include "update/updatekeys.h"

#include <wx/app.h>
#include <wx/translation.h>
#include <wx/utils.h>

namespace
{

// The information file is a line or two; anything larger is not it.
const std::size_t MAX_RESPONSE_SIZE = 64 * 1024;

// The k-th field (from 1) after the leading separator; empty when there is no such field.
wxString GetField(const wxString& text, wxChar separator, int k)
{
    wxString rest = text;
    for ( int i = 0; i < k; ++i )
        rest = rest.AfterFirst(separator);
    return rest.BeforeFirst(separator);
}

} // anonymous namespace

wxString GetUpdateInfoUrl()
{
    wxString url;
    if ( wxGetEnv("FEEDQUILL_UPDATE_URL", &url) && !url.empty() )
        return url;
    return FEEDQUILL_UPDATE_URL;
}

wxString GetProgramName()
{
    wxAppConsole* app = wxAppConsole::GetInstance();
    return app ? app->GetAppName() : wxString("feedquill");
}

UpdateChecker::UpdateChecker()
    : m_httpOptions(GetDefaultHttpOptions())
{
}

UpdateChecker::~UpdateChecker()
{
    if ( !m_error )
        return;
    const long errors = ReadErrorCount() + 1;
    WriteErrorCount(errors);
    if ( errors >= 3 )
        RecordUpdateCheck();
}

HttpOptions UpdateChecker::GetDefaultHttpOptions()
{
    HttpOptions options;
    options.headers.push_back("Accept: text/*");
    options.headers.push_back("Content-type: text/html; charset=utf-8");
    options.headers.push_back(std::string("User-Agent: ")
                              + GetProgramName().utf8_str().data()
                              + " Check For Update Agent");
    options.maxRedirects = 5;
    options.maxBodySize = MAX_RESPONSE_SIZE;
    options.connectTimeoutSecs = 15;
    options.lowSpeedTimeSecs = 15;
    options.totalTimeoutSecs = 120;
    return options;
}

bool UpdateChecker::Fetch(const wxString& url)
{
    HttpClient client(m_httpOptions);
    std::string body;
    const int result = client.Get(url, [&body](const char* data, size_t size)
                                       {
                                           body.append(data, size);
                                           return true;
                                       });
    if ( result != HTTP_OK )
    {
        // A check the user stopped is not a failed one.
        m_error = result != HTTP_CANCELLED;
        m_errorDetail = client.GetErrorDetail();
        return false;
    }
    m_response += wxString::FromUTF8(body.data(), body.size());
    return true;
}

int UpdateChecker::Check(const wxString& url, double currentVersion)
{
    if ( !Fetch(url) )
        return UPDATE_CHECK_FAILED;
    return ReadResponse(currentVersion);
}

int UpdateChecker::ReadResponse(double currentVersion)
{
    const wxString text = wxString(m_response).Trim(true).Trim(false);
    if ( text.length() < 2 )
        return UPDATE_CHECK_LATEST;
    const wxChar separator = text[0];
    // The file is ours and says "1.1" whatever the user's locale says.
    if ( !GetField(text, separator, 1).ToCDouble(&m_newVersion) )
    {
        m_error = true;
        m_errorDetail = _("The answer names no version number");
        return UPDATE_CHECK_FAILED;
    }
    RecordUpdateCheck();
    if ( !(currentVersion < m_newVersion) )
        return UPDATE_CHECK_LATEST;
    m_newVersionAvailable = true;
    m_newVersionText = GetField(text, separator, 2);
    m_releaseDate = GetField(text, separator, 3);
    m_notes = GetField(text, separator, 4);
    return UPDATE_CHECK_NEWER;
}

wxString UpdateChecker::GetResultMessage(const wxString& currentVersionText) const
{
    if ( m_error && !m_errorDetail.empty() )
        return _("Error while getting information about new version.") + "\n" + m_errorDetail
               + ".";
    if ( m_error )
        return _("Error while getting information about new version.");
    if ( m_newVersionAvailable )
    {
        return wxString::Format(_("New version of %s is available.\n\n"
                                  "   Current version:  %s\n"
                                  "   New version:  %s\n"
                                  "   Release date:  %s\n\n%s"),
                                GetProgramName(), currentVersionText, m_newVersionText,
                                m_releaseDate, m_notes);
    }
    return _("You are using the latest version.");
}
