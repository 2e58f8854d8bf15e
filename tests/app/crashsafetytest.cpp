// Runs killed at every step that writes a file: each file is the old one or the new one, whole.

#include "fixtureserver.h"
#include "testenv.h"

#include <wx/dir.h>
#include <wx/filename.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace
{

const std::string OLD_SIGNATURE = "the old signature\n";
const std::string NEW_SIGNATURE = "-- \nNew post http://blog.example/new";

class KilledRun : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if ( std::system("strace -f -qq -o /dev/null true >/dev/null 2>&1") != 0 )
            GTEST_SKIP() << "strace cannot trace here";
        m_server.Serve("/feed", FixtureServer::Response(200,
            "<rss><channel><item><title>New post</title><link>http://blog.example/new</link>"
            "</item></channel></rss>"));
        m_settings = "[project/default]\nFeedURL=" + m_server.Url("/feed") + "\nFilePath="
                     + std::string(m_home.File("sig").fn_str())
                     + "\nLastTitle=Old post\n[updates]\nCCheckForUpdates=0\n";
    }

    void WriteOldFiles()
    {
        wxFileName::Mkdir(m_home.File(".feedquill/SignatureTemplates"), wxS_DIR_DEFAULT,
                          wxPATH_MKDIR_FULL);
        WriteBytes(m_home.File(".feedquill/Feedquill.cfg"), m_settings);
        WriteBytes(m_home.File(".feedquill/SignatureTemplates/default.txt"),
                   "-- \n%title% %link%");
        WriteBytes(m_home.File("sig"), OLD_SIGNATURE);
    }

    // Runs "feedquill -q" with SIGKILL sent at the n-th call of one of the system calls.
    ProgramRun RunKilledAt(const std::string& calls, int n)
    {
        const std::string strace = "-f -qq -o /dev/null -e trace=" + calls + " -e inject="
                                   + calls + ":signal=SIGKILL:when=" + std::to_string(n);
        // LeakSanitizer cannot work under a tracer.
        return RunProgram(strace + " '" + ProgramUnderTest() + "' -q", m_home.GetPath(),
                          { "ASAN_OPTIONS=detect_leaks=0" }, "strace");
    }

    FixtureServer m_server;
    TempDir m_home;
    std::string m_settings;
};

} // anonymous namespace

TEST_F(KilledRun, LeavesEveryFileOldOrNewAndWhole)
{
    const char* const CALL_SETS[] = { "write", "fsync", "rename,renameat,renameat2",
                                      "unlink,unlinkat" };
    int killedRuns = 0;
    for ( const char* calls : CALL_SETS )
    {
        // Each call of the set in turn, until a run gets through without meeting the n-th.
        bool finished = false;
        for ( int n = 1; n <= 60 && !finished; ++n )
        {
            WriteOldFiles();
            const ProgramRun run = RunKilledAt(calls, n);
            finished = run.status == 0;
            killedRuns += finished ? 0 : 1;
            const std::string where = std::string(calls) + " #" + std::to_string(n);

            const std::string signature = ReadBytes(m_home.File("sig"));
            EXPECT_TRUE(signature == OLD_SIGNATURE || signature == NEW_SIGNATURE)
                << where << ": \"" << signature << "\"";
            const std::string settings = ReadBytes(m_home.File(".feedquill/Feedquill.cfg"));
            EXPECT_NE(settings.find("FeedURL=" + m_server.Url("/feed")), std::string::npos)
                << where << ": \"" << settings << "\"";
            EXPECT_TRUE(settings.find("LastTitle=Old post\n") != std::string::npos
                        || settings.find("LastTitle=New post\n") != std::string::npos)
                << where << ": \"" << settings << "\"";
            if ( finished )
            {
                EXPECT_EQ(signature, NEW_SIGNATURE) << where << ": " << run.err;
            }
        }
        EXPECT_TRUE(finished) << calls;
        // The run that finished removed what the killed ones left.
        for ( const wxString& folder : { m_home.GetPath(), m_home.File(".feedquill") } )
        {
            wxArrayString names;
            wxDir::GetAllFiles(folder, &names, "*.feedquill-new-*", wxDIR_FILES | wxDIR_HIDDEN);
            EXPECT_TRUE(names.empty()) << calls << ": " << names[0];
        }
    }
    EXPECT_GT(killedRuns, 5);
    RecordProperty("killed_runs", killedRuns);
}
