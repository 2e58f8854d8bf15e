#include "base/httpclient.h"

#include "base/displaytext.h"

#include <wx/log.h>
#include <wx/translation.h>
#include <wx/utils.h>

#include <cstdlib>
#include <cstring>

namespace
{

// Header bytes of one response beyond which the server is not taken seriously.
const std::size_t MAX_HEADER_BYTES = 256 * 1024;

using CurlUrl = std::unique_ptr<CURLU, void (*)(CURLU*)>;

CurlUrl NewUrl()
{
    return CurlUrl(curl_url(), curl_url_cleanup);
}

std::string GetPart(CURLU* url, CURLUPart part)
{
    char* text = nullptr;
    if ( curl_url_get(url, part, &text, 0) != CURLUE_OK || !text )
        return std::string();
    std::string result(text);
    curl_free(text);
    return result;
}

// libcurl would otherwise guess http for an address without scheme and follow a redirection
// to any protocol it knows, so only complete http and https addresses get through.
bool IsHttpWithHost(CURLU* url)
{
    const std::string scheme = GetPart(url, CURLUPART_SCHEME);
    return (scheme == "http" || scheme == "https") && !GetPart(url, CURLUPART_HOST).empty();
}

bool FinishAddress(CURLU* url, std::string& result)
{
    if ( !IsHttpWithHost(url) )
        return false;
    curl_url_set(url, CURLUPART_FRAGMENT, nullptr, 0);
    result = GetPart(url, CURLUPART_URL);
    return !result.empty();
}

bool IsTlsFailure(CURLcode code)
{
    switch ( code )
    {
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_CRL_BADFILE:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_ENGINE_NOTFOUND:
        case CURLE_SSL_ENGINE_SETFAILED:
        case CURLE_SSL_ENGINE_INITFAILED:
        case CURLE_USE_SSL_FAILED:
            return true;
        default:
            return false;
    }
}

// "Not Found" of "HTTP/1.1 404 Not Found\r\n"; empty when the line has none.
std::string StatusReason(const std::string& statusLine)
{
    const size_t code = statusLine.find(' ');
    const size_t reason = code == std::string::npos ? code : statusLine.find(' ', code + 1);
    if ( reason == std::string::npos )
        return std::string();
    const size_t end = statusLine.find_last_not_of(" \t\r\n");
    return end > reason ? statusLine.substr(reason + 1, end - reason) : std::string();
}

// "blog.example port 443" for an address.
wxString HostAndPort(const std::string& url)
{
    CurlUrl parsed = NewUrl();
    if ( !parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK )
        return wxString::FromUTF8(url);
    char* port = nullptr;
    curl_url_get(parsed.get(), CURLUPART_PORT, &port, CURLU_DEFAULT_PORT);
    const wxString result = wxString::FromUTF8(GetPart(parsed.get(), CURLUPART_HOST))
                            + " port " + (port ? port : "?");
    curl_free(port);
    return result;
}

// libcurl's words for a failed transfer: its own message, else what its code means.
wxString Words(const char* text, CURLcode code = CURLE_OK)
{
    // The reason phrase, and what libcurl quotes of a reply, are the server's words.
    return ShowControlsInLine(
        wxString::FromUTF8(*text || code == CURLE_OK ? text : curl_easy_strerror(code)));
}

} // anonymous namespace

bool NormalizeAddress(const std::string& url, std::string& normalized)
{
    CurlUrl parsed = NewUrl();
    if ( !parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK )
        return false;
    return FinishAddress(parsed.get(), normalized);
}

bool ResolveLocation(const std::string& base, const std::string& location, std::string& resolved)
{
    // libcurl 7.88 resolves "#part" to the base's folder; a fragment alone names the base.
    if ( !location.empty() && location[0] == '#' )
        return NormalizeAddress(base, resolved);
    CurlUrl parsed = NewUrl();
    if ( !parsed || location.empty()
         || curl_url_set(parsed.get(), CURLUPART_URL, base.c_str(), 0) != CURLUE_OK )
        return false;
    // Setting a URL on a handle that holds one resolves it as a relative reference. Servers
    // send blanks and raw UTF-8 in Location; browsers encode them, and so does this.
    if ( curl_url_set(parsed.get(), CURLUPART_URL, location.c_str(),
                      CURLU_URLENCODE | CURLU_ALLOW_SPACE) != CURLUE_OK )
        return false;
    return FinishAddress(parsed.get(), resolved);
}

