// Finding the feed from a blog's page, and addresses typed without a scheme.

#include "fixtureserver.h"
#include "testenv.h"

#include "feed/feeddiscovery.h"
#include "feed/feedreader.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

const char* const RSS = "<rss><channel><item><title>From RSS</title>"
                        "<link>http://blog.example/rss-post</link></item></channel></rss>";
const char* const ATOM = "<feed xmlns=\"http://www.w3.org/2005/Atom\"><entry><title>From Atom"
                         "</title><link href=\"http://blog.example/atom-post\"/></entry></feed>";

std::string Page(const std::string& head, const std::string& body = "<p>Hello</p>")
{
    return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>A blog</title>"
           + head + "</head><body>" + body + "</body></html>";
}

std::string FeedLinkTag(const std::string& type, const std::string& href,
                        const std::string& title = "Feed")
{
    return "<link rel=\"alternate\" type=\"application/" + type + "+xml\" title=\"" + title
           + "\" href=\"" + href + "\">";
}

// The feeds a page names, fed to the scanner in pieces of the given size.
std::vector<FeedLink> Scan(const std::string& page, std::size_t piece,
                           const std::string& url = "http://blog.example/dir/page")
{
    FeedLinkScanner scanner;
    for ( std::size_t at = 0; at < page.size() && scanner.Feed(page.data() + at,
                                                               std::min(piece, page.size() - at));
          at += piece )
        ;
    return scanner.GetFeeds(url);
}

} // anonymous namespace

TEST(FeedLinkScanner, FindsTheFeedsInAPagesHeadWhateverThePieces)
{
    const struct
    {
        const char* name;
        std::string page;
        std::vector<std::string> feeds;
    } cases[] = {
        { "relative and absolute", Page(FeedLinkTag("rss", "feed.xml")
                                        + FeedLinkTag("atom", "https://other.example/a")),
          { "http://blog.example/dir/feed.xml", "https://other.example/a" } },
        { "base, entities, rel list, odd case",
          Page("<BASE HREF='/root/'><LINK REL='alternate feed' TYPE='Application/Atom+XML; "
               "charset=utf-8' HREF='x?a=1&amp;b=2'>"),
          { "http://blog.example/root/x?a=1&b=2" } },
        { "no type, stylesheet, other rel",
          Page("<link rel=\"stylesheet\" href=\"s.css\"><link rel=\"alternate\" "
               "hreflang=\"de\" href=\"/de/\"><link rel=\"feed\" type=\"application/rss+xml\" "
               "href=\"/f\">"),
          {} },
        { "script and comment mention a body", "<html><head><script>var s = '<body>';"
          "</script><!-- <body> -->" + FeedLinkTag("rss", "/after") + "</head></html>",
          { "http://blog.example/after" } },
        { "after the body", Page("", FeedLinkTag("rss", "/late")), {} },
        { "after an element of the body", "<html><head><div>x</div>"
          + FeedLinkTag("rss", "/late") + "</head></html>", {} },
        { "a feed, not a page", RSS, {} },
    };
    for ( const auto& c : cases )
    {
        for ( std::size_t piece : { std::size_t(1), std::size_t(7), c.page.size() } )
        {
            std::vector<std::string> found;
            for ( const FeedLink& link : Scan(c.page, piece) )
                found.push_back(std::string(link.url.utf8_str()));
            EXPECT_EQ(found, c.feeds) << c.name << ", pieces of " << piece;
        }
    }
}

TEST(FeedLinkScanner, WantsNothingMoreOnceTheHeadIsOverOrTheAnswerIsAFeed)
{
    const struct
    {
        std::string text;
        bool wantsMore;
        bool html;
    } cases[] = {
        { "<!DOCTYPE html><html><head><title>x", true, true },
        { "<!DOCTYPE html><html><head></head>", false, true },
        { "<html><body>", false, true },
        { "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel>", false, false },
        { "<?xml version=\"1.0\"?>", true, false },
    };
    for ( const auto& c : cases )
    {
        FeedLinkScanner scanner;
        EXPECT_EQ(scanner.Feed(c.text.data(), c.text.size()), c.wantsMore) << c.text;
        EXPECT_EQ(scanner.IsHtml(), c.html) << c.text;
    }
}

TEST(FeedLinkChoice, PostsBeforeCommentsElseTheFirst)
{
    const struct
    {
        std::vector<FeedLink> links;
        const char* chosen;
    } cases[] = {
        { { { "http://b/comments/feed", "Blog » Comments Feed" }, { "http://b/feed", "Blog" } },
          "http://b/feed" },
        { { { "http://b/a", "Kommentare" }, { "http://b/b", "Beiträge" } }, "http://b/b" },
        { { { "http://b/first", "Posts" }, { "http://b/second", "Posts too" } },
          "http://b/first" },
        { { { "http://b/comments", "Comments" } }, "http://b/comments" },
    };
    for ( const auto& c : cases )
    {
        FeedLink chosen;
        ASSERT_TRUE(ChooseFeedLink(c.links, chosen));
        EXPECT_EQ(chosen.url, c.chosen);
    }
    FeedLink none;
    EXPECT_FALSE(ChooseFeedLink({}, none));
}

