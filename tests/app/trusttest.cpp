// What comes from outside (a server's words, a feed's text, a path the user gave, the way a
// scheduler starts the program) never changes more than the signature it is meant for.

#include "fixtureserver.h"
#include "testenv.h"

#include <wx/filename.h>
#include <wx/utils.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

std::string Path(const wxString& path)
{
    return std::string(path.fn_str());
}

std::string Rss(const std::string& title, const std::string& link = "http://blog.example/new")
{
    return "<rss><channel><item><title>" + title + "</title><link>" + link
           + "</link></item></channel></rss>";
}

bool IsRoot()
{
    return getuid() == 0;
}

class Trust : public ::testing::Test
{
protected:
    Trust()
    {
        wxFileName::Mkdir(Data("SignatureTemplates"), wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
        WriteBytes(Data("SignatureTemplates/default.txt"), "%title% %link%");
    }

    wxString Data(const wxString& name) const { return m_home.File(".feedquill/" + name); }

    // The settings of one project that reads path from the server and writes signature.
    void Configure(const std::string& path, const wxString& signature,
                   const std::string& more = "")
    {
        WriteBytes(Data("Feedquill.cfg"), "[project/default]\nFeedURL=" + m_server.Url(path)
                                              + "\nFilePath=" + Path(signature) + "\n" + more
                                              + "[updates]\nCCheckForUpdates=0\n");
    }

    ProgramRun Run(const std::vector<std::string>& env = {}, const std::string& mode = "-q")
    {
        return RunProgram(mode, m_home.GetPath(), env);
    }

    FixtureServer m_server;
    TempDir m_home;
};

} // anonymous namespace

// "$HOME" in a post's title is text, also when a 304 makes the run read it back from the
// settings; and a control byte in a server's ETag leaves the settings readable.
TEST_F(Trust, StoredTextComesBackAsStored)
{
    const std::string title = "Set $HOME and ${TOKEN} right";
    m_server.Handle("/feed", [&](const FixtureRequest& request, FixtureConnection& connection)
    {
        if ( !request.Header("If-Modified-Since").empty() )
            connection.Send("HTTP/1.1 304 Not Modified\r\nConnection: close\r\n\r\n");
        else
            connection.Send(FixtureServer::Response(200, Rss(title), {
                {"ETag", "\"a\x01" "b\""}, {"Last-Modified", "Tue, 08 Dec 2026 10:00:00 GMT"}}));
    });
    Configure("/feed", m_home.File("sig"));
    for ( int run = 0; run < 2; ++run )
    {
        const ProgramRun result = Run({"TOKEN=secret"});
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(ReadBytes(m_home.File("sig")), title + " http://blog.example/new");
    }
    EXPECT_EQ(m_server.RequestCount(), 2u);
    EXPECT_EQ(m_server.Requests().back().Header("If-Modified-Since"),
              "Tue, 08 Dec 2026 10:00:00 GMT");
    const std::string settings = ReadBytes(Data("Feedquill.cfg"));
    EXPECT_NE(settings.find("LastTitle=" + title + "\n"), std::string::npos) << settings;
    EXPECT_NE(settings.find("CCheckForUpdates=0"), std::string::npos) << settings;
    EXPECT_FALSE(FileExists(Data("Feedquill.cfg.unreadable")));
}