bool GetHeaderValue(const std::string& line, const char* name, std::string& value)
{
    const size_t length = std::strlen(name);
    if ( line.size() <= length || line[length] != ':'
         || strncasecmp(line.c_str(), name, length) != 0 )
        return false;
    const size_t begin = line.find_first_not_of(" \t", length + 1);
    const size_t end = line.find_last_not_of(" \t\r\n");
    value.clear();
    if ( begin != std::string::npos && end >= begin )
        value = line.substr(begin, end - begin + 1);
    return true;
}

bool IsRedirection(long status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

int MapTransferResult(CURLcode code, bool connected, long status)
{
    if ( code == CURLE_OK )
        return status >= 400 ? HTTP_STATUS_ERROR : HTTP_OK;
    if ( IsTlsFailure(code) )
        return HTTP_TLS_ERROR;
    switch ( code )
    {
        case CURLE_URL_MALFORMAT:
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return HTTP_BAD_ADDRESS;
        case CURLE_COULDNT_CONNECT:
            return HTTP_CONNECT_ERROR;
        case CURLE_OPERATION_TIMEDOUT:
            return connected ? HTTP_NETWORK_ERROR : HTTP_CONNECT_ERROR;
        case CURLE_FILESIZE_EXCEEDED:
            return HTTP_TOO_LARGE;
        default:
            // Among others: a reset or closed connection, an answer without a status line
            // (libcurl reports HTTP/0.9 as an unsupported protocol), a broken compression.
            return HTTP_NETWORK_ERROR;
    }
}

struct HttpClient::Response
{
    enum Stop
    {
        NOT_STOPPED,
        ANSWERED,        // the sink has what it needs
        NOT_WANTED,      // a redirection or an error status: its body is of no use
        TOO_LARGE,
        HEADERS_TOO_LARGE,
        CANCELLED
    };

    CURL* curl;
    const BodySink* sink;
    const std::function<bool(std::size_t)>* progress = nullptr;
    std::size_t maxBody;
    long status = 0;
    std::string reason;  // the status line's reason phrase, such as "Not Found"
    std::string location;
    std::string etag;
    std::string lastModified;
    std::size_t bodyBytes = 0;
    std::size_t headerBytes = 0;
    Stop stop = NOT_STOPPED;
    char error[CURL_ERROR_SIZE] = "";  // libcurl's own words for a failed transfer
};

HttpClient::HttpClient(const HttpOptions& options)
    : m_options(options),
      m_curl(curl_easy_init(), curl_easy_cleanup),
      m_headers(nullptr, curl_slist_free_all),
      m_conditionalHeaders(nullptr, curl_slist_free_all),
      m_connectTo(nullptr, curl_slist_free_all)
{
    for ( const std::string& header : m_options.headers )
    {
        m_headers.reset(curl_slist_append(m_headers.release(), header.c_str()));
        m_conditionalHeaders.reset(curl_slist_append(m_conditionalHeaders.release(),
                                                     header.c_str()));
    }
    for ( const std::string& header : m_options.conditionalHeaders )
        m_conditionalHeaders.reset(curl_slist_append(m_conditionalHeaders.release(),
                                                     header.c_str()));
    if ( m_options.conditionalHeaders.empty()
         || !NormalizeAddress(m_options.conditionalUrl, m_conditionalUrl) )
        m_conditionalUrl.clear();
    for ( const std::string& entry : m_options.connectTo )
        m_connectTo.reset(curl_slist_append(m_connectTo.release(), entry.c_str()));
}

HttpClient::~HttpClient() = default;

size_t HttpClient::OnHeader(char* data, size_t size, size_t count, void* context)
{
    auto& response = *static_cast<Response*>(context);
    const size_t bytes = size * count;
    response.headerBytes += bytes;
    if ( response.headerBytes > MAX_HEADER_BYTES )
    {
        response.stop = Response::HEADERS_TOO_LARGE;
        return 0;
    }
    const std::string line(data, bytes);
    if ( line.compare(0, 5, "HTTP/") == 0 )
    {
        // An interim 1xx answer came first.
        response.location.clear();
        response.etag.clear();
        response.lastModified.clear();
        response.headerBytes = bytes;
        response.reason = StatusReason(line);
    }
    else
    {
        std::string value;
        if ( GetHeaderValue(line, "location", value) && !value.empty() )
            response.location = value;
        else if ( GetHeaderValue(line, "etag", value) )
            response.etag = value;
        else if ( GetHeaderValue(line, "last-modified", value) )
            response.lastModified = value;
    }
    return bytes;
}

size_t HttpClient::OnBody(char* data, size_t size, size_t count, void* context)
{
    auto& response = *static_cast<Response*>(context);
    const size_t bytes = size * count;
    if ( response.bodyBytes == 0 )
    {
        curl_easy_getinfo(response.curl, CURLINFO_RESPONSE_CODE, &response.status);
        if ( IsRedirection(response.status) || response.status >= 400 )
        {
            response.stop = Response::NOT_WANTED;
            return 0;
        }
    }
    // libcurl enforces its own size limit only when the server sends a Content-Length, and
    // that counts compressed bytes; the cap is on what the reader is handed.
    response.bodyBytes += bytes;
    if ( response.bodyBytes > response.maxBody )
    {
        response.stop = Response::TOO_LARGE;
        return 0;
    }
    if ( !(*response.sink)(data, bytes) )
    {
        response.stop = Response::ANSWERED;
        return 0;
    }
    return bytes;
}

int HttpClient::OnProgress(void* context, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    auto& response = *static_cast<Response*>(context);
    if ( (*response.progress)(response.bodyBytes) )
        return 0;
    response.stop = Response::CANCELLED;
    return 1;
}

void HttpClient::SetOptions(long timeoutMs)
{
    CURL* curl = m_curl.get();
    curl_easy_reset(curl);
    curl_easy_setopt(curl, CURLOPT_URL, m_url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    m_conditionalSent = !m_conditionalUrl.empty() && m_url == m_conditionalUrl;
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER,
                     m_conditionalSent ? m_conditionalHeaders.get() : m_headers.get());
    curl_easy_setopt(curl, CURLOPT_CONNECT_TO, m_connectTo.get());
    if ( m_options.compressed )
        curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "gzip, deflate");
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, m_options.connectTimeoutSecs);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, m_options.lowSpeedTimeSecs);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, timeoutMs);

    // libcurl's built-in bundle path hides SSL_CERT_FILE from OpenSSL, so pass it on here.
    // libcurl copies the string.
    wxString caFile = m_options.caFile;
    if ( caFile.empty() )
        wxGetEnv("SSL_CERT_FILE", &caFile);
    if ( !caFile.empty() )
        curl_easy_setopt(curl, CURLOPT_CAINFO, static_cast<const char*>(caFile.fn_str()));
}

