// Bad local state: damaged settings, odd templates and signature paths, a data folder that
// cannot exist, and two runs at once. The program keeps going and loses nothing it could not
// read.

#include "fixtureserver.h"
#include "testenv.h"

#include <wx/filename.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace
{

const std::string FEED = "<rss><channel><item><title>Post</title>"
                         "<link>http://blog.example/post</link></item></channel></rss>";

class LocalState : public ::testing::Test
{
protected:
    LocalState()
    {
        m_server.Serve("/feed", FixtureServer::Response(200, FEED));
        wxFileName::Mkdir(m_home.File(".feedquill/SignatureTemplates"), wxS_DIR_DEFAULT,
                          wxPATH_MKDIR_FULL);
        WriteBytes(DataFile("SignatureTemplates/default.txt"), "%link% - %title%");
    }

    wxString DataFile(const wxString& name) const
    {
        return m_home.File(".feedquill/" + name);
    }

    std::string Settings(const wxString& signature) const
    {
        return "[project/default]\nFeedURL=" + m_server.Url("/feed") + "\nFilePath="
               + std::string(signature.fn_str()) + "\n[updates]\nCCheckForUpdates=0\n";
    }

    FixtureServer m_server;
    TempDir m_home;
};

} // anonymous namespace

TEST_F(LocalState, BinarySettingsAreKeptAsideNotOverwritten)
{
    std::string garbage;
    for ( int i = 0; i < 4096; ++i )
        garbage += static_cast<char>((i * 7919) % 256);
    WriteBytes(DataFile("Feedquill.cfg"), garbage);
    const ProgramRun run = RunProgram("-q", m_home.GetPath());
    EXPECT_EQ(run.status, 1);  // no feed address in the default settings
    EXPECT_NE(run.err.find("Feedquill.cfg.unreadable"), std::string::npos) << run.err;
    EXPECT_EQ(ReadBytes(DataFile("Feedquill.cfg.unreadable")), garbage);
    if ( FEEDQUILL_UPDATE_CHECK )
    {
        EXPECT_NE(ReadBytes(DataFile("Feedquill.cfg")).find("[updates]"), std::string::npos);
    }
}

TEST_F(LocalState, ASecondUnreadableFileIsKeptBesideTheFirst)
{
    WriteBytes(DataFile("Feedquill.cfg.unreadable"), std::string("first\0", 6));
    WriteBytes(DataFile("Feedquill.cfg"), std::string("second\0", 7));
    const ProgramRun run = RunProgram("-q", m_home.GetPath());
    EXPECT_NE(run.err.find("Feedquill.cfg.unreadable.2"), std::string::npos) << run.err;
    EXPECT_EQ(ReadBytes(DataFile("Feedquill.cfg.unreadable")), std::string("first\0", 6));
    EXPECT_EQ(ReadBytes(DataFile("Feedquill.cfg.unreadable.2")), std::string("second\0", 7));
}

// Settings as other editors save them: each is read, and nothing is set aside.
struct SettingsEncoding
{
    const char* name;
    std::string (*encode)(const std::string& utf8);
};

void PrintTo(const SettingsEncoding& encoding, std::ostream* out)
{
    *out << encoding.name;
}

std::string Utf16(const std::string& text, bool littleEndian)
{
    std::string bytes = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
    for ( char c : text )  // the settings in these tests are ASCII
        bytes += littleEndian ? std::string{c, '\0'} : std::string{'\0', c};
    return bytes;
}

const SettingsEncoding SETTINGS_ENCODINGS[] =
{
    { "Utf8WithMark", [](const std::string& text) { return "\xEF\xBB\xBF" + text; } },
    { "Utf16LittleEndianWithMark", [](const std::string& text) { return Utf16(text, true); } },
    { "Utf16BigEndianWithMark", [](const std::string& text) { return Utf16(text, false); } },
    { "WindowsLineEnds", [](const std::string& text)
      {
          std::string crlf;
          for ( char c : text )
              crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
          return crlf;
      } },
};

class LocalStateEncoding : public LocalState,
                           public ::testing::WithParamInterface<SettingsEncoding>
{
};

