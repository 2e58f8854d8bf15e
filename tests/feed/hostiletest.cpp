// Servers that misbehave, by accident or on purpose: every update fails in bounded time and
// memory with its number, and leaves the signature file and the configuration as they were.

#include "fixtureserver.h"
#include "testenv.h"

#include "feed/feedreader.h"
#include "project/project.h"
#include "run/signaturebackup.h"

#include <wx/config.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <sys/resource.h>

namespace
{

using Clock = std::chrono::steady_clock;

const std::string OK_HEAD = "HTTP/1.1 200 OK\r\nContent-Type: application/rss+xml\r\n"
                            "Connection: close\r\n\r\n";

// AddressSanitizer keeps freed memory in quarantine, so its builds use much more.
#ifdef __SANITIZE_ADDRESS__
const bool ADDRESS_SANITIZER = true;
#else
const bool ADDRESS_SANITIZER = false;
#endif

long PeakMemoryKiB()
{
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

class HostileServer : public ProjectTest
{
protected:
    HostileServer()
    {
        FeedReader::SetTimeLimits(2, 1, 4);
        LoadProject();
        g_project.m_filePath = m_dir.File("signature");
        g_project.m_template = "%title% %link%";
        g_project.m_quiet = true;
        g_project.SetFilePath(g_project.m_filePath);  // the configuration exists on disk
        // As a previous run left it.
        WriteBytes(g_project.m_filePath, "the previous signature\n");
        RememberSignature(g_project, "the previous signature\n");
        wxConfigBase::Get()->Flush();
        m_config = ReadBytes(GetConfigPath());
    }

    ~HostileServer() override
    {
        FeedReader::SetTimeLimits(m_limits.connectTimeoutSecs, m_limits.lowSpeedTimeSecs,
                                  m_limits.totalTimeoutSecs);
    }

    // Runs an update against the handler and checks what every failure must leave alone.
    int Update(const FixtureServer::Handler& handler, double maxSeconds = 6)
    {
        m_server.Handle("/feed", handler);
        g_project.m_feedURL = m_server.Url("/feed");
        LogCollector log;
        const Clock::time_point start = Clock::now();
        const int result = g_project.Update();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        EXPECT_LT(seconds, maxSeconds);
        if ( result != SIGNATURE_WRITTEN )
        {
            EXPECT_EQ(ReadBytes(g_project.m_filePath), "the previous signature\n");
            EXPECT_EQ(ReadBytes(GetConfigPath()), m_config);
        }
        const wxString error = log.GetErrors().empty() ? wxString() : log.GetErrors()[0];
        m_error = error.BeforeFirst('\n', &m_detail);
        return result;
    }

    static FixtureServer::Handler Raw(const std::string& bytes)
    {
        return [bytes](const FixtureRequest&, FixtureConnection& connection)
               {
                   connection.Send(bytes);
               };
    }

    const HttpOptions m_limits = FeedReader::GetDefaultHttpOptions();  // restored at the end
    FixtureServer m_server;
    std::string m_config;
    wxString m_error;   // the first line of the first error
    wxString m_detail;  // the lines after it
};

} // anonymous namespace

TEST_F(HostileServer, SilenceAndTricklesEndWithANetworkError)
{
    Update([](const FixtureRequest&, FixtureConnection& connection)
           {
               connection.Hold(std::chrono::seconds(10));
           });
    EXPECT_EQ(m_error, "Error #1 while processing your feed");
    EXPECT_TRUE(m_detail.StartsWith("The server at " + m_server.Url("/feed") + " stopped sending"))
        << m_detail;

    Update([](const FixtureRequest&, FixtureConnection& connection)
           {
               connection.SendSlowly(OK_HEAD + "<rss><channel><item><title>",
                                     std::chrono::milliseconds(2500));
           });
    EXPECT_EQ(m_error, "Error #1 while processing your feed");
}

TEST_F(HostileServer, EndlessAndOversizedBodiesStopAtTheCap)
{
    const long before = PeakMemoryKiB();
    Update([](const FixtureRequest&, FixtureConnection& connection)
           {
               connection.Send(OK_HEAD + "<rss><channel><description>");
               const std::string chunk(64 * 1024, 'x');
               while ( !connection.Stopping() && connection.Send(chunk) )
                   ;
           }, 20);
    EXPECT_EQ(m_error, "Error #13 while processing your feed");
    EXPECT_EQ(m_detail, "The feed is larger than 32 MiB: " + m_server.Url("/feed"));
    Update([](const FixtureRequest&, FixtureConnection& connection)
           {
               connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 40000000\r\n"
                               "Connection: close\r\n\r\n<rss><channel><title>");
               const std::string chunk(64 * 1024, 'y');
               for ( int i = 0; i < 600 && connection.Send(chunk); ++i )
                   ;
           }, 20);
    EXPECT_EQ(m_error, "Error #13 while processing your feed");
    // What arrives is parsed as it comes; at most one text run of the capped size is held.
    if ( !ADDRESS_SANITIZER )
    {
        EXPECT_LT(PeakMemoryKiB() - before, 100 * 1024);
    }
}

