// Fetching feeds over http and https from the loopback fixture server.

#include "fixtureserver.h"
#include "testenv.h"

#include "feed/feedreader.h"
#include "base/httpclient.h"

#include <wx/mstream.h>
#include <wx/utils.h>
#include <wx/zstream.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace
{

using Clock = std::chrono::steady_clock;

struct Fetched
{
    int result;
    std::string body;
    int redirects;
    std::string finalUrl;
    double seconds;
};

Fetched Fetch(const std::string& url, const HttpOptions& options = FastHttpOptions())
{
    HttpClient client(options);
    Fetched fetched;
    const Clock::time_point start = Clock::now();
    fetched.result = client.Get(wxString::FromUTF8(url), [&fetched](const char* data, size_t size)
                                {
                                    fetched.body.append(data, size);
                                    return true;
                                });
    fetched.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    fetched.redirects = client.GetRedirects();
    fetched.finalUrl = client.GetFinalUrl();
    return fetched;
}

std::string Compress(const std::string& data, int format)
{
    wxMemoryOutputStream out;
    {
        wxZlibOutputStream zlib(out, wxZ_BEST_COMPRESSION, format);
        zlib.Write(data.data(), data.size());
        zlib.Close();
    }
    std::string compressed(out.GetSize(), '\0');
    out.CopyTo(&compressed[0], compressed.size());
    return compressed;
}

// The server streams body bytes until the client hangs up or the test ends.
void SendEndlessly(FixtureConnection& connection)
{
    connection.Send("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nConnection: close\r\n\r\n");
    const std::string chunk(4096, 'x');
    while ( !connection.Stopping() && connection.Send(chunk) )
    {
    }
}

} // anonymous namespace

TEST(HttpClientAddresses, RefusesAnythingButHttpWithAHostBeforeConnecting)
{
    FixtureServer server;
    ASSERT_TRUE(server.IsOk());
    const std::string hostPort = "127.0.0.1:" + std::to_string(server.Port());
    // The server's own address in each, so that any request made would be counted.
    for ( const std::string& url : { std::string(), hostPort + "/feed",
                                     "feed://" + hostPort + "/feed", "ftp://" + hostPort + "/",
                                     std::string("http://"), std::string("https://"),
                                     std::string("/feed.xml"), std::string("file:///etc/passwd") } )
    {
        const Fetched fetched = Fetch(url);
        EXPECT_EQ(fetched.result, HTTP_BAD_ADDRESS) << url;
        EXPECT_TRUE(fetched.body.empty()) << url;
    }
    EXPECT_EQ(server.RequestCount(), 0u);
}

TEST(HttpClientAddresses, SendsPathAndQueryToItsPortButNeverTheFragment)
{
    FixtureServer server;
    ASSERT_TRUE(server.IsOk());
    server.Serve("/blog/feed.xml", FixtureServer::Response(200, "<rss/>"));

    const Fetched fetched = Fetch(server.Url("/blog/feed.xml?format=rss&n=2#latest"));
    EXPECT_EQ(fetched.result, HTTP_OK);
    EXPECT_EQ(fetched.body, "<rss/>");
    EXPECT_EQ(fetched.redirects, 0);
    EXPECT_EQ(fetched.finalUrl, server.Url("/blog/feed.xml?format=rss&n=2"));
    const std::vector<FixtureRequest> requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].target, "/blog/feed.xml?format=rss&n=2");
    EXPECT_EQ(requests[0].Header("Host"), "127.0.0.1:" + std::to_string(server.Port()));
}

