// feedquill_feedserver FOLDER PORTFILE: serves every file of FOLDER as /NAME from 127.0.0.1 with
// a Content-Length (one response per connection), writes the port to PORTFILE once listening,
// and runs until SIGTERM or SIGINT.

#include "fixtureserver.h"

#include <dirent.h>
#include <signal.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

namespace
{

std::string ContentType(const std::string& name)
{
    if ( name.find("atom") != std::string::npos )
        return "application/atom+xml";
    if ( name.find("rss") != std::string::npos )
        return "application/rss+xml";
    return "application/xml";
}

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

} // anonymous namespace

int main(int argc, char** argv)
{
    if ( argc != 3 )
    {
        std::fprintf(stderr, "usage: %s FOLDER PORTFILE\n", argv[0]);
        return 2;
    }
    // Blocked before the server's threads start, so that only sigwait below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    FixtureServer server;
    if ( !server.IsOk() )
        return 1;
    const std::string folder = argv[1];
    DIR* dir = opendir(folder.c_str());
    if ( !dir )
    {
        std::perror(folder.c_str());
        return 1;
    }
    int files = 0;
    while ( const dirent* entry = readdir(dir) )
    {
        const std::string name = entry->d_name;
        if ( !EndsWith(name, ".xml") )
            continue;
        std::ifstream in(folder + "/" + name, std::ios::binary);
        const std::string body((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        // Served through a shared copy: the server copies a handler for each request, and a
        // handler holding the response itself would copy 30 MB before sending a byte.
        auto response = std::make_shared<const std::string>(
            FixtureServer::Response(200, body, {{"Content-Type", ContentType(name)}}));
        server.Handle("/" + name, [response](const FixtureRequest&, FixtureConnection& connection)
                      {
                          connection.Send(*response);
                      });
        ++files;
    }
    closedir(dir);

    {
        const std::string portFile = argv[2];
        std::ofstream out(portFile + ".tmp");
        out << server.Port() << "\n";
        out.close();
        if ( !out || std::rename((portFile + ".tmp").c_str(), portFile.c_str()) != 0 )
            return 1;
    }
    std::fprintf(stderr, "serving %d feeds from %s on %s\n", files, folder.c_str(),
                 server.Url("/").c_str());
    int signal = 0;
    sigwait(&stopSignals, &signal);
    return 0;
}
