// What a template can say of the newest post: the macros, read from real feeds, kept with the
// post and expanded into the signature.

#include "fixtureserver.h"
#include "testenv.h"

#include "feed/feedreader.h"
#include "feed/posttext.h"
#include "project/configkeys.h"
#include "project/project.h"
#include "run/postmacros.h"
#include "run/signaturetext.h"
#include "run/updaterun.h"

#include <wx/config.h>
#include <wx/filename.h>

#include <gtest/gtest.h>

#include <atomic>
#include <clocale>
#include <ctime>
#include <memory>
#include <string>

namespace
{

const wxString ELLIPSIS = wxString::FromUTF8("\xe2\x80\xa6");

// Reads a feed as the update run does, from memory, and takes its details into a project.
Project ReadIntoProject(const std::string& document)
{
    FeedReader reader("http://blog.example/feed");
    EXPECT_EQ(reader.LoadDocument(document.data(), document.size()), FEED_OK);
    EXPECT_EQ(reader.ParseDocument(), FEED_OK);
    Project project;
    project.m_lastTitle = reader.GetTitle();
    project.m_lastLink = reader.GetLink();
    TakePostDetails(project, reader);
    return project;
}

} // anonymous namespace

TEST(PostMacros, EachMacroFromRssAndAtomSamples)
{
    const wxString feeds = FEEDQUILL_SHARED_FEEDS_DIR;
    if ( !wxFileName::DirExists(feeds) )
        GTEST_SKIP() << "the feed samples are not at " << feeds;
    const struct
    {
        const char* file;  // a sample of the shared feeds, or a document itself ("<...")
        const char* date;
        const char* author;
        const char* feedTitle;
        const char* feedLink;
        const char* summaryStart;
    } cases[] =
    {
        // RSS 2.0: the description's markup goes; the name of the author's address.
        { "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Harbour Notes</title>"
          "<link>http://harbour.example/</link><managingEditor>editor@harbour.example"
          "</managingEditor><item><title>Tide tables</title><author>writer@harbour.example "
          "(Writer)</author><link>http://harbour.example/tides</link><description>How do "
          "sailors read the tides? They start at the &lt;a href=\"http://harbour.example/"
          "office\"&gt;harbour office&lt;/a&gt;.</description><pubDate>Tue, 03 Jun 2003 "
          "09:39:21 GMT</pubDate></item></channel></rss>",
          "2003-06-03T09:39:21Z", "Writer", "Harbour Notes", "http://harbour.example/",
          "How do sailors read the tides? They start at the harbour office." },
        // Blogger's RSS: the item's author, a post without a description.
        { "real-blogger-rss2.xml", "2006-12-20T21:42:06Z", "ak", "AK's moblog",
          "http://aksmoblog.blogspot.com", "" },
        // Atom: the entry's summary, the feed's author for an entry without one.
        { "fmt-atom10-rfc-minimal.xml", "2003-12-13T18:30:02Z", "John Doe", "Example Feed",
          "http://example.org/", "Some text." },
        // Blogger's Atom: HTML content made plain text, the entry's author.
        { "real-blogger-atom-posts.xml", "2017-09-11T21:01:00Z", "Google Testing Bloggers",
          "Google Testing Blog", "http://testing.googleblog.com/",
          "This is another post in our Code Health series. A version of this post" },
    };
    for ( const auto& c : cases )
    {
        const Project project = ReadIntoProject(*c.file == '<' ? std::string(c.file)
                                                               : ReadBytes(feeds + "/" + c.file));
        EXPECT_EQ(project.m_lastDate, c.date) << c.file;
        EXPECT_EQ(project.m_lastAuthor, wxString::FromUTF8(c.author)) << c.file;
        EXPECT_EQ(project.m_feedTitle, wxString::FromUTF8(c.feedTitle)) << c.file;
        EXPECT_EQ(project.m_feedLink, c.feedLink) << c.file;
        EXPECT_TRUE(project.m_lastSummary.StartsWith(wxString::FromUTF8(c.summaryStart)))
            << c.file << ": " << project.m_lastSummary;
        EXPECT_EQ(project.m_lastSummary.find_first_of("<>\n\t"), wxString::npos) << c.file;
        EXPECT_EQ(ExpandMacros("%author% | %feedtitle% | %feedlink%", project),
                  wxString::FromUTF8(c.author) + " | " + wxString::FromUTF8(c.feedTitle) + " | "
                      + c.feedLink)
            << c.file;
    }
}