TEST(HttpClientAddresses, NormalizesAndResolvesToHttpAddressesWithoutFragments)
{
    const std::string base = "http://blog.example/dir/sub/page?q=1#part";
    const struct
    {
        bool relative;     // resolved against base, else normalized
        const char* in;
        const char* out;   // nullptr: refused
    } cases[] =
    {
        { false, "http://blog.example/feed", "http://blog.example/feed" },
        { false, "https://blog.example:8443/a?x=1&y=2#top", "https://blog.example:8443/a?x=1&y=2" },
        { false, "http://blog.example", "http://blog.example/" },
        { false, "mailto:someone@blog.example", nullptr },
        { true, "/feed", "http://blog.example/feed" },
        { true, "../feed", "http://blog.example/dir/feed" },
        { true, "feed?x=1", "http://blog.example/dir/sub/feed?x=1" },
        { true, "?page=2", "http://blog.example/dir/sub/page?page=2" },
        { true, "#elsewhere", "http://blog.example/dir/sub/page?q=1" },  // the same page
        { true, "//other.example:8080/feed", "http://other.example:8080/feed" },
        { true, "https://secure.example/feed#top", "https://secure.example/feed" },
        { true, "/new feed/caf\xC3\xA9", "http://blog.example/new%20feed/caf%c3%a9" },
        { true, "", nullptr },
        { true, "ftp://blog.example/feed", nullptr },
        { true, "file:///etc/passwd", nullptr },
        { true, "mailto:someone@blog.example", nullptr },
    };
    for ( const auto& c : cases )
    {
        std::string out;
        const bool ok = c.relative ? ResolveLocation(base, c.in, out) : NormalizeAddress(c.in, out);
        EXPECT_EQ(ok, c.out != nullptr) << c.in;
        if ( c.out )
        {
            EXPECT_EQ(out, c.out) << c.in;
        }
    }
}

TEST(HttpClientRedirects, FollowsEachRedirectionStatusWithoutKeepingItsBody)
{
    FixtureServer server;
    ASSERT_TRUE(server.IsOk());
    server.Serve("/new", FixtureServer::Response(200, "<feed/>"));
    HttpOptions options = FastHttpOptions();
    options.maxBodySize = 1000;
    for ( const int status : { 301, 302, 303, 307, 308 } )
    {
        // Larger than the cap: a redirection's body must not count towards it either.
        const std::string old = "/old" + std::to_string(status);
        server.Serve(old, FixtureServer::Response(status, std::string(5000, 'r'),
                                                  {{"Location", "/new"}}));

        const Fetched fetched = Fetch(server.Url(old), options);
        EXPECT_EQ(fetched.result, HTTP_OK) << status;
        EXPECT_EQ(fetched.body, "<feed/>") << status;
        EXPECT_EQ(fetched.redirects, 1) << status;
        EXPECT_EQ(fetched.finalUrl, server.Url("/new")) << status;
    }
    for ( const long status : { 200L, 300L, 304L, 305L, 306L, 404L } )
        EXPECT_FALSE(IsRedirection(status)) << status;
}

TEST(HttpClientRedirects, ResolvesRelativeLocationsWhateverTheHeaderCase)
{
    FixtureServer server;
    ASSERT_TRUE(server.IsOk());
    const struct
    {
        const char* header;
        std::string location;
        const char* target;
    } cases[] =
    {
        { "Location", "/top", "/top" },
        { "location", "../up", "/dir/up" },
        { "LOCATION", "next?page=2", "/dir/sub/next?page=2" },
        { "LoCaTiOn", "//127.0.0.1:" + std::to_string(server.Port()) + "/net", "/net" },
        { "lOcAtIoN", "/new feed/caf\xC3\xA9", "/new%20feed/caf%c3%a9" },
    };
    for ( const auto& c : cases )
    {
        const std::string start = "/dir/sub/" + std::string(c.header);
        server.Serve(start, FixtureServer::Response(302, "", {{c.header, c.location}}));
        server.Serve(c.target, FixtureServer::Response(200, "<rss/>"));

        const Fetched fetched = Fetch(server.Url(start));
        EXPECT_EQ(fetched.result, HTTP_OK) << c.location;
        EXPECT_EQ(server.Requests().back().target, c.target) << c.location;
        EXPECT_EQ(fetched.finalUrl, server.Url(c.target)) << c.location;
    }
}

