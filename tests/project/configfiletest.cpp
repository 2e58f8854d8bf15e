// Writing Feedquill.cfg while other runs write it too.

#include "testenv.h"

#include <wx/config.h>
#include <wx/filename.h>

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <unistd.h>

using ConfigFile = ProjectTest;

TEST_F(ConfigFile, AFlushKeepsWhatAnotherRunWroteMeanwhile)
{
    WriteBytes(GetConfigPath(), "[project/default]\nFeedURL=http://blog.example/feed\n"
                                "LastTitle=Old\n[options]\nReadOnly=0\n");
    ReopenConfig();
    // A timer run stores the newest post while the window is open ...
    WriteBytes(GetConfigPath(), "[project/default]\nFeedURL=http://blog.example/feed\n"
                                "LastTitle=From the timer\n[options]\nReadOnly=0\n");
    // ... then the window writes what the user changed, and only that.
    wxConfigBase::Get()->Write("/options/ReadOnly", true);
    wxConfigBase::Get()->SetPath("/project/default");
    wxConfigBase::Get()->Write("FilePath", "/home/me/.signature");
    wxConfigBase::Get()->SetPath("/");
    ASSERT_TRUE(wxConfigBase::Get()->Flush());

    EXPECT_EQ(ReadBytes(GetConfigPath()),
              "[project/default]\nFeedURL=http://blog.example/feed\n"
              "LastTitle=From the timer\nFilePath=/home/me/.signature\n"
              "[options]\nReadOnly=1\n");
}

TEST_F(ConfigFile, ALinkedFileStaysALink)
{
    WriteBytes(m_dir.File("real.cfg"), "[options]\nReadOnly=0\n");
    ASSERT_EQ(symlink("real.cfg", GetConfigPath().fn_str()), 0);
    ReopenConfig();
    wxConfigBase::Get()->Write("/options/ReadOnly", true);
    ASSERT_TRUE(wxConfigBase::Get()->Flush());
    EXPECT_TRUE(wxFileName::Exists(GetConfigPath(), wxFILE_EXISTS_SYMLINK));
    EXPECT_EQ(ReadBytes(m_dir.File("real.cfg")), "[options]\nReadOnly=1\n");
}

// Whatever text a server or a user gives, it reads back exactly as it was stored, and the file
// stays one that the next run reads.
TEST_F(ConfigFile, EveryTextComesBackAsStored)
{
    ScopedEnv token("TOKEN", "secret");
    const wxString cases[] =
    {
        "Set $HOME and ${TOKEN} right",
        "%HOME% $(TOKEN) \\$HOME",
        wxString::FromUTF8("\"W/\\\"x\x01y\x1b[2J\x7f\""),
        "line one\nline two\r\n\ttabbed",
        "  leading and trailing  ",
        "\"quoted\" and \\ backslash \\\\ and \\x41 \\n as text",
        "[not a group]\n[project/evil]\nFeedURL=http://evil.example/",
        "; not a comment # either = sign",
        wxString::FromUTF8("Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\xAE"),
        wxString(10 * 1024, 'x') + "$HOME",
    };
    WriteBytes(GetConfigPath(), "[updates]\nCCheckForUpdates=0\n");
    ReopenConfig();
    for ( size_t i = 0; i < WXSIZEOF(cases); ++i )
        wxConfigBase::Get()->Write(wxString::Format("/project/default/Value%zu", i), cases[i]);
    ASSERT_TRUE(wxConfigBase::Get()->Flush());

    // Nothing but text in the file: no raw control character makes it look like garbage.
    const std::string file = ReadBytes(GetConfigPath());
    for ( const char c : file )
        EXPECT_TRUE(static_cast<unsigned char>(c) >= 0x20 || c == '\n') << file;
    ReopenConfig();
    EXPECT_FALSE(FileExists(GetConfigPath() + ".unreadable"));
    EXPECT_EQ(wxConfigBase::Get()->Read("/updates/CCheckForUpdates", -1L), 0);
    for ( size_t i = 0; i < WXSIZEOF(cases); ++i )
    {
        EXPECT_EQ(wxConfigBase::Get()->Read(wxString::Format("/project/default/Value%zu", i),
                                            wxString("missing")),
                  cases[i]);
    }
    EXPECT_FALSE(wxConfigBase::Get()->HasGroup("/project/evil"));
}

// An older version wrote a server's control byte as it came; that file is text still.
TEST_F(ConfigFile, ARawControlByteIsReadNotSetAside)
{
    WriteBytes(GetConfigPath(), "[project/default]\nETag=W/\"a\x01" "b\"\n"
                                "[updates]\nCCheckForUpdates=0\n");
    ReopenConfig();
    EXPECT_FALSE(FileExists(GetConfigPath() + ".unreadable"));
    EXPECT_EQ(wxConfigBase::Get()->Read("/project/default/ETag", wxString()), "W/\"a\x01" "b\"");
    EXPECT_EQ(wxConfigBase::Get()->Read("/updates/CCheckForUpdates", -1L), 0);
}

// A file an old editor saved in Latin-1 stays Latin-1 while it can, and becomes UTF-8 rather
// than losing a line it cannot hold.
TEST_F(ConfigFile, LatinOneSettingsKeepEveryLine)
{
    WriteBytes(GetConfigPath(), "[project/default]\nFilePath=/home/j\xFCrgen/.signature\n");
    ReopenConfig();
    wxConfigBase::Get()->Write("/project/default/LastTitle", wxString::FromUTF8("Caf\xC3\xA9"));
    ASSERT_TRUE(wxConfigBase::Get()->Flush());
    EXPECT_EQ(ReadBytes(GetConfigPath()), "[project/default]\nFilePath=/home/j\xFCrgen/.signature\n"
                                          "LastTitle=Caf\xE9\n");

    wxConfigBase::Get()->Write("/project/default/LastTitle",
                               wxString::FromUTF8("Price: 5 \xE2\x82\xAC"));
    ASSERT_TRUE(wxConfigBase::Get()->Flush());
    EXPECT_EQ(ReadBytes(GetConfigPath()),
              "[project/default]\nFilePath=/home/j\xC3\xBCrgen/.signature\n"
              "LastTitle=Price: 5 \xE2\x82\xAC\n");
}

// The settings may hold a private feed's token: a new file is the user's alone, whatever the
// umask allows; the umask may only take more away. A file that exists keeps its permissions.
TEST_F(ConfigFile, NewSettingsArePrivate)
{
    const struct
    {
        mode_t umask;
        mode_t existing;  // 0: no file yet
        mode_t expected;
    } cases[] =
    {
        { 022, 0, 0600 },
        { 0, 0, 0600 },
        { 077, 0, 0600 },
        { 0277, 0, 0400 },
        { 022, 0644, 0644 },
    };
    for ( const auto& c : cases )
    {
        unlink(GetConfigPath().fn_str());
        if ( c.existing )
        {
            WriteBytes(GetConfigPath(), "[options]\n");
            chmod(GetConfigPath().fn_str(), c.existing);
        }
        ReopenConfig();
        const mode_t previous = umask(c.umask);
        wxConfigBase::Get()->Write("/project/default/FeedURL", "https://blog.example/?token=s");
        const bool flushed = wxConfigBase::Get()->Flush();
        umask(previous);
        ASSERT_TRUE(flushed);
        struct stat info;
        ASSERT_EQ(stat(GetConfigPath().fn_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, c.expected) << std::oct << c.umask;
    }
}
