// feedquill_etagserver FEED_FILE PORTFILE LOGFILE: serves FEED_FILE as /feed.xml from 127.0.0.1
// the way a blog's server supporting conditional requests does: with an ETag and a
// Last-Modified, and a 304 Not Modified without a body to a request whose If-None-Match (or,
// without one, If-Modified-Since) matches. Writes the port to PORTFILE once listening, appends
// "STATUS BYTES" for each answer to LOGFILE (BYTES: the status line, headers and body sent),
// and runs until SIGTERM or SIGINT.

#include "fixtureserver.h"

#include <signal.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>

namespace
{

const char LAST_MODIFIED[] = "Tue, 08 Dec 2026 10:00:00 GMT";

} // anonymous namespace

int main(int argc, char** argv)
{
    if ( argc != 4 )
    {
        std::fprintf(stderr, "usage: %s FEED_FILE PORTFILE LOGFILE\n", argv[0]);
        return 2;
    }
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    std::ifstream in(argv[1], std::ios::binary);
    const std::string body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if ( body.empty() )
    {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
        return 1;
    }
    const std::string etag = "\"" + std::to_string(std::hash<std::string>()(body)) + "\"";
    const FixtureHeaders validators = {{"ETag", etag}, {"Last-Modified", LAST_MODIFIED}};
    FixtureHeaders headers = validators;
    headers.push_back({"Content-Type", "application/rss+xml"});
    auto full = std::make_shared<const std::string>(FixtureServer::Response(200, body, headers));
    std::string unchanged = "HTTP/1.1 304 Not Modified\r\n";
    for ( const auto& header : validators )
        unchanged += header.first + ": " + header.second + "\r\n";
    unchanged += "Connection: close\r\n\r\n";

    auto log = std::make_shared<std::ofstream>(argv[3], std::ios::app);
    auto logMutex = std::make_shared<std::mutex>();
    FixtureServer server;
    if ( !server.IsOk() )
        return 1;
    server.Handle("/feed.xml", [=](const FixtureRequest& request, FixtureConnection& connection)
    {
        const std::string ifNoneMatch = request.Header("If-None-Match");
        const bool notModified = ifNoneMatch.empty()
                                     ? request.Header("If-Modified-Since") == LAST_MODIFIED
                                     : ifNoneMatch == etag;
        const std::string& answer = notModified ? unchanged : *full;
        const bool sent = connection.Send(answer);
        const std::lock_guard<std::mutex> lock(*logMutex);
        *log << (notModified ? 304 : 200) << " " << answer.size() << (sent ? "" : " cut")
             << std::endl;
    });

    {
        const std::string portFile = argv[2];
        std::ofstream out(portFile + ".tmp");
        out << server.Port() << "\n";
        out.close();
        if ( !out || std::rename((portFile + ".tmp").c_str(), portFile.c_str()) != 0 )
            return 1;
    }
    int signal = 0;
    sigwait(&stopSignals, &signal);
    return 0;
}