TEST(HttpClientRedirects, FollowsElevenAndFailsOnTheTwelfth)
{
    for ( const int hops : { 11, 12 } )
    {
        FixtureServer server;
        ASSERT_TRUE(server.IsOk());
        server.Handle("/hop", [hops](const FixtureRequest& request, FixtureConnection& connection)
        {
            const int n = std::stoi(request.target.substr(request.target.find('=') + 1));
            const std::string next = "/hop?n=" + std::to_string(n + 1);
            connection.Send(n < hops ? FixtureServer::Response(302, "", {{"Location", next}})
                                     : FixtureServer::Response(200, "arrived"));
        });

        const Fetched fetched = Fetch(server.Url("/hop?n=0"), FeedReader::GetDefaultHttpOptions());
        // Either way the twelfth Location is never visited.
        EXPECT_EQ(server.RequestCount(), 12u) << hops;
        if ( hops == 11 )
        {
            EXPECT_EQ(fetched.result, HTTP_OK);
            EXPECT_EQ(fetched.body, "arrived");
            EXPECT_EQ(fetched.redirects, 11);
            EXPECT_EQ(fetched.finalUrl, server.Url("/hop?n=11"));
        }
        else
        {
            EXPECT_EQ(fetched.result, 302);
            EXPECT_TRUE(fetched.body.empty());
        }
    }
}

TEST(HttpClientRedirects, LocationMissingOrLeavingHttpIsABadAddress)
{
    FixtureServer server;
    ASSERT_TRUE(server.IsOk());
    std::size_t requests = 0;
    for ( const std::string& location : { std::string(), std::string("ftp://127.0.0.1/feed"),
                                          std::string("file:///etc/passwd"),
                                          std::string("feed://127.0.0.1/feed") } )
    {
        FixtureHeaders headers;
        if ( !location.empty() )
            headers.emplace_back("Location", location);
        server.Serve("/old", FixtureServer::Response(301, "moved", headers));

        const Fetched fetched = Fetch(server.Url("/old"));
        EXPECT_EQ(fetched.result, HTTP_BAD_ADDRESS) << location;
        EXPECT_TRUE(fetched.body.empty()) << location;
        EXPECT_EQ(server.RequestCount(), ++requests) << location;
    }
}

TEST(HttpClientFailures, ErrorStatusesFailWithoutHandingOverTheirBody)
{
    FixtureServer server;
    ASSERT_TRUE(server.IsOk());
    HttpOptions options = FastHttpOptions();
    options.maxBodySize = 1000;  // the error page is larger, yet the status decides
    for ( const int status : { 400, 404, 410, 500, 503 } )
    {
        server.Serve("/feed", FixtureServer::Response(status, std::string(5000, 'e')));
        const Fetched fetched = Fetch(server.Url("/feed"), options);
        EXPECT_EQ(fetched.result, HTTP_STATUS_ERROR) << status;
        EXPECT_TRUE(fetched.body.empty()) << status;
    }
}

TEST(HttpClientFailures, ConnectionRefusedIsAConnectError)
{
    const Fetched fetched = Fetch("http://127.0.0.1:" + std::to_string(UnusedPort()) + "/feed");
    EXPECT_EQ(fetched.result, HTTP_CONNECT_ERROR);
}

TEST(HttpClientFailures, BrokenAnswersAreNetworkErrors)
{
    const std::string partial = "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n<rss>";
    std::string hugeHead = "HTTP/1.1 200 OK\r\n";
    for ( int i = 0; i < 400; ++i )
        hugeHead += "X-Padding-" + std::to_string(i) + ": " + std::string(1000, 'p') + "\r\n";
    const struct
    {
        const char* name;
        std::string answer;
        bool reset;  // with a TCP RST once the answer is out
    } cases[] =
    {
        { "no status line", "<rss>garbage without any head</rss>\r\n\r\n", false },
        { "reset at once", "", true },
        { "reset within the body", partial, true },
        { "closed before the promised length", partial, false },
        { "endless head", hugeHead, false },
    };
    FixtureServer server;
    ASSERT_TRUE(server.IsOk());
    for ( const auto& c : cases )
    {
        server.Handle("/feed", [&c](const FixtureRequest&, FixtureConnection& connection)
        {
            connection.Send(c.answer);
            if ( c.reset )
                connection.Reset();
        });
        const Fetched fetched = Fetch(server.Url("/feed"));
        EXPECT_EQ(fetched.result, HTTP_NETWORK_ERROR) << c.name;
        EXPECT_LT(fetched.seconds, 2.5) << c.name;
    }
}