// The C and POSIX locales choose no encoding: the signature is UTF-8 there. A real locale's
// encoding is kept, with "?" for what it cannot hold, and a warning.
TEST_F(Trust, TheSignatureSpeaksTheLocalesEncodingOrUtf8)
{
    m_server.Serve("/feed", FixtureServer::Response(200, Rss("Caf\xC3\xA9 \xE2\x82\xAC")));
    WriteBytes(Data("SignatureTemplates/default.txt"), "Gr\xC3\xBC\xC3\x9F" "e: %title%");
    Configure("/feed", m_home.File("sig"));
    TempDir locales;
    const bool latin1 = std::system(("localedef -i de_DE -f ISO-8859-1 '"
                                     + Path(locales.File("de_DE.ISO-8859-1"))
                                     + "' >/dev/null 2>&1").c_str()) == 0;
    const std::string utf8 = "Gr\xC3\xBC\xC3\x9F" "e: Caf\xC3\xA9 \xE2\x82\xAC";
    const struct
    {
        std::vector<std::string> env;
        std::string signature;
        const char* warning;
    } cases[] =
    {
        { {"LANG=C", "LC_ALL=", "LC_CTYPE="}, utf8, "" },
        { {"LANG=", "LC_ALL=POSIX", "LC_CTYPE="}, utf8, "" },
        { {"LANG=", "LC_ALL=", "LC_CTYPE="}, utf8, "" },
        { {"LANG=", "LC_ALL=C.UTF-8", "LC_CTYPE="}, utf8, "" },
        { {"LOCPATH=" + Path(locales.GetPath()), "LANG=", "LC_ALL=de_DE.ISO-8859-1"},
          "Gr\xFC\xDF" "e: Caf\xE9 ?", "ISO-8859-1, the encoding of your locale" },
    };
    for ( const auto& c : cases )
    {
        if ( !latin1 && *c.warning )
        {
            std::cout << "Skipped the ISO-8859-1 locale: localedef could not make it\n";
            continue;
        }
        const ProgramRun run = Run(c.env);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(ReadBytes(m_home.File("sig")), c.signature) << c.env.back();
        EXPECT_EQ(run.err.find(c.warning) != std::string::npos, true) << run.err;
        EXPECT_EQ(run.err.empty(), *c.warning == '\0') << run.err;
    }
}

// The signature goes where the kernel says the path leads, and never over Feedquill's own
// files or through a link another user planted in a shared folder.
TEST_F(Trust, PathsLeadWhereTheKernelSays)
{
    m_server.Serve("/feed", FixtureServer::Response(200, Rss("New")));
    const std::string written = "New http://blog.example/new";
    // out/linked -> a/b, and out/linked/sig -> ../target: the kernel's out/a/target.
    wxFileName::Mkdir(m_home.File("out/a/b"), wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    ASSERT_EQ(symlink("a/b", m_home.File("out/linked").fn_str()), 0);
    ASSERT_EQ(symlink("../target", m_home.File("out/a/b/sig").fn_str()), 0);
    const std::string longName(245, 'n');
    const struct
    {
        wxString path;
        wxString expected;     // the file that gets the signature; empty: none does
        const char* refusal;
    } cases[] =
    {
        { m_home.File("out/linked/sig"), m_home.File("out/a/target"), "" },
        { m_home.File(longName), m_home.File(longName), "" },
        { Data("SignatureTemplates/default.txt"), "",
          "because it is the signature template \"" },
        { Data("Feedquill.cfg"), "", "because it is Feedquill's settings file \"" },
    };
    for ( const auto& c : cases )
    {
        Configure("/feed", c.path);
        const std::string templateBefore = ReadBytes(Data("SignatureTemplates/default.txt"));
        const ProgramRun run = Run();
        EXPECT_EQ(run.status, *c.refusal ? 1 : 0) << run.err;
        EXPECT_NE(run.err.find(c.refusal), std::string::npos) << run.err;
        if ( !c.expected.empty() )
        {
            EXPECT_EQ(ReadBytes(c.expected), written) << Path(c.path);
        }
        EXPECT_EQ(ReadBytes(Data("SignatureTemplates/default.txt")), templateBefore);
    }
    EXPECT_FALSE(FileExists(m_home.File("out/target")));

    if ( !IsRoot() )
        GTEST_SKIP() << "needs root to give a link to another user";
    // Another user's link in a sticky folder that everyone writes, as in /tmp.
    wxFileName::Mkdir(m_home.File("shared"), wxS_DIR_DEFAULT);
    chmod(m_home.File("shared").fn_str(), 01777);
    WriteBytes(m_home.File("victim"), "precious");
    ASSERT_EQ(symlink(m_home.File("victim").fn_str(), m_home.File("shared/sig").fn_str()), 0);
    ASSERT_EQ(lchown(m_home.File("shared/sig").fn_str(), 65534, 65534), 0);
    Configure("/feed", m_home.File("shared/sig"));
    const ProgramRun run = Run();
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("belongs to another user; it is not followed"), std::string::npos)
        << run.err;
    EXPECT_EQ(ReadBytes(m_home.File("victim")), "precious");
}