void HttpClient::SetCallbacks(Response& response)
{
    CURL* curl = m_curl.get();
    response.curl = curl;
    response.sink = &m_sink;
    response.maxBody = m_options.maxBodySize;
    curl_easy_setopt(curl, CURLOPT_PRIVATE, this);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &HttpClient::OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &response);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &HttpClient::OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &response);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, response.error);
    if ( m_options.progress )
    {
        response.progress = &m_options.progress;
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &HttpClient::OnProgress);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &response);
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    }
}

int HttpClient::MapOutcome(CURLcode code, const Response& response)
{
    switch ( response.stop )
    {
        case Response::ANSWERED:
        case Response::NOT_WANTED:
            code = CURLE_OK;
            break;
        case Response::TOO_LARGE:
            return HTTP_TOO_LARGE;
        case Response::HEADERS_TOO_LARGE:
            return HTTP_NETWORK_ERROR;
        case Response::CANCELLED:
            return HTTP_CANCELLED;
        case Response::NOT_STOPPED:
            break;
    }
    curl_off_t connectTime = 0;
    curl_easy_getinfo(m_curl.get(), CURLINFO_CONNECT_TIME_T, &connectTime);
    return MapTransferResult(code, connectTime > 0, response.status);
}

wxString HttpClient::Describe(int result, CURLcode code, const Response& response) const
{
    const wxString url = wxString::FromUTF8(m_url);
    switch ( result )
    {
        case HTTP_STATUS_ERROR:
            return wxString::Format(_("The server answered %ld %s for %s"), response.status,
                                    Words(response.reason.c_str()), url);
        case HTTP_TOO_LARGE:
            return wxString::Format(_("The answer from %s is larger than %s"), url,
                                    DescribeSize(m_options.maxBodySize));
        case HTTP_BAD_ADDRESS:
            return wxString::Format(_("The host name of %s cannot be found (%s)"), url,
                                    Words(response.error, code));
        case HTTP_TLS_ERROR:
            return wxString::Format(_("The secure connection to %s failed: %s"), HostAndPort(m_url),
                                    Words(response.error, code));
        case HTTP_CONNECT_ERROR:
        {
            if ( code == CURLE_OPERATION_TIMEDOUT )
                return wxString::Format(_("Could not connect to %s within %ld seconds"),
                                        HostAndPort(m_url), m_options.connectTimeoutSecs);
            long osError = 0;
            curl_easy_getinfo(m_curl.get(), CURLINFO_OS_ERRNO, &osError);
            return wxString::Format(_("Could not connect to %s: %s"), HostAndPort(m_url),
                                    osError ? wxSysErrorMsgStr(osError) : Words(response.error, code));
        }
    }
    if ( response.stop == Response::HEADERS_TOO_LARGE )
        return wxString::Format(_("The server at %s sent more than 256 KB of headers"), url);
    if ( code == CURLE_OPERATION_TIMEDOUT )
        return wxString::Format(_("The server at %s stopped sending: %s"), url,
                                Words(response.error, code));
    if ( code == CURLE_UNSUPPORTED_PROTOCOL || code == CURLE_WEIRD_SERVER_REPLY )
        return wxString::Format(_("The server at %s did not answer in HTTP (%s)"), url,
                                Words(response.error, code));
    return wxString::Format(_("The connection to %s failed: %s"), url,
                            Words(response.error, code));
}

