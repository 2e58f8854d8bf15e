// The signature update run: what it stores, what it writes, and what it leaves alone.

#include "fixtureserver.h"
#include "testenv.h"

#include "feed/feedreader.h"
#include "project/project.h"

#include <wx/config.h>
#include <wx/convauto.h>
#include <wx/datetime.h>
#include <wx/dir.h>
#include <wx/fileconf.h>
#include <wx/filename.h>

#include <gtest/gtest.h>

#include <clocale>
#include <map>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

const char* const RSS =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel>"
    "<title>Blog</title><link>http://blog.example/</link>"
    "<item><title>Caf\xC3\xA9 society</title><link>http://blog.example/cafe</link></item>"
    "<item><title>Older</title><link>http://blog.example/older</link></item>"
    "</channel></rss>";

class UpdateRun : public ProjectTest
{
protected:
    UpdateRun()
    {
        m_server.Serve("/feed", FixtureServer::Response(200, RSS));
        LoadProject();
        g_project.m_feedURL = m_server.Url("/feed");
        g_project.m_filePath = m_dir.File("signature.txt");
        g_project.m_template = "-- \n%title%\n%link%";
        g_project.m_quiet = true;
    }

    wxString ReadStoredKey(const wxString& key) const
    {
        wxFileConfig stored("Feedquill", "Tarnwick", GetConfigPath(), wxString(),
                            wxCONFIG_USE_LOCAL_FILE, wxConvAuto());
        return stored.Read(key, "<absent>");
    }

    FixtureServer m_server;
    RecordingMessenger m_messenger;
};

} // anonymous namespace

TEST_F(UpdateRun, StoresThePostFlushesAndWritesTheSignature)
{
    EXPECT_EQ(g_project.Update(), SIGNATURE_WRITTEN);
    const wxString title = wxString::FromUTF8("Caf\xC3\xA9 society");
    EXPECT_EQ(g_project.m_lastTitle, title);
    EXPECT_EQ(g_project.m_lastLink, "http://blog.example/cafe");
    // Flushed at once, before the run ends.
    EXPECT_EQ(ReadStoredKey("/project/default/LastTitle"), title);
    EXPECT_EQ(ReadStoredKey("/project/default/LastLink"), "http://blog.example/cafe");
    const std::string signature = ReadBytes(g_project.m_filePath);
    EXPECT_TRUE(signature == "-- \nCaf\xC3\xA9 society\nhttp://blog.example/cafe"
                || signature == "-- \nCaf\xE9 society\nhttp://blog.example/cafe")
        << signature;
    EXPECT_TRUE(m_messenger.GetMessages().empty());
}

TEST_F(UpdateRun, ShowsTheSuccessMessageUnlessQuiet)
{
    g_project.m_quiet = false;
    g_project.Update();
    ASSERT_EQ(m_messenger.GetMessages().size(), 1u);
    const RecordingMessenger::Message& message = m_messenger.GetMessages()[0];
    EXPECT_EQ(message.text, wxString::FromUTF8("Updated successfully:\n Title : Caf\xC3\xA9 society"
                                               "\n Link: http://blog.example/cafe"));
    EXPECT_EQ(message.caption, "Message");
    EXPECT_EQ(message.style, wxOK | wxCENTRE);
}

TEST_F(UpdateRun, FeedErrorChangesNothing)
{
    WriteBytes(g_project.m_filePath, "previous signature\n");
    g_project.m_lastTitle = "Old";
    g_project.m_quiet = false;
    m_server.Serve("/missing", FixtureServer::Response(404, "gone"));
    g_project.m_feedURL = m_server.Url("/missing");
    LogCollector log;

    EXPECT_EQ(g_project.Update(), SIGNATURE_UPDATE_FAILED);
    ASSERT_EQ(log.GetErrors().size(), 1u);
    EXPECT_TRUE(log.GetErrors()[0].StartsWith("Error #6 while processing your feed\n"));
    EXPECT_EQ(ReadBytes(g_project.m_filePath), "previous signature\n");
    EXPECT_EQ(g_project.m_lastTitle, "Old");
    EXPECT_FALSE(FileExists(GetConfigPath()));
    EXPECT_TRUE(m_messenger.GetMessages().empty());
}