// Settings that are no file end the run with their name, instead of hanging it or filling
// the memory.
TEST_F(Trust, SettingsThatAreNoFileEndTheRun)
{
    ASSERT_EQ(mkfifo(Data("Feedquill.cfg").fn_str(), 0600), 0);
    ProgramRun run = Run();
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(Path(Data("Feedquill.cfg")) + "\" is not a regular file"),
              std::string::npos) << run.err;

    unlink(Data("Feedquill.cfg").fn_str());
    ASSERT_EQ(symlink("/dev/zero", Data("Feedquill.cfg").fn_str()), 0);
    run = Run();
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("is not a regular file"), std::string::npos) << run.err;
}

// With standard input, output and error closed, a failed run still ends, and frees the lock.
TEST_F(Trust, ARunWithClosedStandardStreamsEnds)
{
    WriteBytes(Data("Feedquill.cfg"), "[project/default]\nFeedURL=http://127.0.0.1:"
                                          + std::to_string(UnusedPort()) + "/feed\nFilePath="
                                          + Path(m_home.File("sig")) + "\n");
    const std::string command = "HOME='" + Path(m_home.GetPath()) + "' timeout 30 sh -c "
                                "'exec 0<&- 1>&- 2>&-; exec \"$0\" -q' '" + ProgramUnderTest()
                                + "'";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
}

// A lock file left by root is locked through a descriptor for reading; one that cannot be
// opened at all stops the run with its name.
TEST_F(Trust, ALockTheUserCannotWriteStillLocks)
{
    if ( !IsRoot() || std::system("setpriv --reuid=65534 --regid=65534 --clear-groups true") != 0 )
        GTEST_SKIP() << "needs root to run as nobody (setpriv)";
    m_server.Serve("/feed", FixtureServer::Response(200, Rss("New")));
    Configure("/feed", m_home.File("sig"));
    const std::string home = Path(m_home.GetPath());
    ASSERT_EQ(std::system(("chown -R 65534:65534 '" + home + "'").c_str()), 0);
    WriteBytes(Data("Feedquill.lock"), "");
    chmod(Data("Feedquill.lock").fn_str(), 0644);  // root's, as a run with sudo leaves it
    const std::string asNobody = "--reuid=65534 --regid=65534 --clear-groups '"
                                 + ProgramUnderTest() + "' -q";

    // Root holds the lock for two seconds: the run waits for it, then writes.
    const std::string released = Path(m_home.File("released"));
    ASSERT_EQ(std::system(("flock '" + Path(Data("Feedquill.lock")) + "' sh -c 'touch "
                           + Path(m_home.File("held")) + "; sleep 2; touch " + released
                           + "' &").c_str()), 0);
    for ( int i = 0; i < 100 && !FileExists(m_home.File("held")); ++i )
        wxMilliSleep(50);
    ProgramRun run = RunProgram(asNobody, m_home.GetPath(), {}, "setpriv");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(FileExists(m_home.File("released")));

    chmod(Data("Feedquill.lock").fn_str(), 0);
    WriteBytes(m_home.File("sig"), "old");
    run = RunProgram(asNobody, m_home.GetPath(), {}, "setpriv");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot open its lock \"" + Path(Data("Feedquill.lock"))
                           + "\" (Permission denied)"), std::string::npos) << run.err;
    EXPECT_EQ(ReadBytes(m_home.File("sig")), "old");
}

