#include "fixtureserver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>

#ifndef FEEDQUILL_TEST_DATA_DIR
#error "FEEDQUILL_TEST_DATA_DIR must be the tests/data directory as a string literal"
#endif

static const std::size_t s_maxHead = 64 * 1024;
static const std::size_t s_maxBody = 1024 * 1024;
static const std::chrono::seconds s_readTimeout(5);
static const std::chrono::seconds s_writeTimeout(10);
static const std::chrono::seconds s_drainTimeout(2);
// Short enough that a stopping server is noticed well within a second.
static const std::chrono::milliseconds s_slice(50);

// The socket stays ours: SSL_set_fd never closes it.
struct SslDeleter
{
    void operator()(SSL* ssl) const
    {
        SSL_free(ssl);
    }
};

static bool EqualsNoCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

static std::string Trim(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

static std::string WithSlash(const std::string& path)
{
    return !path.empty() && path[0] == '/' ? path : "/" + path;
}

static FixtureRequest ParseHead(const std::string& head)
{
    FixtureRequest request;
    request.raw = head;
    std::size_t lineEnd = head.find("\r\n");
    std::istringstream words(head.substr(0, lineEnd));
    words >> request.method >> request.target >> request.version;
    while (lineEnd != std::string::npos && lineEnd + 2 < head.size())
    {
        const std::size_t lineStart = lineEnd + 2;
        lineEnd = head.find("\r\n", lineStart);
        const std::string line = head.substr(lineStart, lineEnd - lineStart);
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos)
            request.headers.emplace_back(Trim(line.substr(0, colon)), Trim(line.substr(colon + 1)));
    }
    return request;
}

static const std::map<int, std::string> s_reasons = {
    {200, "OK"}, {204, "No Content"}, {301, "Moved Permanently"}, {302, "Found"},
    {303, "See Other"}, {304, "Not Modified"}, {307, "Temporary Redirect"},
    {308, "Permanent Redirect"}, {400, "Bad Request"}, {401, "Unauthorized"},
    {403, "Forbidden"}, {404, "Not Found"}, {410, "Gone"}, {429, "Too Many Requests"},
    {500, "Internal Server Error"}, {502, "Bad Gateway"}, {503, "Service Unavailable"}};

std::string FixtureRequest::Header(const std::string& name) const
{
    for (const auto& header : headers)
    {
        if (EqualsNoCase(header.first, name))
            return header.second;
    }
    return "";
}

FixtureConnection::FixtureConnection(int fd, ssl_st* ssl, const std::atomic<bool>& stop)
    : m_fd(fd), m_ssl(ssl), m_stop(stop)
{
}

bool FixtureConnection::Send(const std::string& bytes)
{
    const char* data = bytes.data();
    std::size_t len = bytes.size();
    // The deadline restarts on progress: a slow reader is fine, a reader that stopped is not.
    Clock::time_point deadline = Clock::now() + s_writeTimeout;
    while (len > 0)
    {
        short events = POLLOUT;
        const long n = Transfer(data, nullptr, len, events);
        if (n < 0 || (n == 0 && !Wait(events, deadline)))
            return false;
        data += n;
        len -= static_cast<std::size_t>(n);
        if (n > 0)
            deadline = Clock::now() + s_writeTimeout;
    }
    return !Stopping();
}

bool FixtureConnection::SendSlowly(const std::string& bytes, std::chrono::milliseconds gap)
{
    for (std::size_t i = 0; i < bytes.size(); ++i)
    {
        if (i > 0)
            Hold(gap);
        if (!Send(std::string(1, bytes[i])))
            return false;
    }
    return !Stopping();
}

bool FixtureConnection::Stopping() const
{
    return m_stop || m_dead;
}

void FixtureConnection::Reset()
{
    if (m_fd < 0)
        return;
    const linger hard = {1, 0};
    setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    close(m_fd);
    m_fd = -1;
    m_dead = true;
}

void FixtureConnection::Hold(std::chrono::milliseconds max)
{
    // Only POLLRDHUP is asked for, so bytes the client sends don't end the silence early.
    if (Wait(POLLRDHUP, Clock::now() + max))
        m_dead = true;
}