TEST_F(UpdateRun, EveryFeedErrorSaysWhatHappened)
{
    FixtureServer untrusted(FixtureServer::TLS_UNTRUSTED);
    untrusted.Serve("/feed", FixtureServer::Response(200, RSS));
    const std::map<std::string, std::string> bodies = {
        { "/page", "<!DOCTYPE html>\n<html><body><p>Hello<br></body></html>" },
        { "/xhtml", "<html xmlns=\"http://www.w3.org/1999/xhtml\"><body/></html>" },
        { "/opml", "<?xml version=\"1.0\"?><opml version=\"2.0\"><body/></opml>" },
        { "/empty", "" },
        { "/broken", "<rss>\n<channel></rss>" },
        { "/unknown", "<?xml version=\"1.0\" encoding=\"x-no-such\"?><rss/>" },
        { "/atom", "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>B</title></feed>" },
        { "/rss", "<rss><channel><item><title>No link</title></item></channel></rss>" },
    };
    for ( const auto& body : bodies )
        m_server.Serve(body.first, FixtureServer::Response(200, body.second));
    m_server.Serve("/nowhere", FixtureServer::Response(302, ""));
    const std::string refusedPort = std::to_string(UnusedPort());
    const std::string tlsPort = std::to_string(untrusted.Port());
    const auto url = [this](const char* path) { return m_server.Url(path); };

    const struct
    {
        std::string address;
        int error;
        std::string words;  // how the second line starts
    } cases[] =
    {
        { "", 11, "No feed address is set (choose one in the window, or set FeedURL in "
                  + std::string(GetConfigPath().fn_str()) + ")" },
        { "ftp://blog.example/feed", 11, "\"ftp://blog.example/feed\" is not a complete "
                                         "http:// or https:// address with a host name" },
        { url("/nowhere"), 11, "The server answered 302 for " + url("/nowhere")
                               + " without saying where to go (no Location)" },
        { "http://127.0.0.1:" + refusedPort + "/feed", 3,
          "Could not connect to 127.0.0.1 port " + refusedPort + ": Connection refused" },
        { url("/missing"), 6, "The server answered 404 Not Found for " + url("/missing") },
        { untrusted.Url("/feed"), 12, "The secure connection to 127.0.0.1 port " + tlsPort
                                      + " failed: SSL certificate problem" },
        { url("/page"), 15, "This is an HTML page, not an RSS or Atom feed: " + url("/page") },
        { url("/xhtml"), 1, "This is an HTML page, not an RSS or Atom feed: " + url("/xhtml") },
        { url("/opml"), 1, "This XML document is neither an RSS nor an Atom feed (its root "
                           "element is <opml>): " + url("/opml") },
        { url("/empty"), 15, "The answer from " + url("/empty") + " is empty" },
        { url("/broken"), 15, "The answer from " + url("/broken") + " is not a feed Feedquill "
                              "can read: mismatched tag at line 2, column " },
        { url("/unknown"), 15, "The feed is written in the encoding \"x-no-such\", which cannot be "
                             "read: " + url("/unknown") },
        { url("/atom"), 21, "The Atom feed has no entry with both a title and a link: "
                            + url("/atom") },
        { url("/rss"), 31, "The RSS feed has no item with both a title and a link: "
                           + url("/rss") },
    };
    for ( const auto& c : cases )
    {
        g_project.m_feedURL = wxString::FromUTF8(c.address);
        LogCollector log;
        EXPECT_EQ(g_project.Update(), SIGNATURE_UPDATE_FAILED) << c.address;
        ASSERT_EQ(log.GetErrors().size(), 1u) << c.address;
        wxString words;
        EXPECT_EQ(log.GetErrors()[0].BeforeFirst('\n', &words),
                  wxString::Format("Error #%d while processing your feed", c.error));
        EXPECT_TRUE(words.StartsWith(wxString::FromUTF8(c.words))) << words;
    }
    EXPECT_FALSE(FileExists(g_project.m_filePath));
}

TEST_F(UpdateRun, WithoutSignatureFileStillStoresThePostAndSaysSo)
{
    g_project.m_filePath.clear();
    g_project.m_quiet = false;
    LogCollector log;
    EXPECT_EQ(g_project.Update(), SIGNATURE_NO_FILE);
    EXPECT_EQ(ReadStoredKey("/project/default/LastLink"), "http://blog.example/cafe");
    EXPECT_TRUE(m_messenger.GetMessages().empty());
    ASSERT_EQ(log.GetErrors().size(), 1u);
    EXPECT_EQ(log.GetErrors()[0], "No signature file is set for the project \"default\", so none "
                                  "was written.\nChoose one in the window, or set FilePath in "
                                  + GetConfigPath() + ".");
}

