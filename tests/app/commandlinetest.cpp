// The built program's command line, run without a display as cron or a systemd timer runs it.

#include "testenv.h"

#include <wx/filename.h>

#include <gtest/gtest.h>

namespace
{

bool DirExists(const wxString& path)
{
    return wxFileName::DirExists(path);
}

} // anonymous namespace

TEST(CommandLine, HelpPrintsUsageAndCreatesNothing)
{
    TempDir home;
    for ( const char* help : { "-h", "--help" } )
    {
        const ProgramRun run = RunProgram(help, home.GetPath());
        EXPECT_EQ(run.status, 0) << help;
        const std::string& usage = run.out;
        EXPECT_NE(usage.find("Show this message"), std::string::npos) << usage;
        EXPECT_NE(usage.find("Command line mode - no GUI"), std::string::npos);
        EXPECT_NE(usage.find("--quiet"), std::string::npos);
        EXPECT_NE(usage.find("Use data are located in this folder"), std::string::npos);
    }
    EXPECT_FALSE(DirExists(home.File(".feedquill")));
}

TEST(CommandLine, BadArgumentsPrintUsageAndFailWithoutCreatingAnything)
{
    TempDir home;
    // Only "-" introduces a switch: "/c" is an unexpected argument.
    for ( const char* args : { "/c", "--bogus", "-x", "-c extra" } )
    {
        const ProgramRun run = RunProgram(args, home.GetPath());
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_NE(run.err.find("Show this message"), std::string::npos) << args;
    }
    EXPECT_FALSE(DirExists(home.File(".feedquill")));
}

TEST(CommandLine, WindowModeWithoutDisplayFailsClearly)
{
    TempDir home;
    const ProgramRun run = RunProgram("", home.GetPath());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no display"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("-q"), std::string::npos);
    EXPECT_FALSE(DirExists(home.File(".feedquill")));
}

TEST(CommandLine, FirstQuietRunCreatesDataFolderAndReportsMissingFeed)
{
    TempDir home;
    const ProgramRun run = RunProgram("-q", home.GetPath());
    // No feed address is set yet, so the update fails: an empty address has no host.
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Error #11 while processing your feed"), std::string::npos)
        << run.err;
    EXPECT_EQ(run.out, "");
    const wxString dataDir = home.File(".feedquill/");
    EXPECT_TRUE(FileExists(dataDir + "SignatureTemplates/default.txt"));
    EXPECT_EQ(ReadBytes(dataDir + "SignatureTemplates/default.txt"), "");
    if ( !FEEDQUILL_UPDATE_CHECK )
        return;
    // The first start only stamps the day of the update check, which reaches the file at exit.
    const std::string config = ReadBytes(dataDir + "Feedquill.cfg");
    EXPECT_NE(config.find("[updates]"), std::string::npos) << config;
    EXPECT_NE(config.find("LastUpdate="), std::string::npos);
    EXPECT_NE(config.find("UpdateNumber=1"), std::string::npos);
}

TEST(CommandLine, LocalSwitchKeepsDataBesideTheExecutable)
{
    TempDir home;
    TempDir portable;
    const wxString binary = portable.File("feedquill");
    ASSERT_TRUE(wxCopyFile(FEEDQUILL_BINARY, binary));
    ASSERT_TRUE(wxFileName(binary).SetPermissions(wxPOSIX_USER_READ | wxPOSIX_USER_WRITE
                                                  | wxPOSIX_USER_EXECUTE));

    const ProgramRun run = RunProgram("--cmd --local", home.GetPath(), {},
                                      std::string(binary.fn_str()));
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(DirExists(portable.File("SignatureTemplates")));
    EXPECT_TRUE(FileExists(portable.File("SignatureTemplates/default.txt")));
    EXPECT_EQ(FileExists(portable.File("Feedquill.cfg")), FEEDQUILL_UPDATE_CHECK == 1);
    EXPECT_FALSE(DirExists(home.File(".feedquill")));
}