wxString DescribeSize(std::size_t bytes)
{
    if ( bytes % (1 << 20) == 0 )
        return wxString::Format("%zu MiB", bytes >> 20);
    if ( bytes % (1 << 10) == 0 )
        return wxString::Format("%zu KiB", bytes >> 10);
    return wxString::Format(_("%zu bytes"), bytes);
}

int HttpClient::Get(const wxString& url, const BodySink& sink)
{
    return Start(url, sink) ? Finish() : m_result;
}

int HttpClient::Finish()
{
    while ( Continue(curl_easy_perform(m_curl.get())) )
        ;
    return m_result;
}

bool HttpClient::Start(const wxString& url, const BodySink& sink)
{
    m_redirects = 0;
    m_error.clear();
    m_status = 0;
    m_etag.clear();
    m_lastModified.clear();
    m_sink = sink;
    m_result = HTTP_OK;
    if ( !m_curl || !NormalizeAddress(std::string(url.utf8_str()), m_url) )
    {
        m_error = wxString::Format(_("\"%s\" is not a complete http:// or https:// address "
                                     "with a host name"), url);
        m_result = HTTP_BAD_ADDRESS;
        return false;
    }
    m_deadline = std::chrono::steady_clock::now()
                 + std::chrono::seconds(m_options.totalTimeoutSecs);
    return Prepare();
}

bool HttpClient::Prepare()
{
    const auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(
        m_deadline - std::chrono::steady_clock::now());
    if ( remaining.count() <= 0 )
    {
        m_error = wxString::Format(_("Reading %s took longer than %ld seconds"),
                                   wxString::FromUTF8(m_url), m_options.totalTimeoutSecs);
        m_result = HTTP_NETWORK_ERROR;
        return false;
    }
    m_response = std::make_unique<Response>();
    SetOptions(static_cast<long>(remaining.count()));
    SetCallbacks(*m_response);
    return true;
}

bool HttpClient::Continue(CURLcode code)
{
    const Response& response = *m_response;
    if ( response.status == 0 )
        curl_easy_getinfo(m_curl.get(), CURLINFO_RESPONSE_CODE, &m_response->status);
    m_result = MapOutcome(code, response);
    if ( m_result != HTTP_OK )
        m_error = Describe(m_result, code, response);
    m_status = response.status;
    m_etag = response.etag;
    m_lastModified = response.lastModified;
    if ( m_result != HTTP_OK || !IsRedirection(response.status) )
        return false;
    m_result = FollowRedirection(response);
    return m_result == HTTP_OK && Prepare();
}

int HttpClient::FollowRedirection(const Response& response)
{
    const wxString from = wxString::FromUTF8(m_url);
    const wxString location = ShowControlsInLine(wxString::FromUTF8(response.location));
    if ( ++m_redirects > m_options.maxRedirects )
    {
        m_error = wxString::Format(_("More than %d redirections; the last one, from %s, went "
                                     "to \"%s\""), m_options.maxRedirects, from, location);
        return static_cast<int>(response.status);
    }
    std::string next;
    if ( !ResolveLocation(m_url, response.location, next) )
    {
        if ( response.location.empty() )
            m_error = wxString::Format(_("The server answered %ld for %s without saying where "
                                         "to go (no Location)"), response.status, from);
        else
            m_error = wxString::Format(_("The server redirected %s to \"%s\", which is not an "
                                         "http:// or https:// address with a host name"),
                                       from, location);
        return HTTP_BAD_ADDRESS;
    }
    m_url = next;
    return HTTP_OK;
}