TEST(HttpClientFailures, SilentAndTricklingServersAreGivenUpOn)
{
    FixtureServer server;
    ASSERT_TRUE(server.IsOk());
    server.Handle("/silent", [](const FixtureRequest&, FixtureConnection& connection)
    {
        connection.Hold(std::chrono::seconds(10));
    });
    // Ten bytes a second keeps above the low-speed limit: only the total timeout ends it.
    server.Handle("/trickle", [](const FixtureRequest&, FixtureConnection& connection)
    {
        connection.Send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n");
        connection.SendSlowly(std::string(200, 't'), std::chrono::milliseconds(100));
    });

    const Fetched silent = Fetch(server.Url("/silent"));
    EXPECT_EQ(silent.result, HTTP_NETWORK_ERROR);
    EXPECT_GE(silent.seconds, 0.9);
    EXPECT_LT(silent.seconds, 2.5);

    HttpOptions options = FastHttpOptions();
    options.lowSpeedTimeSecs = 2;
    options.totalTimeoutSecs = 1;
    const Fetched trickle = Fetch(server.Url("/trickle"), options);
    EXPECT_EQ(trickle.result, HTTP_NETWORK_ERROR);
    EXPECT_FALSE(trickle.body.empty());
    EXPECT_LT(trickle.seconds, 2.0);
}

TEST(HttpClientBody, CompressedBodiesAreDecoded)
{
    std::string feed = "<?xml version=\"1.0\"?><rss><channel>";
    for ( int i = 0; i < 2000; ++i )
        feed += "<item><title>Post " + std::to_string(i) + "</title></item>";
    feed += "</channel></rss>";
    const struct
    {
        const char* encoding;
        int format;
    } cases[] = { { "gzip", wxZLIB_GZIP }, { "deflate", wxZLIB_ZLIB } };
    for ( const auto& c : cases )
    {
        FixtureServer server;
        ASSERT_TRUE(server.IsOk());
        const std::string compressed = Compress(feed, c.format);
        ASSERT_LT(compressed.size(), feed.size() / 4);
        server.Serve("/feed", FixtureServer::Response(200, compressed,
                                                      {{"Content-Encoding", c.encoding}}));

        Fetched fetched = Fetch(server.Url("/feed"));
        EXPECT_EQ(fetched.result, HTTP_OK) << c.encoding;
        EXPECT_EQ(fetched.body, feed) << c.encoding;
        const std::string accepted = server.Requests().at(0).Header("Accept-Encoding");
        EXPECT_NE(accepted.find("gzip"), std::string::npos);
        EXPECT_NE(accepted.find("deflate"), std::string::npos);

        // The cap is on what the reader gets, not on the bytes on the wire.
        HttpOptions options = FastHttpOptions();
        options.maxBodySize = feed.size() / 2;
        fetched = Fetch(server.Url("/feed"), options);
        EXPECT_EQ(fetched.result, HTTP_TOO_LARGE) << c.encoding;
        EXPECT_LE(fetched.body.size(), options.maxBodySize) << c.encoding;
    }

    FixtureServer server;
    ASSERT_TRUE(server.IsOk());
    server.Serve("/feed", FixtureServer::Response(200, "plain"));
    HttpOptions options = FastHttpOptions();
    options.compressed = false;
    EXPECT_EQ(Fetch(server.Url("/feed"), options).body, "plain");
    EXPECT_EQ(server.Requests().at(0).Header("Accept-Encoding"), "");
}