TEST(PostMacros, PostWithoutDateOrAuthorGivesEmptyValues)
{
    const Project project = ReadIntoProject(
        "<rss><channel><title>Blog</title><item><title>Only a title</title>"
        "<link>http://blog.example/1</link></item></channel></rss>");
    EXPECT_EQ(project.m_lastDate, "");
    EXPECT_EQ(project.m_lastAuthor, "");
    EXPECT_EQ(project.m_lastSummary, "");
    EXPECT_EQ(ExpandMacros("[%date%][%author%][%summary:10%]", project), "[][][]");
}

TEST(PostMacros, LaterTitleAndLinkOfACompletePostDoNotCount)
{
    const Project project = ReadIntoProject(
        "<rss><channel><item><title>First</title><link>http://blog.example/1</link>"
        "<description>About it</description><title>Second</title></item></channel></rss>");
    EXPECT_EQ(project.m_lastTitle, "First");
    EXPECT_EQ(project.m_lastSummary, "About it");
}

TEST(PostMacros, TextIsShortenedAtAWordBoundary)
{
    const wxString text = "Hello brave new world";  // 21 characters
    const struct
    {
        size_t length;
        wxString shortened;
    } cases[] =
    {
        { 21, text },                        // fits exactly
        { 40, text },
        { 20, "Hello brave new" + ELLIPSIS },  // the blank after "new" leaves room for "…"
        { 16, "Hello brave new" + ELLIPSIS },  // at a boundary: 15 characters and "…"
        { 15, "Hello brave" + ELLIPSIS },      // one past it
        { 12, "Hello brave" + ELLIPSIS },
        { 11, "Hello" + ELLIPSIS },
        { 4, "Hel" + ELLIPSIS },               // the first word alone is too long
        { 1, ELLIPSIS },
    };
    for ( const auto& c : cases )
    {
        EXPECT_EQ(ShortenText(text, c.length), c.shortened) << c.length;
        EXPECT_LE(ShortenText(text, c.length).length(), c.length);
    }
}

TEST(PostMacros, ExpansionOfKnownUnknownAndMeasuredMacros)
{
    Project project;
    project.m_lastTitle = "Hello brave new world";
    project.m_lastLink = "http://blog.example/a?b=1&c=2";
    project.m_lastSummary = "A <b> summary";
    project.m_feedLink = "http://blog.example/";
    const struct
    {
        const char* text;
        wxString expanded;
    } cases[] =
    {
        { "%title% %link%", "Hello brave new world http://blog.example/a?b=1&c=2" },
        { "%title:15%", "Hello brave" + ELLIPSIS },
        { "%summary:40%|%feedlink%", "A <b> summary|http://blog.example/" },
        // Unknown, in another case, a link with a length, a bad length: left as written.
        { "%Title% %titles% %link:10% %title:0% %title:x% %title:%",
          "%Title% %titles% %link:10% %title:0% %title:x% %title:%" },
        { "100% sure: %title:5%", "100% sure: Hell" + ELLIPSIS },
        { "%%title%%", "%Hello brave new world%" },
    };
    for ( const auto& c : cases )
        EXPECT_EQ(ExpandMacros(c.text, project), c.expanded) << c.text;

    // Only "%link%" goes in over the other values, as it always did after the title.
    project.m_lastTitle = "%link% %summary%";
    project.m_lastSummary = "%title%";
    project.m_lastLink = "http://x/%title%";
    EXPECT_EQ(ExpandMacros("%title% | %summary% | %link%", project),
              "http://x/%title% %summary% | %title% | http://x/%title%");
}

TEST(PostMacros, HtmlSignatureEscapesEveryValue)
{
    Project project;
    project.m_template = "<p>%title:20% %summary% <a href=\"%link%\">%author%</a></p>";
    project.m_lastTitle = "Fish & <chips>";
    project.m_lastLink = "http://blog.example/?a=1&b=\"2\"";
    project.m_lastSummary = "1 < 2";
    project.m_lastAuthor = "Jo \"JD\" Doe";
    EXPECT_EQ(MakeSignatureText(project.m_template, project, "sig.html"),
              "<p>Fish &amp; &lt;chips&gt; 1 &lt; 2 <a href=\"http://blog.example/?a=1&amp;"
              "b=&quot;2&quot;\">Jo &quot;JD&quot; Doe</a></p>");
    EXPECT_EQ(MakeSignatureText(project.m_template, project, "sig.txt"),
              "<p>Fish & <chips> 1 < 2 <a href=\"http://blog.example/?a=1&b=\"2\"\">Jo \"JD\" "
              "Doe</a></p>");
}