TEST(FeedReaderDiscovery, ReadsTheFeedAPageNamesOnceOnly)
{
    FixtureServer server;
    server.Serve("/rss.xml", FixtureServer::Response(200, RSS));
    server.Serve("/blog/atom.xml", FixtureServer::Response(200, ATOM));
    server.Serve("/comments.xml", FixtureServer::Response(200, ATOM));
    server.Serve("/rss", FixtureServer::Response(200, Page(FeedLinkTag("rss", "/rss.xml"))));
    server.Serve("/blog/", FixtureServer::Response(200, Page(FeedLinkTag("atom", "atom.xml"))));
    server.Serve("/comments-first", FixtureServer::Response(200, Page(
        FeedLinkTag("atom", "/comments.xml", "Comments Feed") + FeedLinkTag("rss", "/rss.xml"))));
    server.Serve("/none", FixtureServer::Response(200, Page("")));
    server.Serve("/late", FixtureServer::Response(200, Page("", FeedLinkTag("rss", "/rss.xml"))));
    server.Serve("/page-to-page", FixtureServer::Response(200, Page(FeedLinkTag("rss", "/rss"))));
    // Far beyond the size cap below, but the head comes first.
    server.Serve("/large", FixtureServer::Response(200, Page(FeedLinkTag("rss", "/rss.xml"),
                                                             std::string(300 * 1024, 'x'))));
    HttpOptions options = FeedReader::GetDefaultHttpOptions();
    options.maxBodySize = 64 * 1024;

    const struct
    {
        const char* path;
        int result;
        const char* title;
        const char* feed;  // read from, when the page names one
        std::size_t requests;
    } cases[] = {
        { "/rss", FEED_OK, "From RSS", "/rss.xml", 2 },
        { "/blog/", FEED_OK, "From Atom", "/blog/atom.xml", 2 },
        { "/comments-first", FEED_OK, "From RSS", "/rss.xml", 2 },
        { "/large", FEED_OK, "From RSS", "/rss.xml", 2 },
        { "/none", FEED_NOT_XML, "", "", 1 },
        { "/late", FEED_NOT_XML, "", "", 1 },
        { "/page-to-page", FEED_NOT_XML, "", "/rss", 2 },
    };
    for ( const auto& c : cases )
    {
        const std::size_t before = server.RequestCount();
        FeedReader reader(server.Url(c.path));
        reader.SetHttpOptions(options);
        wxLogNull quiet;
        EXPECT_EQ(reader.Read(), c.result) << c.path;
        EXPECT_EQ(reader.GetTitle(), c.title) << c.path;
        EXPECT_EQ(server.RequestCount() - before, c.requests) << c.path;
        const bool named = *c.feed != '\0';
        EXPECT_EQ(reader.GetFeedUrl(), named ? server.Url(c.feed) : server.Url(c.path)) << c.path;
        EXPECT_EQ(reader.GetPageUrl(), named ? server.Url(c.path) : "") << c.path;
        if ( c.result == FEED_NOT_XML && !named )
        {
            EXPECT_EQ(reader.GetErrorDetail(), "This is an HTML page, not an RSS or Atom feed: "
                                               + server.Url(c.path)) << c.path;
        }
    }
}

TEST(FeedReaderAddress, WithoutSchemeHttpsFirstAndHttpOnlyWhenRefused)
{
    FixtureServer plain;
    FixtureServer trusted(FixtureServer::TLS_TRUSTED);
    FixtureServer untrusted(FixtureServer::TLS_UNTRUSTED);
    ASSERT_TRUE(plain.IsOk() && trusted.IsOk() && untrusted.IsOk());
    for ( FixtureServer* server : { &plain, &trusted, &untrusted } )
        server->Serve("/feed", FixtureServer::Response(200, RSS));
    const std::string refused = std::to_string(UnusedPort());
    const std::string http = "127.0.0.1:80:127.0.0.1:" + std::to_string(plain.Port());
    auto https = [](int port) { return "127.0.0.1:443:127.0.0.1:" + std::to_string(port); };

    const struct
    {
        const char* name;
        std::string httpsTo;
        int result;
        const char* readFrom;
        std::size_t plainRequests;
    } cases[] = {
        { "https answers", https(trusted.Port()), FEED_OK, "https://127.0.0.1/feed", 0 },
        { "https refused", "127.0.0.1:443:127.0.0.1:" + refused, FEED_OK,
          "http://127.0.0.1/feed", 1 },
        { "certificate not trusted", https(untrusted.Port()), HTTP_TLS_ERROR,
          "https://127.0.0.1/feed", 0 },
    };
    for ( const auto& c : cases )
    {
        HttpOptions options = FeedReader::GetDefaultHttpOptions();
        options.caFile = FixtureServer::CaFile();
        options.connectTo = { c.httpsTo, http };
        const std::size_t before = plain.RequestCount();
        FeedReader reader("127.0.0.1/feed");
        reader.SetHttpOptions(options);
        EXPECT_EQ(reader.Read(), c.result) << c.name;
        EXPECT_EQ(reader.GetFeedUrl(), c.readFrom) << c.name;
        EXPECT_EQ(plain.RequestCount() - before, c.plainRequests) << c.name;
    }
}

TEST(FeedAddress, SchemeIsSeenOnlyBeforeColonSlashSlash)
{
    EXPECT_TRUE(StartsWithScheme("http://blog.example/"));
    EXPECT_TRUE(StartsWithScheme("HTTPS://blog.example/"));
    EXPECT_TRUE(StartsWithScheme("git+ssh://x"));
    EXPECT_FALSE(StartsWithScheme("blog.example.com"));
    EXPECT_FALSE(StartsWithScheme("blog.example.com:8080/feed"));
    EXPECT_FALSE(StartsWithScheme("blog.example.com/?u=http://x"));
    EXPECT_FALSE(StartsWithScheme("://x"));
}