TEST(HttpClientBody, BodiesBeyondTheCapAreTooLarge)
{
    FixtureServer server;
    ASSERT_TRUE(server.IsOk());
    server.Serve("/exact", FixtureServer::Response(200, std::string(1000, 'a')));
    server.Serve("/over", FixtureServer::Response(200, std::string(1001, 'a')));
    server.Serve("/unannounced", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n"
                                 + std::string(50000, 'a'));
    server.Handle("/endless", [](const FixtureRequest&, FixtureConnection& connection)
    {
        SendEndlessly(connection);
    });
    HttpOptions options = FastHttpOptions();
    options.maxBodySize = 1000;

    const Fetched exact = Fetch(server.Url("/exact"), options);
    EXPECT_EQ(exact.result, HTTP_OK);
    EXPECT_EQ(exact.body.size(), 1000u);
    for ( const char* path : { "/over", "/unannounced", "/endless" } )
    {
        const Fetched fetched = Fetch(server.Url(path), options);
        EXPECT_EQ(fetched.result, HTTP_TOO_LARGE) << path;
        EXPECT_LE(fetched.body.size(), 1000u) << path;
        EXPECT_LT(fetched.seconds, 1.5) << path;
    }
}

TEST(HttpClientBody, SinkThatHasEnoughEndsAnEndlessBody)
{
    FixtureServer server;
    ASSERT_TRUE(server.IsOk());
    server.Handle("/endless", [](const FixtureRequest&, FixtureConnection& connection)
    {
        SendEndlessly(connection);
    });

    HttpClient client(FastHttpOptions());
    std::size_t received = 0;
    int calls = 0;
    // An endless body that the receiver did not stop would end in the time limit's error.
    const int result = client.Get(server.Url("/endless"), [&](const char*, size_t size)
                                  {
                                      received += size;
                                      return ++calls < 3;
                                  });
    EXPECT_EQ(result, HTTP_OK);
    EXPECT_EQ(calls, 3);
    EXPECT_GT(received, 0u);
}

TEST(HttpClientTls, TrustsOnlyTheGivenOrEnvironmentCertificates)
{
    FixtureServer trusted(FixtureServer::TLS_TRUSTED);
    FixtureServer untrusted(FixtureServer::TLS_UNTRUSTED);
    ASSERT_TRUE(trusted.IsOk());
    ASSERT_TRUE(untrusted.IsOk());
    trusted.Serve("/feed", FixtureServer::Response(200, "secure"));
    untrusted.Serve("/feed", FixtureServer::Response(200, "forged"));
    HttpOptions withCa = FastHttpOptions();
    withCa.caFile = FixtureServer::CaFile();

    Fetched fetched = Fetch(trusted.Url("/feed"), withCa);
    EXPECT_EQ(fetched.result, HTTP_OK);
    EXPECT_EQ(fetched.body, "secure");

    fetched = Fetch(untrusted.Url("/feed"), withCa);
    EXPECT_EQ(fetched.result, HTTP_TLS_ERROR);
    EXPECT_TRUE(fetched.body.empty());

    // The test CA is in no system store.
    fetched = Fetch(trusted.Url("/feed"));
    EXPECT_EQ(fetched.result, HTTP_TLS_ERROR);
    EXPECT_TRUE(fetched.body.empty());

    wxString previous;
    const bool hadPrevious = wxGetEnv("SSL_CERT_FILE", &previous);
    wxSetEnv("SSL_CERT_FILE", FixtureServer::CaFile());
    fetched = Fetch(trusted.Url("/feed"));
    EXPECT_EQ(fetched.result, HTTP_OK);
    EXPECT_EQ(fetched.body, "secure");
    if ( hadPrevious )
        wxSetEnv("SSL_CERT_FILE", previous);
    else
        wxUnsetEnv("SSL_CERT_FILE");
}