TEST_F(UpdateRun, FailedWriteIsOneErrorWithTheReasonAndNoSuccess)
{
    g_project.m_filePath = m_dir.File("no/such/folder/signature.txt");
    g_project.m_quiet = false;
    LogCollector log;
    EXPECT_EQ(g_project.Update(), SIGNATURE_CANNOT_WRITE);
    EXPECT_TRUE(m_messenger.GetMessages().empty());
    ASSERT_EQ(log.GetErrors().size(), 1u);
    EXPECT_EQ(log.GetErrors()[0],
              "The signature file \"" + g_project.m_filePath + "\" could not be written.\n"
              "The folder \"" + m_dir.File("no/such/folder") + "\" does not exist.\n"
              "It was to show this post:\n Title : " + wxString::FromUTF8("Caf\xC3\xA9 society")
              + "\n Link: http://blog.example/cafe");
    EXPECT_EQ(g_project.m_lastLink, "http://blog.example/cafe");

    // A folder in the file's place is left as it is.
    g_project.m_filePath = m_dir.GetPath();
    EXPECT_EQ(g_project.WriteSignature(), SIGNATURE_CANNOT_WRITE);
    EXPECT_TRUE(wxFileName::DirExists(m_dir.GetPath()));
}

TEST_F(UpdateRun, OnlyTheWindowWritesTheSampleTemplate)
{
    WriteBytes(g_project.m_filePath, "my own signature\n");
    g_project.m_cmdMode = true;
    const char* const savedTexts[] = { "", nullptr };  // an empty file, and none
    for ( const char* saved : savedTexts )
    {
        if ( saved )
            WriteBytes(GetTemplatePath("default.txt"), saved);
        else
            wxRemoveFile(GetTemplatePath("default.txt"));
        g_project.LoadTemplate();
        EXPECT_EQ(g_project.m_template, kDefaultTemplate);
        LogCollector log;
        EXPECT_EQ(g_project.Update(), SIGNATURE_NO_TEMPLATE);
        ASSERT_EQ(log.GetErrors().size(), 1u);
        EXPECT_NE(log.GetErrors()[0].Find("no signature template is saved yet"), wxNOT_FOUND);
        EXPECT_NE(log.GetErrors()[0].Find(GetTemplatePath("default.txt")), wxNOT_FOUND);
        EXPECT_EQ(ReadBytes(g_project.m_filePath), "my own signature\n");
    }
    // The window shows the sample in its editor, and writes it when the user says so (and
    // says to replace the hand-written file).
    g_project.m_cmdMode = false;
    m_messenger.Answer(wxYES);
    m_messenger.Answer(wxYES);
    EXPECT_EQ(g_project.WriteSignature(), SIGNATURE_WRITTEN);
    EXPECT_EQ(m_messenger.GetMessages().size(), 2u);
    EXPECT_NE(ReadBytes(g_project.m_filePath).find("Arden Vosk"), std::string::npos);
}

using SignatureWrite = UpdateRun;

TEST_F(SignatureWrite, ExpandsTheMacros)
{
    const struct
    {
        const char* templ;
        const char* title;
        const char* link;
        const char* expected;
    } cases[] =
    {
        { "No macros at all", "T", "L", "No macros at all" },
        { "%title%%title%", "T", "L", "TT" },
        { "[%title%] <%link%>", "Has %link% inside", "L", "[Has L inside] <L>" },
        { "%link%", "T", "http://x/%title%", "http://x/%title%" },
        { "%Title% %LINK%", "T", "L", "%Title% %LINK%" },
        { "", "", "", "" },
    };
    for ( const auto& c : cases )
    {
        g_project.m_template = c.templ;
        g_project.m_lastTitle = c.title;
        g_project.m_lastLink = c.link;
        EXPECT_EQ(g_project.WriteSignature(), SIGNATURE_WRITTEN);
        EXPECT_EQ(ReadBytes(g_project.m_filePath), c.expected) << c.templ;
    }
}