// A signature and settings with a second hard link are rewritten in place; on a full disk
// both keep their old text whole, and the run fails.
TEST_F(Trust, InPlaceRewritesOnAFullDiskKeepTheOldText)
{
    if ( !IsRoot() || std::system("unshare -m true >/dev/null 2>&1") != 0 )
        GTEST_SKIP() << "needs a private mount namespace (unshare -m) to mount a small tmpfs";
    m_server.Serve("/feed", FixtureServer::Response(200, Rss("New")));
    const std::string oldSettings = "[project/default]\nFeedURL=" + m_server.Url("/feed")
                                    + "\nFilePath=$1/sig\n[updates]\nCCheckForUpdates=0\n"
                                    + "[notes]\nText=" + std::string(3900, 't') + "\n";
    WriteBytes(m_home.File("settings"), oldSettings);
    WriteBytes(m_home.File("template"), std::string(6000, '-') + "%title%");
    WriteBytes(m_home.File("full.sh"),
               "mount -t tmpfs -o size=32k tmpfs \"$1\" || exit 99\n"
               "mkdir -p \"$1/home/.feedquill/SignatureTemplates\"\n"
               "cp \"$3/template\" \"$1/home/.feedquill/SignatureTemplates/default.txt\"\n"
               "sed \"s|\\$1|$1|\" \"$3/settings\" > \"$1/home/.feedquill/Feedquill.cfg\"\n"
               "ln \"$1/home/.feedquill/Feedquill.cfg\" \"$1/cfg-link\"\n"
               "printf 'the old signature\\n' > \"$1/sig\"\nln \"$1/sig\" \"$1/sig-link\"\n"
               "cat /dev/zero > \"$1/fill\" 2>/dev/null\n"
               "status=0\nHOME=\"$1/home\" \"$2\" -q 2>\"$3/err\" || status=$?\n"
               "cp \"$1/sig\" \"$3/sig-after\"\n"
               "cp \"$1/home/.feedquill/Feedquill.cfg\" \"$3/cfg-after\"\nexit $status\n");
    wxFileName::Mkdir(m_home.File("small"), wxS_DIR_DEFAULT);
    const std::string home = Path(m_home.GetPath());
    const int status = std::system(("unshare -m sh '" + home + "full.sh' '" + home + "small' '"
                                    + ProgramUnderTest() + "' '" + home + "'").c_str());
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 99) << "tmpfs could not be mounted";
    EXPECT_EQ(WEXITSTATUS(status), 1) << ReadBytes(m_home.File("err"));
    EXPECT_NE(ReadBytes(m_home.File("err")).find("No space left on device"), std::string::npos);
    EXPECT_EQ(ReadBytes(m_home.File("sig-after")), "the old signature\n");
    const std::string settings = ReadBytes(m_home.File("cfg-after"));
    EXPECT_EQ(settings.size(), oldSettings.size() + home.size() + 3) << settings;
    EXPECT_NE(settings.find("[updates]\nCCheckForUpdates=0\n"), std::string::npos);
}

// An HTML signature carries web links only, and nothing of the feed leaves its attribute.
TEST_F(Trust, HtmlSignaturesCarryOnlyWebLinks)
{
    WriteBytes(Data("SignatureTemplates/default.txt"), "<a href='%link%'>%title%</a>");
    const struct
    {
        const char* link;
        const char* file;
        const char* signature;  // empty: refused, the file keeps "old"
    } cases[] =
    {
        { "https://blog.example/it's", "sig.html",
          "<a href='https://blog.example/it&#39;s'>It&#39;s</a>" },
        { "HTTP://blog.example/x'onmouseover='alert(1)", "sig.htm",
          "<a href='HTTP://blog.example/x&#39;onmouseover=&#39;alert(1)'>It&#39;s</a>" },
        { "javascript:alert(1)", "sig.html", "" },
        { "JavaScript:alert(1)", "sig.html", "" },
        { "data:text/html,&lt;script&gt;", "sig.html", "" },
        { "javascript:alert(1)", "sig.txt", "<a href='javascript:alert(1)'>It's</a>" },
    };
    for ( const auto& c : cases )
    {
        m_server.Serve("/feed", FixtureServer::Response(200, Rss("It's", c.link)));
        WriteBytes(m_home.File(c.file), "old");
        Configure("/feed", m_home.File(c.file));
        const ProgramRun run = Run();
        EXPECT_EQ(run.status, *c.signature ? 0 : 1) << c.link << run.err;
        EXPECT_EQ(ReadBytes(m_home.File(c.file)), *c.signature ? c.signature : "old") << c.link;
        if ( !*c.signature )
        {
            EXPECT_NE(run.err.find("is not an http:// or https:// address"), std::string::npos)
                << run.err;
        }
    }
}

