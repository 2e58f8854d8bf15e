// What the signature path may name: a link, a file with other links, a file in a folder that
// takes no new files, or something that is not a file at all. Permissions are tried as the
// unprivileged user "nobody", since root may write anything.

#include "fixtureserver.h"
#include "testenv.h"

#include "run/signaturebackup.h"

#include <wx/dir.h>
#include <wx/filename.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace
{

const std::string OLD = "the old signature\n";
const std::string NEW = "New post http://blog.example/new";

class SignatureTarget : public ::testing::Test
{
protected:
    SignatureTarget()
    {
        m_server.Serve("/feed", FixtureServer::Response(200,
            "<rss><channel><item><title>New post</title><link>http://blog.example/new</link>"
            "</item></channel></rss>"));
        wxFileName::Mkdir(m_home.File(".feedquill/SignatureTemplates"), wxS_DIR_DEFAULT,
                          wxPATH_MKDIR_FULL);
        WriteBytes(m_home.File(".feedquill/SignatureTemplates/default.txt"), "%title% %link%");
        wxFileName::Mkdir(m_home.File("out"), wxS_DIR_DEFAULT);
    }

    // Runs an update that writes the signature to path, with more project settings if given.
    ProgramRun Update(const wxString& path, bool asNobody = false,
                      const std::string& settings = "")
    {
        WriteBytes(m_home.File(".feedquill/Feedquill.cfg"),
                   "[project/default]\nFeedURL=" + m_server.Url("/feed") + "\nFilePath="
                   + std::string(path.fn_str()) + "\n" + settings
                   // the old signature is what an earlier run wrote
                   + "SignatureDigest=" + GetSignatureDigest(OLD).ToStdString() + "\n"
                   + "[updates]\nCCheckForUpdates=0\n");
        if ( !asNobody )
            return RunProgram("-q", m_home.GetPath());
        const std::string home(m_home.GetPath().fn_str());
        EXPECT_EQ(std::system(("chown -R 65534:65534 '" + home + "' && chmod 755 '" + home
                               + "'").c_str()),
                  0);
        return RunProgram("--reuid=65534 --regid=65534 --clear-groups '" + ProgramUnderTest()
                          + "' -q", m_home.GetPath(), {}, "setpriv");
    }

    // The names in the signature's folder, so that no leftover goes unseen.
    std::string ListOut() const
    {
        wxArrayString names;
        wxDir::GetAllFiles(m_home.File("out"), &names, wxString(), wxDIR_FILES | wxDIR_HIDDEN);
        names.Sort();
        std::string list;
        for ( const wxString& name : names )
            list += std::string(wxFileName(name).GetFullName().utf8_str()) + " ";
        return list;
    }

    static bool CanDropPrivileges()
    {
        return getuid() == 0
               && std::system("setpriv --reuid=65534 --regid=65534 --clear-groups true") == 0;
    }

    FixtureServer m_server;
    TempDir m_home;
};

} // anonymous namespace

