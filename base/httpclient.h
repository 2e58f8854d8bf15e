#ifndef FEEDQUILL_BASE_HTTPCLIENT_H
#define FEEDQUILL_BASE_HTTPCLIENT_H

#include <wx/string.h>

#include <curl/curl.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Results of an HTTP transfer, as the feed read and the update check report them. Too many
// redirections give the status code of the last redirection response instead (301, 302, ...).
enum HttpResult
{
    HTTP_OK = 0,
    HTTP_NETWORK_ERROR = 1,   // no answer in time, a broken connection, no HTTP status line
    HTTP_CONNECT_ERROR = 3,   // the connection could not be opened
    HTTP_STATUS_ERROR = 6,    // the server answered 4xx or 5xx
    HTTP_BAD_ADDRESS = 11,    // not an http or https address with a host, or an unknown host
    HTTP_TLS_ERROR = 12,      // untrusted certificate, failed handshake
    HTTP_TOO_LARGE = 13,      // the body reached the size cap before the reader had enough
    HTTP_CANCELLED = 14       // the progress callback asked to stop
};

// What one kind of request needs: its headers and the limits that keep a broken or hostile
// server from hanging the program or exhausting the machine. The defaults are a feed read's;
// other requests set their own.
struct HttpOptions
{
    std::vector<std::string> headers;       // "Name: value"
    // The headers of a conditional request (If-None-Match, If-Modified-Since), sent only to
    // conditionalUrl, the address whose answer gave the validators: never to another address
    // on the way there or beyond it.
    std::vector<std::string> conditionalHeaders;
    std::string conditionalUrl;
    int maxRedirects = 11;
    std::size_t maxBodySize = 32 << 20;     // decoded bytes
    long connectTimeoutSecs = 30;
    long lowSpeedTimeSecs = 30;             // below 1 byte per second for this long: give up
    long totalTimeoutSecs = 300;            // the whole read, redirections included
    bool compressed = true;                 // ask for gzip or deflate
    wxString caFile;                        // trusted certificates; empty: SSL_CERT_FILE, else
                                            // the system's store
    // Called on the transfer's thread while it runs, at least about once a second even when
    // nothing arrives, with the body bytes of the current response received so far (0 while
    // connecting or waiting). Returning false stops the transfer with HTTP_CANCELLED.
    std::function<bool(std::size_t bodyBytes)> progress;
    // Connections for one "host:port" go to another ("HOST:PORT:TO-HOST:TO-PORT", libcurl's
    // CONNECT_TO): how tests serve the standard ports from loopback ports of their own.
    std::vector<std::string> connectTo;
};

// Fetches one address with GET over http or https, following redirections itself so that it
// can count them and check where they lead.
class HttpClient
{
public:
    // Receives the decoded body of the final response as it arrives. Returning false ends the
    // transfer early; Get then succeeds, since the receiver has what it needs.
    using BodySink = std::function<bool(const char* data, std::size_t size)>;

    explicit HttpClient(const HttpOptions& options);
    ~HttpClient();

    int Get(const wxString& url, const BodySink& sink);

    // Get in steps, for a caller that runs several transfers at once on its thread
    // (HttpMulti): Start prepares the first request on GetHandle(); false when there is none
    // to run, the result being known already (a bad address). Once the handle's transfer has
    // ended with code, Continue takes its outcome; true when it prepared another request on
    // the handle (a redirection). GetResult is then what Get would have returned.
    bool Start(const wxString& url, const BodySink& sink);
    bool Continue(CURLcode code);
    int GetResult() const { return m_result; }
    CURL* GetHandle() const { return m_curl.get(); }
    // Runs the transfer that Start prepared to its end, as Get does; its result.
    int Finish();

    int GetRedirects() const { return m_redirects; }
    // What went wrong in the last Get, in words that name the address or host; empty after
    // a success.
    const wxString& GetErrorDetail() const { return m_error; }
    // The address that gave the final response.
    const std::string& GetFinalUrl() const { return m_url; }
    // The final response's status (304 when a conditional request found nothing new), and
    // its validators for the next conditional request: empty when it sent none.
    long GetStatus() const { return m_status; }
    const std::string& GetETag() const { return m_etag; }
    const std::string& GetLastModified() const { return m_lastModified; }
    // Whether the final request carried the conditional headers.
    bool WasConditional() const { return m_conditionalSent; }

private:
    struct Response;

    // One request to m_url, without following a redirection: its options, the transfer, and
    // the result number of its outcome.
    void SetOptions(long timeoutMs);
    // Sets up the next request to m_url on the handle; false when no time is left.
    bool Prepare();
    void SetCallbacks(Response& response);
    int MapOutcome(CURLcode code, const Response& response);
    wxString Describe(int result, CURLcode code, const Response& response) const;
    // Goes on to the Location of a redirection: HTTP_OK, or the result that ends the Get.
    int FollowRedirection(const Response& response);

    static size_t OnBody(char* data, size_t size, size_t count, void* response);
    static size_t OnHeader(char* data, size_t size, size_t count, void* response);
    static int OnProgress(void* response, curl_off_t, curl_off_t, curl_off_t, curl_off_t);

    HttpOptions m_options;
    std::unique_ptr<CURL, void (*)(CURL*)> m_curl;
    std::unique_ptr<curl_slist, void (*)(curl_slist*)> m_headers;
    std::unique_ptr<curl_slist, void (*)(curl_slist*)> m_conditionalHeaders;  // with headers
    std::string m_conditionalUrl;  // normalized; empty when there is none
    bool m_conditionalSent = false;
    std::unique_ptr<curl_slist, void (*)(curl_slist*)> m_connectTo;
    std::string m_url;
    int m_redirects = 0;
    wxString m_error;
    long m_status = 0;
    std::string m_etag;
    std::string m_lastModified;
    BodySink m_sink;
    std::unique_ptr<Response> m_response;  // of the request prepared or running
    std::chrono::steady_clock::time_point m_deadline;
    int m_result = HTTP_OK;
};

// Checks that url is an absolute http or https address with a host; on success, normalized
// holds it as it will be requested, without its fragment (which never leaves the client).
bool NormalizeAddress(const std::string& url, std::string& normalized);
// Resolves a Location header against the address that sent it, relative forms included; false
// when the result is not an http or https address with a host.
bool ResolveLocation(const std::string& base, const std::string& location, std::string& resolved);
// The result number of a finished transfer: libcurl's outcome, whether a connection had been
// made, and the HTTP status received.
int MapTransferResult(CURLcode code, bool connected, long status);
// "32 MiB", "512 KiB" or "1000 bytes".
wxString DescribeSize(std::size_t bytes);
// Whether an HTTP status asks the client to go to its Location.
bool IsRedirection(long status);
// The value of a header line ("Name: value\r\n") when its name is name (in any letter case),
// without the blanks around it.
bool GetHeaderValue(const std::string& line, const char* name, std::string& value);

#endif