// Escape sequences from a server or a feed reach the terminal as visible text.
TEST_F(Trust, TerminalsGetTextNotControlSequences)
{
    m_server.Serve("/reason", "HTTP/1.1 500 \x1b]0;owned\x07Oops\r\nContent-Length: 0\r\n"
                              "Connection: close\r\n\r\n");
    m_server.Serve("/location", FixtureServer::Response(302, "", {{"Location",
                                                                   "\x1b[2Jhttp://x/"}}));
    m_server.Serve("/label", FixtureServer::Response(200,
        "<?xml version=\"1.0\" encoding=\"x\x1b[2J\"?><rss/>"));
    const struct
    {
        const char* path;
        const char* shown;
    } cases[] =
    {
        { "/reason", "500 \\x1B]0;owned\\x07Oops" },
        { "/location", "\\x1B[2Jhttp://x/" },
        { "/label", "\"x\\x1B[2J\"" },
    };
    for ( const auto& c : cases )
    {
        Configure(c.path, m_home.File("sig"));
        const ProgramRun run = Run({}, "-c");
        const std::string all = run.out + run.err;
        EXPECT_NE(all.find(c.shown), std::string::npos) << all;
        EXPECT_EQ(all.find('\x1b'), std::string::npos) << c.path;
        EXPECT_EQ(all.find("\xC2\x9B"), std::string::npos) << c.path;
    }
}

// Validators belong to the address that gave them: after the feed address was edited by hand,
// and across a redirection, they go to that address alone.
TEST_F(Trust, ValidatorsGoOnlyToTheirAddress)
{
    for ( const char* path : { "/a", "/b" } )
    {
        m_server.Handle(path, [path](const FixtureRequest& request, FixtureConnection& connection)
        {
            // A server that compares dates: anything since the epoch is "not modified".
            if ( !request.Header("If-Modified-Since").empty() )
                connection.Send("HTTP/1.1 304 Not Modified\r\nConnection: close\r\n\r\n");
            else
                connection.Send(FixtureServer::Response(200, Rss(std::string("Post") + path),
                    {{"Last-Modified", "Tue, 08 Dec 2026 10:00:00 GMT"}, {"ETag", "\"e\""}}));
        });
    }
    m_server.Serve("/moved", FixtureServer::Response(301, "", {{"Location", "/b"}}));
    Configure("/a", m_home.File("sig"));
    ASSERT_EQ(Run().status, 0);
    // The user edits FeedURL, as the README's headless set-up says.
    std::string settings = ReadBytes(Data("Feedquill.cfg"));
    const std::string from = "FeedURL=" + m_server.Url("/a");
    settings.replace(settings.find(from), from.size(), "FeedURL=" + m_server.Url("/moved"));
    WriteBytes(Data("Feedquill.cfg"), settings);
    for ( int run = 0; run < 2; ++run )
    {
        const ProgramRun result = Run();
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(ReadBytes(m_home.File("sig")), "Post/b http://blog.example/new");
    }
    const std::vector<FixtureRequest> requests = m_server.Requests();
    ASSERT_EQ(requests.size(), 5u);
    // The first run after the edit asks both addresses unconditionally; the next one sends
    // the validators to /b alone, not to /moved, which redirected there.
    for ( size_t i = 1; i < 4; ++i )
        EXPECT_EQ(requests[i].Header("If-None-Match"), "") << requests[i].raw;
    EXPECT_EQ(requests[3].target, "/moved");
    EXPECT_EQ(requests[4].target, "/b");
    EXPECT_EQ(requests[4].Header("If-None-Match"), "\"e\"");
}