TEST_F(SignatureTarget, LinksAreFollowedAndKept)
{
    WriteBytes(m_home.File("out/real"), OLD);
    ASSERT_EQ(symlink("real", m_home.File("out/link").fn_str()), 0);
    ASSERT_EQ(link(m_home.File("out/real").fn_str(), m_home.File("out/hard").fn_str()), 0);

    ProgramRun run = Update(m_home.File("out/link"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(wxFileName::Exists(m_home.File("out/link"), wxFILE_EXISTS_SYMLINK));
    EXPECT_EQ(ReadBytes(m_home.File("out/real")), NEW);
    // The other hard link sees the same file: it was rewritten, not replaced.
    EXPECT_EQ(ReadBytes(m_home.File("out/hard")), NEW);

    WriteBytes(m_home.File("out/real"), OLD);
    run = Update(m_home.File("out/hard"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadBytes(m_home.File("out/real")), NEW);
    EXPECT_EQ(ListOut(), "hard link real ");
}

TEST_F(SignatureTarget, WhatIsNoFileIsNeverReplaced)
{
    ASSERT_EQ(mkdir(m_home.File("out/folder").fn_str(), 0755), 0);
    ASSERT_EQ(mkfifo(m_home.File("out/fifo").fn_str(), 0644), 0);
    const bool device = mknod(m_home.File("out/null").fn_str(), S_IFCHR | 0666,
                              makedev(1, 3)) == 0;
    for ( const char* name : { "folder", "fifo", "null" } )
    {
        if ( std::string(name) == "null" && !device )
            continue;  // making devices takes root
        const ProgramRun run = Update(m_home.File(wxString("out/") + name));
        EXPECT_EQ(run.status, 1) << name;
        EXPECT_NE(run.err.find("is not a regular file"), std::string::npos) << run.err;
        struct stat info;
        ASSERT_EQ(lstat(m_home.File(wxString("out/") + name).fn_str(), &info), 0);
        EXPECT_FALSE(S_ISREG(info.st_mode)) << name;
    }
    // Nothing was left beside them.
    EXPECT_EQ(ListOut(), device ? "fifo null " : "fifo ");
}

TEST_F(SignatureTarget, PermissionsDecideAsForAPlainWrite)
{
    if ( !CanDropPrivileges() )
        GTEST_SKIP() << "needs root to run as nobody (setpriv)";
    // A file the user may write in a folder that takes no new files: rewritten in place.
    WriteBytes(m_home.File("out/sig"), OLD);
    chmod(m_home.File("out/sig").fn_str(), 0644);
    chmod(m_home.File("out").fn_str(), 0555);
    ProgramRun run = Update(m_home.File("out/sig"), true);
    chmod(m_home.File("out").fn_str(), 0755);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadBytes(m_home.File("out/sig")), NEW);

    // A write-protected file is refused, though its folder would take a new one.
    WriteBytes(m_home.File("out/sig"), OLD);
    chmod(m_home.File("out/sig").fn_str(), 0444);
    run = Update(m_home.File("out/sig"), true);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Permission denied"), std::string::npos) << run.err;
    EXPECT_EQ(ReadBytes(m_home.File("out/sig")), OLD);
    EXPECT_EQ(ListOut(), "sig ");
}

// A template that is there but cannot be read never becomes an empty signature.
TEST_F(SignatureTarget, UnreadableTemplateLeavesTheSignatureAlone)
{
    WriteBytes(m_home.File("out/sig"), OLD);
    // An empty template name names the template folder itself.
    ProgramRun run = Update(m_home.File("out/sig"), false, "ProjectTemplate=\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("SignatureTemplates/\" cannot be read: it is not a regular file"),
              std::string::npos) << run.err;
    EXPECT_EQ(ReadBytes(m_home.File("out/sig")), OLD);

    if ( !CanDropPrivileges() )
        GTEST_SKIP() << "needs root to run as nobody (setpriv)";
    const wxString templatePath = m_home.File(".feedquill/SignatureTemplates/default.txt");
    chmod(templatePath.fn_str(), 0);
    run = Update(m_home.File("out/sig"), true);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("default.txt\" cannot be read: Permission denied"), std::string::npos)
        << run.err;
    EXPECT_EQ(ReadBytes(m_home.File("out/sig")), OLD);

    // Read-only, in a read-only data folder: read all the same.
    chmod(templatePath.fn_str(), 0444);
    chmod(m_home.File(".feedquill/SignatureTemplates").fn_str(), 0555);
    run = Update(m_home.File("out/sig"), true);
    chmod(m_home.File(".feedquill/SignatureTemplates").fn_str(), 0755);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadBytes(m_home.File("out/sig")), NEW);
}

// Settings that cannot be read are named with the reason, and never replaced by the defaults.
TEST_F(SignatureTarget, UnreadableSettingsAreNamedAndLeftAlone)
{
    if ( !CanDropPrivileges() )
        GTEST_SKIP() << "needs root to run as nobody (setpriv)";
    ASSERT_EQ(Update(m_home.File("out/sig"), true).status, 0);
    const wxString settings = m_home.File(".feedquill/Feedquill.cfg");
    const std::string before = ReadBytes(settings);
    chmod(settings.fn_str(), 0);
    const ProgramRun run = RunProgram("--reuid=65534 --regid=65534 --clear-groups '"
                                      + ProgramUnderTest() + "' -q", m_home.GetPath(), {},
                                      "setpriv");
    chmod(settings.fn_str(), 0644);
    EXPECT_EQ(run.status, 1);
    const std::string path(settings.fn_str());
    EXPECT_EQ(run.err.find("The settings file \"" + path + "\" cannot be read.\nCannot read \""
                           + path + "\": Permission denied."), 0u) << run.err;
    EXPECT_EQ(run.err.find("can't open"), std::string::npos) << run.err;
    EXPECT_EQ(ReadBytes(settings), before);
}

