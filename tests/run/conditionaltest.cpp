// Conditional requests: the validators of the last answer go back with the next request, and
// a 304 answer keeps the stored post.

#include "fixtureserver.h"
#include "testenv.h"

#include "base/httpclient.h"
#include "feed/feedreader.h"
#include "project/project.h"

#include <wx/config.h>
#include <wx/convauto.h>
#include <wx/fileconf.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>

namespace
{

const char* const RSS =
    "<rss version=\"2.0\"><channel><title>Blog</title>"
    "<item><title>Newest</title><link>http://blog.example/newest</link></item>"
    "</channel></rss>";
const std::string ETAG = "W/\"feed-1\"";
const std::string LAST_MODIFIED = "Tue, 08 Dec 2026 10:00:00 GMT";

// A feed whose server answers conditional requests the way common servers do: If-None-Match
// decides when it is there, else If-Modified-Since; a match gets a 304 without a body.
class ConditionalFeed
{
public:
    explicit ConditionalFeed(const std::string& path = "/feed", bool sendETag = true,
                             bool sendLastModified = true)
    {
        m_server.Handle(path, [=](const FixtureRequest& request, FixtureConnection& connection)
        {
            FixtureHeaders headers;
            if ( sendETag )
                headers.push_back({"ETag", ETAG});
            if ( sendLastModified )
                headers.push_back({"Last-Modified", LAST_MODIFIED});
            const std::string ifNoneMatch = request.Header("If-None-Match");
            const bool unchanged = !ifNoneMatch.empty()
                                       ? sendETag && ifNoneMatch == ETAG
                                       : sendLastModified
                                             && request.Header("If-Modified-Since") == LAST_MODIFIED;
            if ( unchanged )
            {
                ++m_notModified;
                connection.Send("HTTP/1.1 304 Not Modified\r\n" + Headers(headers)
                                + "Connection: close\r\n\r\n");
            }
            else
            {
                connection.Send(FixtureServer::Response(200, RSS, headers));
            }
        });
    }

    std::string Url(const std::string& path = "/feed") const { return m_server.Url(path); }
    const FixtureServer& Server() const { return m_server; }
    int NotModifiedAnswers() const { return m_notModified; }

private:
    static std::string Headers(const FixtureHeaders& headers)
    {
        std::string text;
        for ( const auto& header : headers )
            text += header.first + ": " + header.second + "\r\n";
        return text;
    }

    std::atomic<int> m_notModified{0};
    FixtureServer m_server;
};

} // anonymous namespace

TEST(HttpClientValidators, HeaderValuesAreFoundWhateverTheCase)
{
    const struct
    {
        const char* line;
        const char* name;
        bool found;
        const char* value;
    } cases[] =
    {
        { "ETag: \"abc\"\r\n", "etag", true, "\"abc\"" },
        { "etag:W/\"x y\"  \r\n", "etag", true, "W/\"x y\"" },
        { "LAST-MODIFIED: \tTue, 08 Dec 2026 10:00:00 GMT\r\n", "last-modified", true,
          "Tue, 08 Dec 2026 10:00:00 GMT" },
        { "ETag:\r\n", "etag", true, "" },
        { "ETags: \"abc\"\r\n", "etag", false, "" },
        { "X-ETag: \"abc\"\r\n", "etag", false, "" },
        { "ETag \"abc\"\r\n", "etag", false, "" },
    };
    for ( const auto& c : cases )
    {
        std::string value = "unchanged";
        EXPECT_EQ(GetHeaderValue(c.line, c.name, value), c.found) << c.line;
        if ( c.found )
        {
            EXPECT_EQ(value, c.value) << c.line;
        }
    }
}