// One non-blocking attempt: >0 bytes moved, 0 to retry once Wait(events) agrees, -1 peer gone.
long FixtureConnection::Transfer(const char* out, char* in, std::size_t len, short& events)
{
    if (Stopping() || m_fd < 0)
        return -1;
    const std::size_t chunk = std::min<std::size_t>(len, 1 << 20);
    if (m_ssl)
    {
        ERR_clear_error();
        const int size = static_cast<int>(chunk);
        const int n = out ? SSL_write(m_ssl, out, size) : SSL_read(m_ssl, in, size);
        if (n > 0)
            return n;
        const int error = SSL_get_error(m_ssl, n);
        if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE)
        {
            events = error == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT;
            return 0;
        }
    }
    else
    {
        const ssize_t n = out ? send(m_fd, out, chunk, MSG_NOSIGNAL) : recv(m_fd, in, chunk, 0);
        if (n > 0)
            return n;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            return 0;
    }
    m_dead = true;
    return -1;
}

bool FixtureConnection::Wait(short events, Clock::time_point deadline)
{
    while (!Stopping())
    {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        pollfd pfd = {m_fd, events, 0};
        const int rc = poll(&pfd, 1, static_cast<int>(std::min(left, s_slice).count()));
        if (rc > 0)
            return true;
        if (rc < 0 && errno != EINTR)
            m_dead = true;
    }
    return false;
}

bool FixtureConnection::ReadMore(std::string& data, Clock::time_point deadline)
{
    char buffer[4096];
    for (;;)
    {
        short events = POLLIN;
        const long n = Transfer(nullptr, buffer, sizeof buffer, events);
        if (n > 0)
        {
            data.append(buffer, static_cast<std::size_t>(n));
            return true;
        }
        if (n < 0 || !Wait(events, deadline))
            return false;
    }
}

void FixtureConnection::Finish()
{
    if (m_fd < 0)
        return;
    if (!Stopping())
    {
        // close_notify matters: OpenSSL 3 clients treat a bare EOF as a truncation error.
        if (m_ssl)
        {
            ERR_clear_error();
            SSL_shutdown(m_ssl);
        }
        shutdown(m_fd, SHUT_WR);
        // Let the client hang up first; closing on unread bytes would send a RST that can
        // destroy the response before the client has read it.
        const Clock::time_point deadline = Clock::now() + s_drainTimeout;
        char buffer[4096];
        while (Wait(POLLIN, deadline) && recv(m_fd, buffer, sizeof buffer, 0) > 0)
        {
        }
    }
    close(m_fd);
    m_fd = -1;
}

void FixtureServer::SslCtxDeleter::operator()(ssl_ctx_st* ctx) const
{
    SSL_CTX_free(ctx);
}

FixtureServer::FixtureServer(Tls tls)
    : m_tls(tls)
{
    if (tls != PLAIN)
    {
        const std::string base = std::string(FEEDQUILL_TEST_DATA_DIR "/tls/")
                                 + (tls == TLS_TRUSTED ? "server" : "untrusted");
        m_ctx.reset(SSL_CTX_new(TLS_server_method()));
        if (!m_ctx
            || SSL_CTX_use_certificate_chain_file(m_ctx.get(), (base + ".pem").c_str()) != 1
            || SSL_CTX_use_PrivateKey_file(m_ctx.get(), (base + ".key").c_str(),
                                           SSL_FILETYPE_PEM) != 1)
        {
            std::fprintf(stderr, "FixtureServer: cannot load %s.pem/.key\n", base.c_str());
            return;
        }
        // Send() retries with whatever is left, which plain SSL_write semantics forbid.
        SSL_CTX_set_mode(m_ctx.get(),
                         SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    }
    m_listenFd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof addr;
    if (m_listenFd < 0 || bind(m_listenFd, reinterpret_cast<sockaddr*>(&addr), size) != 0
        || listen(m_listenFd, 64) != 0
        || getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&addr), &size) != 0)
    {
        std::perror("FixtureServer: cannot listen on 127.0.0.1");
        return;
    }
    m_port = ntohs(addr.sin_port);
    m_acceptThread = std::thread([this] { AcceptLoop(); });
}

FixtureServer::~FixtureServer()
{
    m_stop = true;
    if (m_acceptThread.joinable())
        m_acceptThread.join();
    for (std::thread& worker : m_workers)
        worker.join();
    if (m_listenFd >= 0)
        close(m_listenFd);
}