TEST(PostMacros, DateIsInTheLocalZoneAndShortForm)
{
    std::unique_ptr<ScopedEnv> zone(new ScopedEnv("TZ", "JST-9"));
    tzset();
    const char* previous = std::setlocale(LC_TIME, nullptr);
    const std::string saved = previous ? previous : "C";
    std::setlocale(LC_TIME, "C");
    Project project;
    project.m_lastDate = "2003-06-03T20:39:21Z";  // already the 4th in Tokyo
    EXPECT_EQ(ExpandMacros("%date%", project), "06/04/03");
    project.m_lastDate = "not a date";
    EXPECT_EQ(ExpandMacros("[%date%]", project), "[]");
    std::setlocale(LC_TIME, saved.c_str());
    zone.reset();
    tzset();
}

class PostMacrosRun : public ProjectTest
{
};

// The details are stored with the post and a 304 keeps them, as it keeps the title.
TEST_F(PostMacrosRun, DetailsAreStoredAndANotModifiedAnswerKeepsThem)
{
    FixtureServer server;
    std::atomic<bool> unchanged{false};
    server.Handle("/feed", [&](const FixtureRequest& request, FixtureConnection& connection)
    {
        unchanged = request.Header("If-None-Match") == "\"v1\"";
        if ( unchanged )
            connection.Send("HTTP/1.1 304 Not Modified\r\nETag: \"v1\"\r\n"
                            "Connection: close\r\n\r\n");
        else
            connection.Send(FixtureServer::Response(200,
                "<rss><channel><title>The Blog</title><link>http://blog.example/</link>"
                "<item><title>Post</title><link>http://blog.example/post</link>"
                "<author>jo@blog.example (Jo Doe)</author><description>&lt;p&gt;Some "
                "&amp;amp; words&lt;/p&gt;</description>"
                "<pubDate>Tue, 10 Jun 2003 04:00:00 GMT</pubDate></item></channel></rss>",
                {{"ETag", "\"v1\""}}));
    });
    WriteBytes(GetTemplatePath("default.txt"), "%title% %author% %summary% %feedtitle%");
    wxConfigBase::Get()->Write("/project/default/FeedURL", wxString(server.Url("/feed")));
    wxConfigBase::Get()->Write("/project/default/FilePath", m_dir.File("sig.txt"));
    for ( int run = 0; run < 2; ++run )
    {
        ReopenConfig();
        LoadProject();
        g_project.m_quiet = true;
        ASSERT_EQ(g_project.Update(), SIGNATURE_WRITTEN) << run;
        EXPECT_EQ(unchanged, run == 1);
        EXPECT_EQ(ReadBytes(m_dir.File("sig.txt")), "Post Jo Doe Some & words The Blog") << run;
        ReopenConfig();
        wxConfigBase* config = wxConfigBase::Get();
        EXPECT_EQ(config->Read("/project/default/LastDate", ""), "2003-06-10T04:00:00Z");
        EXPECT_EQ(config->Read("/project/default/LastAuthor", ""), "Jo Doe");
        EXPECT_EQ(config->Read("/project/default/FeedLink", ""), "http://blog.example/");
    }
}

class ProjectNames : public ProjectTest
{
};

TEST_F(ProjectNames, NamesThatCannotBeAGroupOrAFileAreRefusedWithAReason)
{
    const struct
    {
        const char* name;
        const char* reason;  // empty: accepted
    } cases[] =
    {
        { "work", "" },
        { "Private mail 2", "" },
        { "", "other than" },
        { "..", "other than" },
        { "a/b", "cannot hold" },
        { "a\\b", "cannot hold" },
        { " work", "blank" },
        { "tab\there", "control characters" },
    };
    for ( const auto& c : cases )
    {
        wxString reason;
        EXPECT_EQ(CheckProjectName(c.name, reason), *c.reason == '\0') << c.name;
        EXPECT_NE(reason.find(c.reason), wxString::npos) << c.name << ": " << reason;
    }
}

TEST_F(ProjectNames, CreatedProjectIsListedWithItsTemplateFile)
{
    LogCollector log;
    EXPECT_TRUE(CreateProject("work"));
    EXPECT_TRUE(CreateProject("home"));
    EXPECT_FALSE(CreateProject("work"));  // there already
    EXPECT_FALSE(CreateProject("a/b"));
    EXPECT_EQ(log.GetErrors().size(), 2u);
    const wxArrayString names = ListProjects();
    ASSERT_EQ(names.size(), 2u);
    EXPECT_TRUE(names.Index("work") != wxNOT_FOUND && names.Index("home") != wxNOT_FOUND);
    EXPECT_TRUE(FileExists(GetTemplatePath("work.txt")));
    EXPECT_FALSE(FileExists(GetTemplatePath("a/b.txt")));
}