TEST(HttpClientValidators, FinalAnswersValidatorsAndStatusAreKept)
{
    FixtureServer server;
    ASSERT_TRUE(server.IsOk());
    server.Serve("/moved", FixtureServer::Response(301, "", {{"Location", "/feed"},
                                                             {"ETag", "\"of-the-redirection\""}}));
    server.Serve("/feed", FixtureServer::Response(200, RSS, {{"etag", "\"final\""},
                                                            {"LAST-modified", LAST_MODIFIED}}));
    server.Serve("/bare", FixtureServer::Response(200, RSS));
    server.Serve("/same", "HTTP/1.1 304 Not Modified\r\nETag: \"same\"\r\n"
                          "Connection: close\r\n\r\n");

    const struct
    {
        const char* path;
        long status;
        const char* etag;
        const char* lastModified;
        bool body;
    } cases[] =
    {
        { "/moved", 200, "\"final\"", "Tue, 08 Dec 2026 10:00:00 GMT", true },
        { "/bare", 200, "", "", true },
        { "/same", 304, "\"same\"", "", false },
    };
    for ( const auto& c : cases )
    {
        HttpClient client(FastHttpOptions());
        std::string body;
        EXPECT_EQ(client.Get(server.Url(c.path), [&body](const char* data, size_t size)
                             {
                                 body.append(data, size);
                                 return true;
                             }),
                  HTTP_OK) << c.path;
        EXPECT_EQ(client.GetStatus(), c.status) << c.path;
        EXPECT_EQ(client.GetETag(), c.etag) << c.path;
        EXPECT_EQ(client.GetLastModified(), c.lastModified) << c.path;
        EXPECT_EQ(!body.empty(), c.body) << c.path;
    }
}

TEST(FeedReaderConditional, SendsTheValidatorsItIsGiven)
{
    ConditionalFeed feed;
    const struct
    {
        const char* etag;
        const char* lastModified;
        const char* ifNoneMatch;
        const char* ifModifiedSince;
    } cases[] =
    {
        { "\"a\"", "Mon, 07 Dec 2026 10:00:00 GMT", "\"a\"", "Mon, 07 Dec 2026 10:00:00 GMT" },
        { "\"a\"", "", "\"a\"", "" },
        { "", "Mon, 07 Dec 2026 10:00:00 GMT", "", "Mon, 07 Dec 2026 10:00:00 GMT" },
        { "", "", "", "" },
        // A value that would break the request's head is not sent.
        { "\"a\"\r\nX-Injected: 1", "Mon\n", "", "" },
    };
    for ( const auto& c : cases )
    {
        FeedReader reader(feed.Url());
        reader.SetHttpOptions(FastHttpOptions());
        reader.SetValidators(c.etag, c.lastModified, feed.Url());
        EXPECT_EQ(reader.Read(), 0) << c.etag;
        EXPECT_FALSE(reader.IsNotModified());
        EXPECT_EQ(reader.GetTitle(), "Newest");
        EXPECT_EQ(reader.GetETag(), ETAG);
        EXPECT_EQ(reader.GetLastModified(), LAST_MODIFIED);
        const FixtureRequest request = feed.Server().Requests().back();
        EXPECT_EQ(request.Header("If-None-Match"), c.ifNoneMatch) << request.raw;
        EXPECT_EQ(request.Header("If-Modified-Since"), c.ifModifiedSince) << request.raw;
        EXPECT_EQ(request.Header("X-Injected"), "") << request.raw;
    }
}

TEST(FeedReaderConditional, NotModifiedIsSuccessWithoutAPostOnlyWhenAskedFor)
{
    ConditionalFeed feed;
    FeedReader asked(feed.Url());
    asked.SetHttpOptions(FastHttpOptions());
    asked.SetValidators(wxString::FromUTF8(ETAG), wxString(), feed.Url());
    EXPECT_EQ(asked.Read(), 0);
    EXPECT_TRUE(asked.IsNotModified());
    EXPECT_EQ(asked.GetTitle(), "");
    EXPECT_EQ(asked.GetETag(), ETAG);

    // An answer of 304 to a request that asked for nothing is no document, as before.
    FixtureServer server;
    server.Serve("/feed", "HTTP/1.1 304 Not Modified\r\nConnection: close\r\n\r\n");
    FeedReader unasked(wxString::FromUTF8(server.Url("/feed")));
    unasked.SetHttpOptions(FastHttpOptions());
    EXPECT_EQ(unasked.Read(), FEED_NOT_XML);
    EXPECT_FALSE(unasked.IsNotModified());
}

namespace
{

class ConditionalRun : public ProjectTest
{
protected:
    ConditionalRun()
    {
        WriteBytes(GetTemplatePath("default.txt"), "-- \n%title% %link%");
        LoadProject();
        g_project.SetFeedURL(wxString::FromUTF8(m_feed.Url()));
        g_project.SetFilePath(m_dir.File("signature.txt"));
        g_project.m_quiet = true;
        FeedReader::SetTimeLimits(2, 1, 3);
    }

