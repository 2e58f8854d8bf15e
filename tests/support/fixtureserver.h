#ifndef FEEDQUILL_TESTS_FIXTURESERVER_H
#define FEEDQUILL_TESTS_FIXTURESERVER_H

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

struct ssl_st;
struct ssl_ctx_st;

using FixtureHeaders = std::vector<std::pair<std::string, std::string>>;

// Kept per request so tests can assert on exactly what the client sent.
struct FixtureRequest
{
    std::string method;
    std::string target;
    std::string version;
    FixtureHeaders headers;
    std::string raw;  // the request head as received, up to and including the blank line
    std::string body; // only read when the client announced a Content-Length

    // Case-insensitive; "" when absent.
    std::string Header(const std::string& name) const;
};

// Every call is time-bounded and gives up once the peer or the server is gone, so no test hangs.
class FixtureConnection
{
public:
    FixtureConnection(const FixtureConnection&) = delete;
    FixtureConnection& operator=(const FixtureConnection&) = delete;

    bool Send(const std::string& bytes);
    // One byte per gap.
    bool SendSlowly(const std::string& bytes, std::chrono::milliseconds gap);
    // True once the server shuts down or the peer has gone: endless handlers loop until then.
    bool Stopping() const;
    // Close with a TCP RST (SO_LINGER 0), also for TLS, where it skips close_notify.
    void Reset();
    // Say nothing until max has elapsed, the client hangs up or the server stops.
    void Hold(std::chrono::milliseconds max);

private:
    friend class FixtureServer;
    using Clock = std::chrono::steady_clock;

    FixtureConnection(int fd, ssl_st* ssl, const std::atomic<bool>& stop);
    long Transfer(const char* out, char* in, std::size_t len, short& events);
    bool Wait(short events, Clock::time_point deadline);
    bool ReadMore(std::string& data, Clock::time_point deadline);
    void Finish();

    int m_fd;
    ssl_st* m_ssl;
    const std::atomic<bool>& m_stop;
    bool m_dead = false;
};

// Loopback HTTP/1.1 server with scripted answers, so fetch tests never touch the real network.
class FixtureServer
{
public:
    using Handler = std::function<void(const FixtureRequest&, FixtureConnection&)>;
    enum Tls { PLAIN, TLS_TRUSTED, TLS_UNTRUSTED };

    explicit FixtureServer(Tls tls = PLAIN);
    ~FixtureServer();
    FixtureServer(const FixtureServer&) = delete;
    FixtureServer& operator=(const FixtureServer&) = delete;

    // False when the socket or the TLS setup failed (the reason went to stderr); Port() is 0.
    bool IsOk() const;
    int Port() const;
    // "http://127.0.0.1:PORT/path", or https for the TLS kinds.
    std::string Url(const std::string& path) const;

    // Answers match the full target first, then the target without query or fragment; anything
    // else gets a 404. Each connection carries one response and is then closed.
    void Serve(const std::string& path, const std::string& rawResponse);
    void Handle(const std::string& path, Handler handler);
    // Adds Content-Length and "Connection: close" unless the given headers already decide them.
    static std::string Response(int status, const std::string& body,
                                const FixtureHeaders& headers = {},
                                const std::string& reason = "");

    std::vector<FixtureRequest> Requests() const;
    std::size_t RequestCount() const;
    // The test CA that signs the TLS_TRUSTED certificate.
    static std::string CaFile();

private:
    struct SslCtxDeleter
    {
        void operator()(ssl_ctx_st* ctx) const;
    };

    void AcceptLoop();
    void ServeConnection(int fd);

    Tls m_tls;
    int m_listenFd = -1;
    int m_port = 0;
    std::unique_ptr<ssl_ctx_st, SslCtxDeleter> m_ctx;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::map<std::string, Handler> m_handlers;
    std::vector<FixtureRequest> m_requests;
    std::thread m_acceptThread;
    std::vector<std::thread> m_workers; // only touched by the accept thread, then the destructor
};

#endif // FEEDQUILL_TESTS_FIXTURESERVER_H