TEST_F(SignatureTarget, FullFileSystemKeepsTheOldSignature)
{
    if ( getuid() != 0 || std::system("unshare -m true >/dev/null 2>&1") != 0 )
        GTEST_SKIP() << "needs a private mount namespace (unshare -m) to mount a small tmpfs";
    // In a mount namespace of its own: a file system of 16 KiB, filled up, with the signature.
    WriteBytes(m_home.File("full.sh"),
               "mount -t tmpfs -o size=16k tmpfs \"$1\" || exit 99\n"
               "printf 'the old signature\\n' > \"$1/sig\"\n"
               "cat /dev/zero > \"$1/fill\" 2>/dev/null\n"
               "status=0\n\"$2\" -q || status=$?\n"
               "cp \"$1/sig\" \"$3\"\nls -A \"$1\" > \"$4\"\nexit $status\n");
    wxFileName::Mkdir(m_home.File("small"), wxS_DIR_DEFAULT);
    WriteBytes(m_home.File(".feedquill/Feedquill.cfg"),
               "[project/default]\nFeedURL=" + m_server.Url("/feed") + "\nFilePath="
               + std::string(m_home.File("small/sig").fn_str())
               + "\n[updates]\nCCheckForUpdates=0\n");
    const auto quoted = [this](const wxString& name)
                        { return " '" + std::string(m_home.File(name).fn_str()) + "'"; };
    const ProgramRun run = RunProgram("-m sh" + quoted("full.sh") + quoted("small") + " '"
                                      + ProgramUnderTest() + "'" + quoted("sig-after")
                                      + quoted("listing"), m_home.GetPath(), {}, "unshare");
    ASSERT_NE(run.status, 99) << "tmpfs could not be mounted: " << run.err;
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("No space left on device"), std::string::npos) << run.err;
    EXPECT_EQ(ReadBytes(m_home.File("sig-after")), OLD);
    EXPECT_EQ(ReadBytes(m_home.File("listing")), "fill\nsig\n");
}

// What reaches the signature from feeds that need more than plain reading: HTML signatures get
// their title and link escaped, plain ones get them as they are.
TEST(FeedToSignature, TitleAndLinkReachTheSignatureAsTheyShould)
{
    FixtureServer server;
    const std::string markup = "<rss><channel><item><title>Q&amp;A: &lt;video&gt; tags &quot;"
                               "</title><link>http://blog.example/q?a=1&amp;b=2</link></item>"
                               "</channel></rss>";
    server.Serve("/markup", FixtureServer::Response(200, markup));
    server.Serve("/old", FixtureServer::Response(301, "", {{"Location", "/blog/feed"}}));
    server.Serve("/blog/feed", FixtureServer::Response(200,
        "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><feed xmlns=\"http://www.w3.org/2005/Atom\""
        " xml:base=\"2024/\"><entry><title>\x93\xFA\x96\x7B</title><link href=\"post#c\"/>"
        "<updated>2024-01-02T00:00:00Z</updated></entry><entry><title>Older</title>"
        "<link href=\"older\"/><updated>2024-01-01T00:00:00Z</updated></entry></feed>"));
    server.Serve("/ascending", FixtureServer::Response(200,
        "<rss><channel><item><title>Old</title><link>http://blog.example/old</link>"
        "<pubDate>Mon, 01 Jan 2024 10:00:00 GMT</pubDate></item><item><title>New</title>"
        "<link>http://blog.example/new</link><pubDate>Tue, 02 Jan 2024 10:00:00 GMT</pubDate>"
        "</item></channel></rss>"));
    server.Serve("/kr", FixtureServer::Response(200,
        "<?xml version=\"1.0\" encoding=\"ISO-2022-KR\"?><rss/>"));
    const std::string plain = "Q&A: <video> tags \" http://blog.example/q?a=1&b=2";
    const std::string base = server.Url("/blog/2024/");
    const struct
    {
        const char* path;
        const char* file;
        std::string signature;  // empty: the run fails and the file keeps "old"
    } cases[] =
    {
        { "/markup", "sig.html",
          "Q&amp;A: &lt;video&gt; tags &quot; http://blog.example/q?a=1&amp;b=2" },
        { "/markup", "Sig.HTM",
          "Q&amp;A: &lt;video&gt; tags &quot; http://blog.example/q?a=1&amp;b=2" },
        { "/markup", "sig.txt", plain },
        { "/markup", "sig.html.txt", plain },
        { "/old", "sig.txt", "\xE6\x97\xA5\xE6\x9C\xAC " + base + "post#c" },
        { "/ascending", "sig.html", "New http://blog.example/new" },
        { "/kr", "sig.txt", "" },
    };
    for ( const auto& c : cases )
    {
        TempDir home;
        wxFileName::Mkdir(home.File(".feedquill/SignatureTemplates"), wxS_DIR_DEFAULT,
                          wxPATH_MKDIR_FULL);
        WriteBytes(home.File(".feedquill/SignatureTemplates/default.txt"), "%title% %link%");
        const wxString signature = home.File(c.file);
        WriteBytes(signature, "old");
        WriteBytes(home.File(".feedquill/Feedquill.cfg"),
                   "[project/default]\nFeedURL=" + server.Url(c.path) + "\nFilePath="
                   + std::string(signature.fn_str()) + "\n[updates]\nCCheckForUpdates=0\n");
        const ProgramRun run = RunProgram("-q", home.GetPath());
        EXPECT_EQ(run.status, c.signature.empty() ? 1 : 0) << c.path << " " << c.file;
        EXPECT_EQ(ReadBytes(signature), c.signature.empty() ? "old" : c.signature)
            << c.path << " " << c.file << "\n" << run.err;
        if ( c.signature.empty() )
        {
            EXPECT_NE(run.err.find("\"ISO-2022-KR\""), std::string::npos) << run.err;
        }
    }
}