    ~ConditionalRun() override
    {
        const HttpOptions defaults;
        FeedReader::SetTimeLimits(defaults.connectTimeoutSecs, defaults.lowSpeedTimeSecs,
                                  defaults.totalTimeoutSecs);
    }

    // The configuration file as another run would read it.
    wxString Stored(const wxString& entry) const
    {
        wxFileConfig stored("Feedquill", "Tarnwick", GetConfigPath(), wxString(),
                            wxCONFIG_USE_LOCAL_FILE, wxConvAuto());
        return stored.Read("/project/default/" + entry, "<absent>");
    }

    FixtureRequest LastRequest() const { return m_feed.Server().Requests().back(); }

    ConditionalFeed m_feed;
    RecordingMessenger m_messenger;
};

const std::string SIGNATURE = "-- \nNewest http://blog.example/newest";

} // anonymous namespace

TEST_F(ConditionalRun, SecondRunIsAnsweredNotModifiedAndKeepsThePost)
{
    EXPECT_EQ(g_project.Update(), SIGNATURE_WRITTEN);
    EXPECT_EQ(LastRequest().Header("If-None-Match"), "");
    EXPECT_EQ(Stored("ETag"), ETAG);
    EXPECT_EQ(Stored("LastModified"), LAST_MODIFIED);

    // The next run, as a new process would make it, with the signature file gone meanwhile.
    ReopenConfig();
    LoadProject();
    g_project.m_quiet = false;
    wxRemoveFile(g_project.m_filePath);
    EXPECT_EQ(g_project.Update(), SIGNATURE_WRITTEN);
    EXPECT_EQ(LastRequest().Header("If-None-Match"), ETAG);
    EXPECT_EQ(LastRequest().Header("If-Modified-Since"), LAST_MODIFIED);
    EXPECT_EQ(m_feed.NotModifiedAnswers(), 1);
    EXPECT_EQ(g_project.m_lastTitle, "Newest");
    EXPECT_EQ(g_project.m_lastLink, "http://blog.example/newest");
    EXPECT_EQ(ReadBytes(g_project.m_filePath), SIGNATURE);
    EXPECT_EQ(Stored("LastTitle"), "Newest");
    EXPECT_EQ(Stored("ETag"), ETAG);
    ASSERT_EQ(m_messenger.GetMessages().size(), 1u);
    EXPECT_TRUE(m_messenger.GetMessages()[0].text.StartsWith("Updated successfully:\n Title : "
                                                             "Newest"));
}

TEST_F(ConditionalRun, LastModifiedAloneIsSentBack)
{
    ConditionalFeed dated("/dated", false, true);
    g_project.m_feedURL = wxString::FromUTF8(dated.Url("/dated"));
    EXPECT_EQ(g_project.Update(), SIGNATURE_WRITTEN);
    EXPECT_EQ(Stored("ETag"), "<absent>");
    EXPECT_EQ(Stored("LastModified"), LAST_MODIFIED);
    EXPECT_EQ(g_project.Update(), SIGNATURE_WRITTEN);
    const FixtureRequest request = dated.Server().Requests().back();
    EXPECT_EQ(request.Header("If-None-Match"), "");
    EXPECT_EQ(request.Header("If-Modified-Since"), LAST_MODIFIED);
    EXPECT_EQ(dated.NotModifiedAnswers(), 1);
    EXPECT_EQ(ReadBytes(g_project.m_filePath), SIGNATURE);
}

TEST_F(ConditionalRun, ChangingTheAddressForgetsTheValidators)
{
    EXPECT_EQ(g_project.Update(), SIGNATURE_WRITTEN);
    // The same address again changes nothing.
    g_project.SetFeedURL(g_project.m_feedURL);
    EXPECT_EQ(Stored("ETag"), ETAG);

    ConditionalFeed other("/other");
    g_project.SetFeedURL(wxString::FromUTF8(other.Url("/other")));
    EXPECT_EQ(g_project.m_etag, "");
    EXPECT_EQ(g_project.m_lastModified, "");
    EXPECT_EQ(Stored("ETag"), "<absent>");
    EXPECT_EQ(Stored("LastModified"), "<absent>");
    EXPECT_EQ(g_project.Update(), SIGNATURE_WRITTEN);
    const FixtureRequest request = other.Server().Requests().back();
    EXPECT_EQ(request.Header("If-None-Match"), "");
    EXPECT_EQ(request.Header("If-Modified-Since"), "");
    EXPECT_EQ(other.NotModifiedAnswers(), 0);
}