// A clock that was five years fast must not stop the update check for five years, nor keep
// the leftovers of killed runs from being cleared once it is right again.
TEST_F(Trust, ClocksThatWereWrongStopNothing)
{
    if ( std::system("faketime -f +1d true >/dev/null 2>&1") != 0 )
        GTEST_SKIP() << "needs faketime";
    m_server.Serve("/feed", FixtureServer::Response(200, Rss("New")));
    m_server.Serve("/update", FixtureServer::Response(200, "[Update]\n"));
    WriteBytes(Data("Feedquill.cfg"), "[project/default]\nFeedURL=" + m_server.Url("/feed")
                                          + "\nFilePath=" + Path(m_home.File("sig")) + "\n");
    // faketime preloads its library ahead of the sanitizers' runtime in a sanitizer build.
    const std::vector<std::string> env = {"FEEDQUILL_UPDATE_URL=" + m_server.Url("/update"),
                                          "ASAN_OPTIONS=verify_asan_link_order=0"};
    ProgramRun run = RunProgram("-f +1826d '" + ProgramUnderTest() + "' -q", m_home.GetPath(),
                                env, "faketime");
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(m_server.RequestCount(), 1u);

    const std::string leftover = Path(m_home.File(".sig.feedquill-new-AbC123"));
    WriteBytes(m_home.File(".sig.feedquill-new-AbC123"), "half");
    ASSERT_EQ(std::system(("touch -d '+1 year' '" + leftover + "'").c_str()), 0);
    run = Run(env);
    EXPECT_EQ(run.status, 0) << run.err;
    const std::vector<FixtureRequest> requests = m_server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[2].target, "/update");
    EXPECT_FALSE(FileExists(m_home.File(".sig.feedquill-new-AbC123")));
}

// Errors name what is really wrong, and advise only what would help.
TEST_F(Trust, MessagesNameWhatIsReallyWrong)
{
    WriteBytes(Data("Feedquill.cfg"), "[options]\nProject=blog\n[project/default]\n"
                                          "FeedURL=http://blog.example/feed\n[project/work]\n"
                                          "FeedURL=http://work.example/feed\n");
    ProgramRun run = Run();
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("There is no project \"blog\""), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("\"default\", \"work\""), std::string::npos) << run.err;
    EXPECT_FALSE(FileExists(Data("SignatureTemplates/blog.txt")));

    // No template saved, and ProjectTemplate names a file that the window's Save never writes.
    m_server.Serve("/feed", FixtureServer::Response(200, Rss("New")));
    Configure("/feed", m_home.File("sig"), "ProjectTemplate=shared.txt\n");
    run = Run();
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("shared.txt"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("press Save"), std::string::npos) << run.err;
}

// A first run makes the data folder and the files in it private; the umask may only tighten.
TEST_F(Trust, AFirstRunMakesPrivateFiles)
{
    TempDir fresh;
    const ProgramRun run = RunProgram("-q", fresh.GetPath());
    EXPECT_EQ(run.status, 1);  // no feed address yet
    const struct
    {
        const char* name;
        mode_t mode;
    } cases[] =
    {
        { ".feedquill", 0700 },
        { ".feedquill/SignatureTemplates", 0700 },
        { ".feedquill/SignatureTemplates/default.txt", 0600 },
        { ".feedquill/Feedquill.lock", 0600 },
    };
    for ( const auto& c : cases )
    {
        struct stat info;
        ASSERT_EQ(stat(fresh.File(c.name).fn_str(), &info), 0) << c.name;
        EXPECT_EQ(info.st_mode & 0777, c.mode) << c.name;
    }
}
