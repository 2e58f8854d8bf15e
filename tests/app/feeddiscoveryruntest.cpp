// A command-line run given the blog's page instead of its feed.

#include "fixtureserver.h"
#include "testenv.h"

#include <wx/filename.h>

#include <gtest/gtest.h>

#include <string>

TEST(CommandLineDiscovery, ReadsTheFeedThePageNamesAndSaysSoUnlessQuiet)
{
    FixtureServer server;
    server.Serve("/feed.xml", FixtureServer::Response(200,
        "<rss><channel><item><title>Found</title><link>http://blog.example/found</link>"
        "</item></channel></rss>"));
    server.Serve("/", FixtureServer::Response(200,
        "<!DOCTYPE html><html><head><link rel=\"alternate\" type=\"application/rss+xml\" "
        "href=\"/feed.xml\"></head><body>Blog</body></html>"));
    for ( const char* mode : { "-c", "-q" } )
    {
        TempDir home;
        wxFileName::Mkdir(home.File(".feedquill/SignatureTemplates"), wxS_DIR_DEFAULT,
                          wxPATH_MKDIR_FULL);
        WriteBytes(home.File(".feedquill/SignatureTemplates/default.txt"), "%title% %link%");
        const std::string config = "[project/default]\nFeedURL=" + server.Url("/")
                                   + "\nFilePath=" + std::string(home.File("sig").fn_str())
                                   + "\n[updates]\nCCheckForUpdates=0\n";
        WriteBytes(home.File(".feedquill/Feedquill.cfg"), config);

        const ProgramRun run = RunProgram(mode, home.GetPath());
        EXPECT_EQ(run.status, 0) << mode << run.err;
        EXPECT_EQ(ReadBytes(home.File("sig")), "Found http://blog.example/found") << mode;
        const std::string notice = "The address " + server.Url("/") + " is a web page; Feedquill "
                                   "read the feed it names, " + server.Url("/feed.xml") + ".";
        const bool told = run.out.find(notice) != std::string::npos;
        EXPECT_EQ(told, std::string(mode) == "-c") << mode << ": " << run.out;
        if ( told )
        {
            EXPECT_EQ(run.out.find(notice), run.out.rfind(notice)) << "said once";
        }
        // The address stays as the user wrote it.
        EXPECT_NE(ReadBytes(home.File(".feedquill/Feedquill.cfg"))
                      .find("FeedURL=" + server.Url("/") + "\n"),
                  std::string::npos) << mode;
    }
}