TEST_F(SignatureWrite, KeepsLinksAndPermissions)
{
    WriteBytes(m_dir.File("real-signature"), "old");
    g_project.m_cmdMode = true;  // replaced without a question
    g_project.m_templateIsSample = false;
    ASSERT_EQ(chmod(m_dir.File("real-signature").fn_str(), 0640), 0);
    ASSERT_EQ(symlink("real-signature", g_project.m_filePath.fn_str()), 0);
    g_project.m_template = "new";

    EXPECT_EQ(g_project.WriteSignature(), SIGNATURE_WRITTEN);
    EXPECT_TRUE(wxFileName::Exists(g_project.m_filePath,
                                   wxFILE_EXISTS_SYMLINK | wxFILE_EXISTS_NO_FOLLOW));
    EXPECT_EQ(ReadBytes(m_dir.File("real-signature")), "new");
    struct stat info;
    ASSERT_EQ(stat(m_dir.File("real-signature").fn_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

namespace
{

// The file's modification time in nanoseconds, and its inode.
struct FileStamp
{
    long long mtime = -1;
    long long inode = -1;

    bool operator==(const FileStamp& other) const
    {
        return mtime == other.mtime && inode == other.inode;
    }
};

FileStamp StampOf(const wxString& path)
{
    FileStamp stamp;
    struct stat info;
    if ( stat(path.fn_str(), &info) == 0 )
    {
        stamp.mtime = info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec;
        stamp.inode = info.st_ino;
    }
    return stamp;
}

// Moves a file's times an hour back, so that any rewrite shows.
void Backdate(const wxString& path)
{
    struct stat info;
    ASSERT_EQ(stat(path.fn_str(), &info), 0);
    const timespec times[2] = { { info.st_atim.tv_sec - 3600, 0 },
                                { info.st_mtim.tv_sec - 3600, 0 } };
    ASSERT_EQ(utimensat(AT_FDCWD, path.fn_str(), times, 0), 0);
}

} // anonymous namespace

TEST_F(SignatureWrite, UnchangedSignatureIsNotRewritten)
{
    // A file of its own, and one with another hard link, which is rewritten in place.
    for ( const bool hardLinked : { false, true } )
    {
        SCOPED_TRACE(hardLinked ? "hard-linked" : "plain");
        g_project.m_filePath = m_dir.File(hardLinked ? "linked.txt" : "plain.txt");
        if ( hardLinked )
        {
            WriteBytes(g_project.m_filePath, "");
            ASSERT_EQ(link(g_project.m_filePath.fn_str(), m_dir.File("other-name").fn_str()), 0);
        }
        g_project.m_template = "-- \n%title%";
        g_project.m_lastTitle = "Same post";
        ASSERT_EQ(g_project.WriteSignature(), SIGNATURE_WRITTEN);
        Backdate(g_project.m_filePath);
        const FileStamp before = StampOf(g_project.m_filePath);

        EXPECT_EQ(g_project.WriteSignature(), SIGNATURE_WRITTEN);
        EXPECT_TRUE(StampOf(g_project.m_filePath) == before) << "rewritten";
        EXPECT_EQ(ReadBytes(g_project.m_filePath), "-- \nSame post");

        // A signature one byte longer, or of the same length, is a different one.
        for ( const char* title : { "Same post!", "Same pest!" } )
        {
            g_project.m_lastTitle = title;
            EXPECT_EQ(g_project.WriteSignature(), SIGNATURE_WRITTEN);
            EXPECT_EQ(ReadBytes(g_project.m_filePath), std::string("-- \n") + title);
        }
        EXPECT_NE(StampOf(g_project.m_filePath).mtime, before.mtime);
    }
    // Nothing was left beside the files.
    wxArrayString names;
    wxDir::GetAllFiles(m_dir.GetPath(), &names, ".*", wxDIR_FILES | wxDIR_HIDDEN);
    for ( const wxString& name : names )
        EXPECT_FALSE(name.Contains("feedquill-new")) << name;
}

TEST_F(SignatureWrite, TextTheLocaleCannotSayIsWrittenAsUtf8)
{
    const std::string previous = std::setlocale(LC_CTYPE, nullptr);
    std::setlocale(LC_CTYPE, "C");
    g_project.m_template = wxString::FromUTF8("%title%");
    g_project.m_lastTitle = wxString::FromUTF8("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82");
    EXPECT_EQ(g_project.WriteSignature(), SIGNATURE_WRITTEN);
    std::setlocale(LC_CTYPE, previous.c_str());
    EXPECT_EQ(ReadBytes(g_project.m_filePath), "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82");
}

TEST_F(UpdateRun, TwoRunsRewriteBothTimes)
{
    g_project.m_cmdMode = true;
    g_project.m_templateIsSample = false;
    EXPECT_EQ(g_project.Update(), SIGNATURE_WRITTEN);
    WriteBytes(g_project.m_filePath, "changed by hand");
    EXPECT_EQ(g_project.Update(), SIGNATURE_WRITTEN);
    EXPECT_NE(ReadBytes(g_project.m_filePath), "changed by hand");
    EXPECT_EQ(m_server.RequestCount(), 2u);
}

namespace
{

// A home folder whose default project reads the given feed into the given signature file.
void ConfigureHome(const TempDir& home, const std::string& feedUrl, const wxString& signature)
{
    ASSERT_TRUE(wxFileName::Mkdir(home.File(".feedquill/SignatureTemplates"),
                                  wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL));
    WriteBytes(home.File(".feedquill/Feedquill.cfg"),
               "[project/default]\nFeedURL=" + feedUrl + "\nFilePath="
               + std::string(signature.fn_str()) + "\n[updates]\nCCheckForUpdates=0\n");
    WriteBytes(home.File(".feedquill/SignatureTemplates/default.txt"), "%title% <%link%>");
}

const char* const ATOM =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
    "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>Blog</title>"
    "<entry><title>Atom post</title><link rel=\"replies\" href=\"http://blog.example/c\"/>"
    "<link href=\"/posts/atom\"/></entry></feed>";

} // anonymous namespace

TEST(CommandLineUpdate, QuietRunWritesTheSignatureFromRssAndAtom)
{
    FixtureServer server;
    server.Serve("/rss", FixtureServer::Response(200, RSS));
    server.Serve("/atom", FixtureServer::Response(200, ATOM));
    TempDir home;

    ConfigureHome(home, server.Url("/rss"), home.File("sig"));
    ProgramRun run = RunProgram("-q", home.GetPath(), {"LC_ALL=C.UTF-8"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(ReadBytes(home.File("sig")), "Caf\xC3\xA9 society <http://blog.example/cafe>");

    // A relative link is resolved against the feed's own address.
    ConfigureHome(home, server.Url("/atom"), home.File("sig"));
    run = RunProgram("-c", home.GetPath());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadBytes(home.File("sig")), "Atom post <" + server.Url("/posts/atom") + ">");
    EXPECT_EQ(run.out, "Updated successfully:\n Title : Atom post\n Link: "
                       + server.Url("/posts/atom") + "\n");
}

TEST(CommandLineUpdate, HttpsFeedIsTrustedThroughSslCertFile)
{
    FixtureServer server(FixtureServer::TLS_TRUSTED);
    server.Serve("/feed", FixtureServer::Response(200, RSS));
    TempDir home;
    ConfigureHome(home, server.Url("/feed"), home.File("sig"));

    ProgramRun run = RunProgram("-q", home.GetPath());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Error #12 while processing your feed"), std::string::npos)
        << run.err;
    EXPECT_FALSE(FileExists(home.File("sig")));

    run = RunProgram("-q", home.GetPath(), {"SSL_CERT_FILE=" + FixtureServer::CaFile()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(FileExists(home.File("sig")));
}

TEST(CommandLineUpdate, UnreachableFeedLeavesEverythingAsItWas)
{
    TempDir home;
    int port = 0;
    {
        FixtureServer gone;
        port = gone.Port();
    }
    ConfigureHome(home, "http://127.0.0.1:" + std::to_string(port) + "/feed", home.File("sig"));
    WriteBytes(home.File("sig"), "my old signature\r\n\xFF");
    const std::string config = ReadBytes(home.File(".feedquill/Feedquill.cfg"));

    const ProgramRun run = RunProgram("-q", home.GetPath());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Error #3 while processing your feed\nCould not connect to 127.0.0.1 port "
                       + std::to_string(port) + ": Connection refused\n");
    EXPECT_EQ(ReadBytes(home.File("sig")), "my old signature\r\n\xFF");
    EXPECT_EQ(ReadBytes(home.File(".feedquill/Feedquill.cfg")), config);
}

TEST(CommandLineUpdate, MissingSignatureFileFailsAndSaysSo)
{
    FixtureServer server;
    server.Serve("/rss", FixtureServer::Response(200, RSS));
    TempDir home;
    ConfigureHome(home, server.Url("/rss"), home.File("missing/folder/sig"));
    const ProgramRun run = RunProgram("-c", home.GetPath(), {"LC_ALL=C.UTF-8"});
    EXPECT_EQ(run.status, 1);
    // No success first: one error, with the reason and the post that was read.
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "The signature file \"" + std::string(home.File("missing/folder/sig").fn_str())
                       + "\" could not be written.\nThe folder \""
                       + std::string(home.File("missing/folder").fn_str()) + "\" does not exist.\n"
                       "It was to show this post:\n Title : Caf\xC3\xA9 society\n"
                       " Link: http://blog.example/cafe\n");
}

TEST(CommandLineUpdate, WithoutSavedTemplateLeavesTheSignatureAlone)
{
    FixtureServer server;
    server.Serve("/rss", FixtureServer::Response(200, RSS));
    TempDir home;
    ConfigureHome(home, server.Url("/rss"), home.File("sig"));
    WriteBytes(home.File(".feedquill/SignatureTemplates/default.txt"), "");
    WriteBytes(home.File("sig"), "my own signature\n");
    for ( const char* mode : { "-q", "-c" } )
    {
        const ProgramRun run = RunProgram(mode, home.GetPath());
        EXPECT_EQ(run.status, 1) << mode;
        EXPECT_EQ(run.out, "") << mode;
        EXPECT_NE(run.err.find("no signature template is saved yet"), std::string::npos)
            << run.err;
        EXPECT_NE(run.err.find(".feedquill/SignatureTemplates/default.txt\""), std::string::npos);
        EXPECT_EQ(ReadBytes(home.File("sig")), "my own signature\n");
    }
}

TEST(CommandLineUpdate, TildeInThePathIsTheHomeFolder)
{
    FixtureServer server;
    server.Serve("/rss", FixtureServer::Response(200, RSS));
    TempDir home;
    ConfigureHome(home, server.Url("/rss"), "~/.signature");
    const ProgramRun run = RunProgram("-q", home.GetPath());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(ReadBytes(home.File(".signature")), "Caf\xC3\xA9 society <http://blog.example/cafe>");
}

TEST(CommandLineUpdate, DueUpdateCheckReportsANewVersionOnStandardOutput)
{
    SKIP_WITHOUT_UPDATE_CHECK();
    FixtureServer server;
    server.Serve("/rss", FixtureServer::Response(200, RSS));
    server.Serve("/updates/feedquill.txt",
                 FixtureServer::Response(200, "|1.1|1.1 beta|2026-12-01|Faster feeds."));
    TempDir home;
    ConfigureHome(home, server.Url("/rss"), home.File("sig"));
    const long longAgo = (wxDateTime::Today() - wxDateSpan::Days(40)).GetTicks();
    std::string config = ReadBytes(home.File(".feedquill/Feedquill.cfg"));
    config.replace(config.find("CCheckForUpdates=0"), 18,
                   "CCheckForUpdates=1\nLastUpdate=" + std::to_string(longAgo));
    WriteBytes(home.File(".feedquill/Feedquill.cfg"), config);

    const ProgramRun run = RunProgram("-q", home.GetPath(),
                                      {"FEEDQUILL_UPDATE_URL="
                                       + server.Url("/updates/feedquill.txt")});
    EXPECT_EQ(run.status, 0) << run.err;
    // Told, not asked: a console run never answers yes and starts a browser.
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, "New version of feedquill is available.\n\n"
                       "   Current version:  1.0\n   New version:  1.1 beta\n"
                       "   Release date:  2026-12-01\n\nFaster feeds.\n");
    config = ReadBytes(home.File(".feedquill/Feedquill.cfg"));
    EXPECT_NE(config.find("LastUpdate=" + std::to_string(wxDateTime::Today().GetTicks())),
              std::string::npos) << config;
    EXPECT_EQ(server.RequestCount(), 2u);
}