TEST_F(ConditionalRun, ValidatorsWithoutAStoredPostAreNotSent)
{
    g_project.m_etag = wxString::FromUTF8(ETAG);
    g_project.m_lastModified = wxString::FromUTF8(LAST_MODIFIED);
    g_project.m_lastTitle = "";
    g_project.m_lastLink = "http://blog.example/newest";
    EXPECT_EQ(g_project.Update(), SIGNATURE_WRITTEN);
    EXPECT_EQ(LastRequest().Header("If-None-Match"), "");
    EXPECT_EQ(m_feed.NotModifiedAnswers(), 0);
    EXPECT_EQ(g_project.m_lastTitle, "Newest");
}

TEST_F(ConditionalRun, UnaskedNotModifiedFailsAsAnyAnswerWithoutADocument)
{
    FixtureServer server;
    server.Serve("/feed", "HTTP/1.1 304 Not Modified\r\nETag: \"x\"\r\nConnection: close\r\n\r\n");
    g_project.m_feedURL = wxString::FromUTF8(server.Url("/feed"));
    g_project.m_lastTitle = "Stored";
    g_project.m_lastLink = "http://blog.example/stored";
    WriteBytes(g_project.m_filePath, "previous");
    LogCollector log;
    EXPECT_EQ(g_project.Update(), SIGNATURE_UPDATE_FAILED);
    ASSERT_FALSE(log.GetErrors().empty());
    EXPECT_TRUE(log.GetErrors()[0].StartsWith("Error #15 while processing your feed"))
        << log.GetAll();
    EXPECT_EQ(ReadBytes(g_project.m_filePath), "previous");
    EXPECT_EQ(Stored("ETag"), "<absent>");
}

TEST_F(ConditionalRun, NotModifiedKeepsTheValidatorsItLeavesOut)
{
    FixtureServer server;
    server.Serve("/feed", FixtureServer::Response(200, RSS, {{"ETag", ETAG},
                                                            {"Last-Modified", LAST_MODIFIED}}));
    g_project.SetFeedURL(wxString::FromUTF8(server.Url("/feed")));
    EXPECT_EQ(g_project.Update(), SIGNATURE_WRITTEN);

    // A 304 names the entity tag again (here a new one) but rarely the date.
    server.Serve("/feed", "HTTP/1.1 304 Not Modified\r\nETag: \"feed-2\"\r\n"
                          "Connection: close\r\n\r\n");
    EXPECT_EQ(g_project.Update(), SIGNATURE_WRITTEN);
    EXPECT_EQ(server.Requests().back().Header("If-None-Match"), ETAG);
    EXPECT_EQ(Stored("ETag"), "\"feed-2\"");
    EXPECT_EQ(Stored("LastModified"), LAST_MODIFIED);
    EXPECT_EQ(g_project.m_lastModified, LAST_MODIFIED);
    EXPECT_EQ(ReadBytes(g_project.m_filePath), SIGNATURE);
}

TEST_F(ConditionalRun, NotModifiedRunLeavesAnUnchangedSignatureFileAlone)
{
    EXPECT_EQ(g_project.Update(), SIGNATURE_WRITTEN);
    struct stat before;
    ASSERT_EQ(stat(g_project.m_filePath.fn_str(), &before), 0);
    const timespec times[2] = { { before.st_atim.tv_sec - 3600, 0 },
                                { before.st_mtim.tv_sec - 3600, 0 } };
    ASSERT_EQ(utimensat(AT_FDCWD, g_project.m_filePath.fn_str(), times, 0), 0);

    EXPECT_EQ(g_project.Update(), SIGNATURE_WRITTEN);
    EXPECT_EQ(m_feed.NotModifiedAnswers(), 1);
    struct stat after;
    ASSERT_EQ(stat(g_project.m_filePath.fn_str(), &after), 0);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec - 3600);
    EXPECT_EQ(after.st_ino, before.st_ino);
}