TEST(HttpClientRequest, SendsTheFeedHeadersOnEveryRequest)
{
    FixtureServer server;
    ASSERT_TRUE(server.IsOk());
    server.Serve("/old", FixtureServer::Response(308, "", {{"Location", "/feed"}}));
    server.Serve("/feed", FixtureServer::Response(200, "<rss/>"));
    HttpOptions options = FeedReader::GetDefaultHttpOptions();
    options.connectTimeoutSecs = 2;
    options.lowSpeedTimeSecs = 1;
    options.totalTimeoutSecs = 3;

    EXPECT_EQ(Fetch(server.Url("/old"), options).result, HTTP_OK);
    const std::vector<FixtureRequest> requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    for ( const FixtureRequest& request : requests )
    {
        int accepts = 0;
        for ( const auto& header : request.headers )
            accepts += strcasecmp(header.first.c_str(), "Accept") == 0;
        EXPECT_EQ(accepts, 1) << request.raw;
        EXPECT_EQ(request.Header("Accept"), "application/rss+xml, application/atom+xml, "
                                            "application/xml;q=0.9, text/*;q=0.8");
        EXPECT_EQ(request.Header("User-Agent").rfind("Feedquill; ", 0), 0u) << request.raw;
    }
}

TEST(HttpClientResults, TransferOutcomesMapToResults)
{
    const struct
    {
        CURLcode code;
        bool connected;
        long status;
        int result;
    } cases[] =
    {
        { CURLE_OK, true, 200, HTTP_OK },
        { CURLE_OK, true, 404, HTTP_STATUS_ERROR },
        { CURLE_OK, true, 500, HTTP_STATUS_ERROR },
        { CURLE_COULDNT_RESOLVE_HOST, false, 0, HTTP_BAD_ADDRESS },
        { CURLE_COULDNT_CONNECT, false, 0, HTTP_CONNECT_ERROR },
        { CURLE_OPERATION_TIMEDOUT, true, 200, HTTP_NETWORK_ERROR },
        { CURLE_OPERATION_TIMEDOUT, false, 0, HTTP_CONNECT_ERROR },
        { CURLE_PEER_FAILED_VERIFICATION, true, 0, HTTP_TLS_ERROR },
        { CURLE_SSL_CONNECT_ERROR, true, 0, HTTP_TLS_ERROR },
        { CURLE_RECV_ERROR, true, 200, HTTP_NETWORK_ERROR },
        { CURLE_GOT_NOTHING, true, 0, HTTP_NETWORK_ERROR },
        { CURLE_WEIRD_SERVER_REPLY, true, 0, HTTP_NETWORK_ERROR },
        { CURLE_UNSUPPORTED_PROTOCOL, true, 0, HTTP_NETWORK_ERROR },
        { CURLE_FILESIZE_EXCEEDED, true, 200, HTTP_TOO_LARGE },
    };
    for ( const auto& c : cases )
    {
        EXPECT_EQ(MapTransferResult(c.code, c.connected, c.status), c.result)
            << curl_easy_strerror(c.code) << (c.connected ? ", connected" : "");
    }
}

TEST(HttpClientProgress, ReportsBytesAndStopsWhenAsked)
{
    FixtureServer server;
    ASSERT_TRUE(server.IsOk());
    server.Serve("/feed", FixtureServer::Response(200, std::string(5000, 'a')));
    server.Handle("/silent", [](const FixtureRequest&, FixtureConnection& connection)
    {
        connection.Hold(std::chrono::seconds(10));
    });

    HttpOptions options = FastHttpOptions();
    std::vector<std::size_t> seen;
    options.progress = [&seen](std::size_t bytes)
    {
        seen.push_back(bytes);
        return true;
    };
    EXPECT_EQ(Fetch(server.Url("/feed"), options).result, HTTP_OK);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), 5000u);

    // A server that says nothing: the callback still runs, and stopping ends the wait at once
    // rather than at the time limits.
    options.totalTimeoutSecs = 20;
    options.lowSpeedTimeSecs = 20;
    const Clock::time_point start = Clock::now();
    options.progress = [start](std::size_t)
    {
        return Clock::now() - start < std::chrono::milliseconds(300);
    };
    const Fetched stopped = Fetch(server.Url("/silent"), options);
    EXPECT_EQ(stopped.result, HTTP_CANCELLED);
    EXPECT_LT(stopped.seconds, 1.5);
}
