#include "base/httpclient.h"

#include <wx/utils.h>

#include <chrono>
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
    std::string location;
    std::size_t bodyBytes = 0;
    std::size_t headerBytes = 0;
    Stop stop = NOT_STOPPED;
};

HttpClient::HttpClient(const HttpOptions& options)
    : m_options(options),
      m_curl(curl_easy_init(), curl_easy_cleanup),
      m_headers(nullptr, curl_slist_free_all)
{
    for ( const std::string& header : m_options.headers )
        m_headers.reset(curl_slist_append(m_headers.release(), header.c_str()));
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
        response.location.clear();  // an interim 1xx answer came first
        response.headerBytes = bytes;
    }
    else if ( line.size() > 9 && strncasecmp(line.c_str(), "location:", 9) == 0 )
    {
        const size_t begin = line.find_first_not_of(" \t", 9);
        const size_t end = line.find_last_not_of(" \t\r\n");
        if ( begin != std::string::npos && end >= begin )
            response.location = line.substr(begin, end - begin + 1);
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
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, m_headers.get());
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

CURLcode HttpClient::Perform(const BodySink& sink, Response& response)
{
    CURL* curl = m_curl.get();
    response.curl = curl;
    response.sink = &sink;
    response.maxBody = m_options.maxBodySize;
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &HttpClient::OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &response);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &HttpClient::OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &response);
    if ( m_options.progress )
    {
        response.progress = &m_options.progress;
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &HttpClient::OnProgress);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &response);
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    }

    const CURLcode code = curl_easy_perform(curl);
    if ( response.status == 0 )
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &response.status);
    return code;
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

int HttpClient::Get(const wxString& url, const BodySink& sink)
{
    using Clock = std::chrono::steady_clock;
    m_redirects = 0;
    if ( !m_curl || !NormalizeAddress(std::string(url.utf8_str()), m_url) )
        return HTTP_BAD_ADDRESS;

    const Clock::time_point deadline =
        Clock::now() + std::chrono::seconds(m_options.totalTimeoutSecs);
    for ( ;; )
    {
        const auto remaining =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if ( remaining.count() <= 0 )
            return HTTP_NETWORK_ERROR;

        Response response;
        SetOptions(static_cast<long>(remaining.count()));
        const int result = MapOutcome(Perform(sink, response), response);
        if ( result != HTTP_OK || !IsRedirection(response.status) )
            return result;

        if ( ++m_redirects > m_options.maxRedirects )
            return static_cast<int>(response.status);
        std::string next;
        if ( !ResolveLocation(m_url, response.location, next) )
            return HTTP_BAD_ADDRESS;
        m_url = next;
    }
}