bool FixtureServer::IsOk() const
{
    return m_port != 0;
}

int FixtureServer::Port() const
{
    return m_port;
}

std::string FixtureServer::Url(const std::string& path) const
{
    return std::string(m_tls == PLAIN ? "http" : "https") + "://127.0.0.1:"
           + std::to_string(m_port) + WithSlash(path);
}

void FixtureServer::Serve(const std::string& path, const std::string& rawResponse)
{
    Handle(path, [rawResponse](const FixtureRequest&, FixtureConnection& connection)
    {
        connection.Send(rawResponse);
    });
}

void FixtureServer::Handle(const std::string& path, Handler handler)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handlers[WithSlash(path)] = std::move(handler);
}

std::string FixtureServer::Response(int status, const std::string& body,
                                    const FixtureHeaders& headers, const std::string& reason)
{
    const auto known = s_reasons.find(status);
    const std::string phrase = !reason.empty() ? reason
                               : known != s_reasons.end() ? known->second : "Unknown";
    std::string out = "HTTP/1.1 " + std::to_string(status) + " " + phrase + "\r\n";
    bool hasLength = false;
    bool hasConnection = false;
    for (const auto& header : headers)
    {
        out += header.first + ": " + header.second + "\r\n";
        hasLength = hasLength || EqualsNoCase(header.first, "Content-Length")
                    || EqualsNoCase(header.first, "Transfer-Encoding");
        hasConnection = hasConnection || EqualsNoCase(header.first, "Connection");
    }
    if (!hasLength)
        out += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    if (!hasConnection)
        out += "Connection: close\r\n";
    return out + "\r\n" + body;
}

std::vector<FixtureRequest> FixtureServer::Requests() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

std::size_t FixtureServer::RequestCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests.size();
}

std::string FixtureServer::CaFile()
{
    return FEEDQUILL_TEST_DATA_DIR "/tls/ca.pem";
}

void FixtureServer::AcceptLoop()
{
    // OpenSSL writes with write(), which raises SIGPIPE when the client has left. Blocking it
    // in our threads (workers inherit the mask) turns that into EPIPE without changing the
    // disposition for the whole test binary.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
    while (!m_stop)
    {
        pollfd pfd = {m_listenFd, POLLIN, 0};
        if (poll(&pfd, 1, static_cast<int>(s_slice.count())) <= 0)
            continue;
        const int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0)
            m_workers.emplace_back([this, fd] { ServeConnection(fd); });
    }
}

void FixtureServer::ServeConnection(int fd)
{
    std::unique_ptr<SSL, SslDeleter> ssl;
    if (m_ctx)
    {
        ssl.reset(SSL_new(m_ctx.get()));
        if (!ssl || SSL_set_fd(ssl.get(), fd) != 1)
        {
            close(fd);
            return;
        }
        // The first SSL_read then runs the handshake under the same deadline as the head.
        SSL_set_accept_state(ssl.get());
    }
    FixtureConnection connection(fd, ssl.get(), m_stop);
    const auto deadline = std::chrono::steady_clock::now() + s_readTimeout;
    std::string data;
    std::size_t headEnd;
    while ((headEnd = data.find("\r\n\r\n")) == std::string::npos && data.size() < s_maxHead
           && connection.ReadMore(data, deadline))
    {
    }
    if (headEnd == std::string::npos)
    {
        connection.Finish();
        return;
    }
    FixtureRequest request = ParseHead(data.substr(0, headEnd + 4));
    request.body = data.substr(headEnd + 4);
    const std::size_t length = std::strtoul(request.Header("Content-Length").c_str(), nullptr, 10);
    while (request.body.size() < std::min(length, s_maxBody)
           && connection.ReadMore(request.body, deadline))
    {
    }
    Handler handler;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requests.push_back(request);
        auto found = m_handlers.find(request.target);
        if (found == m_handlers.end())
            found = m_handlers.find(request.target.substr(0, request.target.find_first_of("?#")));
        if (found != m_handlers.end())
            handler = found->second;
    }
    if (handler)
        handler(request, connection);
    else
        connection.Send(Response(404, "No fixture for " + request.target + "\n"));
    connection.Finish();
}
