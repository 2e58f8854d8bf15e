// Several transfers at once on one thread: each keeps what a single Get does.

#include "fixtureserver.h"
#include "testenv.h"

#include "base/httpclient.h"
#include "base/httpmulti.h"
#include "feed/feedreader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace
{

// Holds each answer back until every one of count requests has arrived, at most five
// seconds: transfers run one after the other never get there, and time out instead.
class Barrier
{
public:
    explicit Barrier(int count) : m_count(count) {}

    void Arrive()
    {
        ++m_arrived;
        for ( int i = 0; i < 500 && m_arrived < m_count; ++i )
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

private:
    const int m_count;
    std::atomic<int> m_arrived{0};
};

} // anonymous namespace

TEST(HttpMulti, TransfersRunAtOnceEachWithItsOwnOutcome)
{
    FixtureServer server;
    Barrier barrier(3);
    server.Handle("/a", [&](const FixtureRequest&, FixtureConnection& connection)
    {
        barrier.Arrive();
        connection.Send(FixtureServer::Response(200, "first", {{"ETag", "\"a\""}}));
    });
    server.Handle("/b", [&](const FixtureRequest&, FixtureConnection& connection)
    {
        barrier.Arrive();
        connection.Send(FixtureServer::Response(404, "gone"));
    });
    // A redirection goes on in the same run, on the same handle.
    server.Handle("/c", [&](const FixtureRequest&, FixtureConnection& connection)
    {
        barrier.Arrive();
        connection.Send(FixtureServer::Response(302, "", {{"Location", "/c2"}}));
    });
    server.Serve("/c2", FixtureServer::Response(200, "third"));

    HttpOptions options = FastHttpOptions();
    options.lowSpeedTimeSecs = 2;
    options.totalTimeoutSecs = 3;
    const std::vector<std::string> paths = { "/a", "/b", "/c", "not an address" };
    std::vector<std::unique_ptr<HttpClient>> clients;
    std::vector<std::string> bodies(paths.size());
    HttpMulti multi;
    for ( size_t i = 0; i < paths.size(); ++i )
    {
        clients.push_back(std::make_unique<HttpClient>(options));
        const std::string url = paths[i][0] == '/' ? server.Url(paths[i]) : paths[i];
        std::string& body = bodies[i];
        if ( clients.back()->Start(url, [&body](const char* data, size_t size)
                                   {
                                       body.append(data, size);
                                       return true;
                                   }) )
            multi.Add(*clients.back());
    }
    multi.Run();

    const struct
    {
        int result;
        const char* body;
        long status;
        int redirects;
    } expected[] =
    {
        { HTTP_OK, "first", 200, 0 },
        { HTTP_STATUS_ERROR, "", 404, 0 },
        { HTTP_OK, "third", 200, 1 },
        { HTTP_BAD_ADDRESS, "", 0, 0 },
    };
    for ( size_t i = 0; i < paths.size(); ++i )
    {
        EXPECT_EQ(clients[i]->GetResult(), expected[i].result) << paths[i] << ": "
                                                               << clients[i]->GetErrorDetail();
        EXPECT_EQ(bodies[i], expected[i].body) << paths[i];
        EXPECT_EQ(clients[i]->GetStatus(), expected[i].status) << paths[i];
        EXPECT_EQ(clients[i]->GetRedirects(), expected[i].redirects) << paths[i];
    }
    EXPECT_EQ(clients[0]->GetETag(), "\"a\"");
    EXPECT_NE(clients[1]->GetErrorDetail().find("404"), wxString::npos);
}

// A feed read among others still stops after the newest post: the server here never ends its
// answer, and the others do not wait for it.
TEST(HttpMulti, FeedReadsStopEarlyAsASingleReadDoes)
{
    FixtureServer server;
    server.Handle("/endless", [](const FixtureRequest&, FixtureConnection& connection)
    {
        connection.Send("HTTP/1.1 200 OK\r\nContent-Type: application/rss+xml\r\n"
                        "Connection: close\r\n\r\n<rss><channel><item><title>Newest</title>"
                        "<link>http://blog.example/1</link></item><item>");
        connection.Hold(std::chrono::seconds(20));
    });
    server.Serve("/atom", FixtureServer::Response(200,
        "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>Atom blog</title><entry>"
        "<title>Entry</title><link href=\"http://blog.example/e\"/></entry></feed>"));

    FeedReader endless(server.Url("/endless"));
    FeedReader atom(server.Url("/atom"));
    FeedReader refused("http://127.0.0.1:" + std::to_string(UnusedPort()) + "/feed");
    HttpMulti multi;
    for ( FeedReader* reader : { &endless, &atom, &refused } )
    {
        reader->SetHttpOptions(FastHttpOptions());
        if ( HttpClient* client = reader->BeginRead() )
            multi.Add(*client);
    }
    multi.Run();
    EXPECT_EQ(endless.EndRead(), FEED_OK) << endless.GetErrorDetail();
    EXPECT_EQ(endless.GetTitle(), "Newest");
    EXPECT_EQ(atom.EndRead(), FEED_OK);
    EXPECT_EQ(atom.GetLink(), "http://blog.example/e");
    EXPECT_EQ(atom.GetFeedTitle(), "Atom blog");
    EXPECT_EQ(refused.EndRead(), HTTP_CONNECT_ERROR);
}