TEST_F(HostileServer, DocumentsThatWouldExplodeAreRefused)
{
    const std::string bomb =
        "<?xml version=\"1.0\"?><!DOCTYPE rss [<!ENTITY a \"aaaaaaaaaa\">"
        "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;\">"
        "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">]>"
        "<rss><channel><item><title>&d;&d;&d;&d;</title><link>x</link></item></channel></rss>";
    Update(Raw(OK_HEAD + bomb));
    EXPECT_EQ(m_error, "Error #15 while processing your feed");
    EXPECT_TRUE(m_detail.EndsWith("it declares entities, which feeds never need")) << m_detail;

    std::string deep = OK_HEAD + "<rss>";
    for ( int i = 0; i < 1000000; ++i )
        deep += "<a>";
    Update(Raw(deep), 10);
    EXPECT_EQ(m_error, "Error #15 while processing your feed");
    EXPECT_TRUE(m_detail.EndsWith("it is nested deeper than 256 levels")) << m_detail;
}

TEST_F(HostileServer, ExternalEntitiesAreNeverFetched)
{
    FixtureServer bystander;
    bystander.Serve("/secret", FixtureServer::Response(200, "secret"));
    for ( const std::string& system : { std::string("file:///etc/passwd"),
                                        bystander.Url("/secret") } )
    {
        Update(Raw(OK_HEAD + "<?xml version=\"1.0\"?><!DOCTYPE rss [<!ENTITY e SYSTEM \""
                   + system + "\">]><rss><channel><item><title>&e;</title><link>x</link>"
                   "</item></channel></rss>"));
        EXPECT_EQ(m_error, "Error #15 while processing your feed") << system;
    }
    EXPECT_EQ(bystander.RequestCount(), 0u);
}

TEST_F(HostileServer, BrokenHttpIsANetworkError)
{
    const std::string hugeLine = "HTTP/1.1 200 OK\r\nX-Big: " + std::string(300 * 1024, 'h')
                                 + "\r\n\r\n<rss/>";
    std::string manyHeaders = "HTTP/1.1 200 OK\r\n";
    for ( int i = 0; i < 20000; ++i )
        manyHeaders += "X-Header-" + std::to_string(i) + ": value\r\n";
    manyHeaders += "\r\n<rss/>";
    const struct
    {
        const char* what;
        FixtureServer::Handler handler;
    } cases[] =
    {
        { "garbage", Raw("\x16\x03\x01 this is not HTTP at all\r\n\r\n") },
        { "huge header line", Raw(hugeLine) },
        { "many headers", Raw(manyHeaders) },
        { "reset", [](const FixtureRequest&, FixtureConnection& connection)
                   {
                       connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n<rss>");
                       connection.Reset();
                   } },
    };
    for ( const auto& c : cases )
    {
        Update(c.handler);
        EXPECT_EQ(m_error, "Error #1 while processing your feed") << c.what;
        EXPECT_FALSE(m_detail.empty()) << c.what;
    }
}

TEST_F(HostileServer, RedirectLoopsEndAfterElevenRedirections)
{
    Update([](const FixtureRequest&, FixtureConnection& connection)
           {
               connection.Send(FixtureServer::Response(302, "", {{"Location", "/feed"}}));
           });
    EXPECT_EQ(m_error, "Error #302 while processing your feed");
    EXPECT_TRUE(m_detail.StartsWith("More than 11 redirections; the last one, from "))
        << m_detail;
    EXPECT_EQ(m_server.RequestCount(), 12u);
}

TEST_F(HostileServer, InvalidUtf8IsNotXml)
{
    Update(Raw(OK_HEAD + "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss><channel><item>"
               "<title>Bad \xC3\x28 bytes</title><link>x</link></item></channel></rss>"));
    EXPECT_EQ(m_error, "Error #15 while processing your feed");
}

TEST_F(HostileServer, ControlCharactersNeverReachTheSignature)
{
    // C1 controls (a terminal reads U+009B as an escape sequence) and DEL are legal in XML.
    EXPECT_EQ(Update(Raw(OK_HEAD + "<rss><channel><item><title>Evil\xC2\x9B" "2J\xC2\x85title"
                         "\x7F&#9;tab</title><link> http://blog.example/&#13;&#10;x </link>"
                         "</item></channel></rss>")),
              SIGNATURE_WRITTEN);
    EXPECT_EQ(ReadBytes(g_project.m_filePath), "Evil2J title tab http://blog.example/x");
}