TEST_P(LocalStateEncoding, SettingsAreReadNotSetAside)
{
    WriteBytes(DataFile("Feedquill.cfg"), GetParam().encode(Settings(m_home.File("sig"))));
    const ProgramRun run = RunProgram("-q", m_home.GetPath());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_FALSE(FileExists(DataFile("Feedquill.cfg.unreadable")));
    EXPECT_NE(ReadBytes(m_home.File("sig")).find("http://blog.example/post - Post"),
              std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    , LocalStateEncoding, ::testing::ValuesIn(SETTINGS_ENCODINGS),
    [](const ::testing::TestParamInfo<SettingsEncoding>& info) { return info.param.name; });

TEST_F(LocalState, OddButReadableSettingsSurviveARun)
{
    // One line of 10 MB that means nothing to the program, then the real settings.
    const std::string longLine(10 << 20, 'z');
    WriteBytes(DataFile("Feedquill.cfg"),
               longLine + "\n" + Settings(m_home.File("sig")) + "UpdatePeriodicity=7\n");
    ProgramRun run = RunProgram("-q", m_home.GetPath());
    EXPECT_EQ(run.status, 0) << run.err;
    // The toolkit's remark on the odd line, once, and nothing else.
    EXPECT_EQ(run.err, "file '" + std::string(DataFile("Feedquill.cfg").fn_str())
                       + "', line 1: '=' expected.\n");
    EXPECT_EQ(ReadBytes(m_home.File("sig")), "http://blog.example/post - Post");
    const std::string after = ReadBytes(DataFile("Feedquill.cfg"));
    EXPECT_EQ(after.compare(0, longLine.size() + 1, longLine + "\n"), 0);
    EXPECT_NE(after.find("LastTitle=Post"), std::string::npos);

    // Settings written by an old editor in Latin-1 are read, and written back as they were.
    WriteBytes(DataFile("Feedquill.cfg"), Settings(m_home.File("sig")) + "[options]\n"
                                          "Note=Caf\xE9\n");
    run = RunProgram("-q", m_home.GetPath());
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string latin1 = ReadBytes(DataFile("Feedquill.cfg"));
    EXPECT_NE(latin1.find("Note=Caf\xE9\n"), std::string::npos);
    EXPECT_NE(latin1.find("LastTitle=Post"), std::string::npos);
}

TEST_F(LocalState, BinaryTemplateIsUsedAndLeftAsItIs)
{
    WriteBytes(DataFile("Feedquill.cfg"), Settings(m_home.File("sig")));
    const std::string binary("%title%\x01\xFE\xFF\x80 %link%", 19);
    WriteBytes(DataFile("SignatureTemplates/default.txt"), binary);
    const ProgramRun run = RunProgram("-q", m_home.GetPath());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadBytes(DataFile("SignatureTemplates/default.txt")), binary);
    EXPECT_EQ(ReadBytes(m_home.File("sig")).compare(0, 4, "Post"), 0);
}

TEST_F(LocalState, UnwritableSignaturePathsFailWithTheirName)
{
    for ( const wxString& path : { m_home.File("no/folder/sig"), m_home.GetPath(),
                                   wxString("/proc/version") } )
    {
        WriteBytes(DataFile("Feedquill.cfg"), Settings(path));
        const ProgramRun run = RunProgram("-q", m_home.GetPath());
        EXPECT_EQ(run.status, 1) << path;
        EXPECT_NE(run.err.find(std::string(path.fn_str())), std::string::npos) << run.err;
    }
}

TEST_F(LocalState, DataFolderThatCannotBeMadeIsReported)
{
    // HOME is a file, so no folder can be made in it.
    WriteBytes(m_home.File("not-a-folder"), "");
    const ProgramRun run = RunProgram("-q", m_home.File("not-a-folder"));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(".feedquill"), std::string::npos) << run.err;
}

TEST_F(LocalState, RunsAtTheSameMomentLeaveWholeFiles)
{
    // Each request gets another newest post, slowly, so that the two runs overlap.
    int served = 0;
    m_server.Handle("/slow", [&served](const FixtureRequest&, FixtureConnection& connection)
                    {
                        const std::string title = "Post " + std::to_string(++served);
                        connection.Hold(std::chrono::milliseconds(200));
                        connection.Send(FixtureServer::Response(200,
                            "<rss><channel><item><title>" + title + "</title><link>http://"
                            "blog.example/" + std::to_string(served) + "</link></item>"
                            "</channel></rss>"));
                    });
    WriteBytes(DataFile("Feedquill.cfg"), "[project/default]\nFeedURL=" + m_server.Url("/slow")
               + "\nFilePath=" + std::string(m_home.File("sig").fn_str())
               + "\n[updates]\nCCheckForUpdates=0\n");
    WriteBytes(DataFile("SignatureTemplates/default.txt"), std::string(100000, '-') + "%title%");
    for ( int round = 0; round < 3; ++round )
    {
        ProgramRun first;
        std::thread other([&] { first = RunProgram("-q", m_home.GetPath()); });
        const ProgramRun second = RunProgram("-q", m_home.GetPath());
        other.join();
        EXPECT_EQ(first.status, 0) << first.err;
        EXPECT_EQ(second.status, 0) << second.err;
        const std::string signature = ReadBytes(m_home.File("sig"));
        EXPECT_EQ(signature.size(), 100006u);
        EXPECT_EQ(signature.compare(0, 100005, std::string(100000, '-') + "Post "), 0);
        const std::string settings = ReadBytes(DataFile("Feedquill.cfg"));
        EXPECT_EQ(settings.find("[project/default]"), 0u) << settings;
        EXPECT_NE(settings.find("FeedURL=" + m_server.Url("/slow")), std::string::npos);
        EXPECT_NE(settings.find("LastTitle=Post "), std::string::npos);
        EXPECT_NE(settings.find("LastLink=http://blog.example/"), std::string::npos);
    }
}

TEST_F(LocalState, TwentyRunsAtOnceAllSucceed)
{
    WriteBytes(DataFile("Feedquill.cfg"), Settings(m_home.File("sig")));
    WriteBytes(DataFile("SignatureTemplates/default.txt"), std::string(100000, '-') + "%title%");
    std::vector<ProgramRun> runs(20);
    std::vector<std::thread> threads;
    for ( ProgramRun& run : runs )
        threads.emplace_back([&run, this] { run = RunProgram("-q", m_home.GetPath()); });
    for ( std::thread& thread : threads )
        thread.join();
    for ( const ProgramRun& run : runs )
        EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadBytes(m_home.File("sig")), std::string(100000, '-') + "Post");
    const std::string settings = ReadBytes(DataFile("Feedquill.cfg"));
    EXPECT_NE(settings.find("FeedURL=" + m_server.Url("/feed")), std::string::npos) << settings;
    EXPECT_NE(settings.find("LastTitle=Post"), std::string::npos) << settings;
}
