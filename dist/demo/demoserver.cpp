// Serves one feed file from 127.0.0.1 for the offline demonstration (scripts/demo).
//
//   feedquill_demo_server FEED_FILE [SECONDS]
//
// Prints the feed's address on the first line of standard output, then serves the file at
// /feed.xml until it gets SIGTERM or SIGINT, or SECONDS (default 600) have passed, so that a
// server left behind by a killed script does not run for ever.

#include "fixtureserver.h"

#include <signal.h>
#include <time.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3)
    {
        std::cerr << "Usage: " << argv[0] << " FEED_FILE [SECONDS]\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::ostringstream feed;
    feed << in.rdbuf();
    if (!in || feed.str().empty())
    {
        std::cerr << argv[0] << ": cannot read " << argv[1] << "\n";
        return 1;
    }
    const long seconds = argc == 3 ? std::strtol(argv[2], nullptr, 10) : 600;
    if (seconds <= 0)
    {
        std::cerr << argv[0] << ": the number of seconds must be positive\n";
        return 2;
    }

    // Blocked before the server's threads start, so that they inherit the mask and the
    // signals wait for sigtimedwait below.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    FixtureServer server;
    if (!server.IsOk())
        return 1;
    server.Serve("/feed.xml",
                 FixtureServer::Response(200, feed.str(),
                                         {{"Content-Type", "application/rss+xml; charset=utf-8"}}));
    std::cout << server.Url("/feed.xml") << std::endl;

    timespec timeout = {};
    timeout.tv_sec = seconds;
    while (sigtimedwait(&stopSignals, nullptr, &timeout) < 0 && errno == EINTR)
    {
    }
    return 0;
}
