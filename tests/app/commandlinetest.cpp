// The built program's command line, run without a display as cron or a systemd timer runs it.

#include "app/startup.h"
#include "app/windowmodule.h"
#include "testenv.h"

#include <wx/dir.h>
#include <wx/filename.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>
#include <unistd.h>

namespace
{

bool DirExists(const wxString& path)
{
    return wxFileName::DirExists(path);
}

// Copies the built program alone into dir, as a user who carries it around does.
std::string CopyProgram(const TempDir& dir)
{
    const wxString binary = dir.File("feedquill");
    EXPECT_TRUE(wxCopyFile(FEEDQUILL_BINARY, binary));
    EXPECT_TRUE(wxFileName(binary).SetPermissions(wxPOSIX_USER_READ | wxPOSIX_USER_WRITE
                                                  | wxPOSIX_USER_EXECUTE));
    return std::string(binary.fn_str());
}

// A display that no server answers on.
const char NO_SUCH_DISPLAY[] = "DISPLAY=:64999";

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

TEST(CommandLine, VersionIsPrintedAndListedAndCreatesNothing)
{
    TempDir home;
    const ProgramRun run = RunProgram("--version", home.GetPath());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Feedquill 1.0\n");
    EXPECT_EQ(run.err, "");
    EXPECT_FALSE(DirExists(home.File(".feedquill")));

    const ProgramRun help = RunProgram("--help", home.GetPath());
    EXPECT_NE(help.out.find("--version"), std::string::npos) << help.out;
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

TEST(CommandLine, ErrorsStayEnglishUnderAGermanLocale)
{
    // A German C library locale of the test's own: the machine's may not include one.
    TempDir locales;
    const std::string localeDir(locales.GetPath().fn_str());
    if ( std::system(("localedef -i de_DE -f UTF-8 '" + localeDir
                      + "de_DE.UTF-8' >/dev/null 2>&1").c_str()) != 0 )
        GTEST_SKIP() << "localedef cannot make a German locale here (package locales?)";
    const bool haveScript = std::system("command -v script >/dev/null 2>&1") == 0;
    const std::vector<std::string> german = { "LOCPATH=" + localeDir, "LANGUAGE=",
                                              "LANG=de_DE.UTF-8", "LC_ALL=de_DE.UTF-8" };
    // Scripts and the journal read standard error; someone at a terminal that has a display
    // as well gets the same text, since the run answers on the terminal.
    for ( const bool terminal : { false, true } )
    {
        if ( terminal && !haveScript )
        {
            ADD_FAILURE() << "script (bsdutils) is needed to give the run a terminal";
            continue;
        }
        TempDir home;
        std::vector<std::string> env = german;
        if ( terminal )
            env.push_back(NO_SUCH_DISPLAY);
        const ProgramRun run = terminal
            ? RunProgram("-qec \"'" + ProgramUnderTest() + "' -q\" /dev/null", home.GetPath(),
                         env, "script")
            : RunProgram("-q", home.GetPath(), env);
        // script passes the terminal's text on to its standard output.
        const std::string& said = terminal ? run.out : run.err;
        EXPECT_EQ(run.status, 1) << terminal;
        EXPECT_NE(said.find("Error #11 while processing your feed"), std::string::npos)
            << terminal << ": " << said;
        EXPECT_NE(said.find("No feed address is set (choose one in the window, or set FeedURL "
                            "in "), std::string::npos) << said;
        EXPECT_EQ(said.find("Fehler"), std::string::npos) << said;
    }
}

TEST(CommandLine, LocalSwitchKeepsDataBesideTheExecutable)
{
    TempDir home;
    TempDir portable;
    const ProgramRun run = RunProgram("--cmd --local", home.GetPath(), {},
                                      CopyProgram(portable));
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(DirExists(portable.File("SignatureTemplates")));
    EXPECT_TRUE(FileExists(portable.File("SignatureTemplates/default.txt")));
    EXPECT_EQ(FileExists(portable.File("Feedquill.cfg")), FEEDQUILL_UPDATE_CHECK == 1);
    EXPECT_FALSE(DirExists(home.File(".feedquill")));
}

TEST(StartUp, SystemFoldersAreUsrAndTheUnwritable)
{
    TempDir writable;
    const struct
    {
        wxString dir;
        bool system;
    } cases[] =
    {
        { "/usr/bin/", true },
        { "/usr/local/bin/", true },
        { "/usr/", true },
        { writable.GetPath(), false },
        { writable.File("missing/"), true },
    };
    for ( const auto& c : cases )
        EXPECT_EQ(StartUp::IsSystemFolder(c.dir), c.system) << c.dir;
}

// -l for a program in a folder of the system: one message saying what -l is for, status 2,
// and nothing created there or in the home folder.
TEST(CommandLine, LocalSwitchInASystemFolderIsRefusedAndCreatesNothing)
{
    if ( getuid() != 0
         || std::system("setpriv --reuid=65534 --regid=65534 --clear-groups true") != 0 )
        GTEST_SKIP() << "needs root to run as nobody (setpriv) and to mount a folder in /usr";
    TempDir home;
    TempDir installed;
    const std::string binary = CopyProgram(installed);
    const std::string homePath(home.GetPath().fn_str());
    ASSERT_EQ(std::system(("chmod 755 '" + std::string(installed.GetPath().fn_str()) + "' '"
                           + binary + "' && chown 65534:65534 '" + homePath + "'").c_str()),
              0);
    const auto checkRefused = [&](const ProgramRun& run, const char* who)
    {
        EXPECT_EQ(run.status, 2) << who << ": " << run.err;
        EXPECT_EQ(run.err.find("-l is for a copy of Feedquill in a folder of its own"), 0u)
            << who << ": " << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << who << ": one line: " << run.err;
        EXPECT_FALSE(DirExists(home.File(".feedquill"))) << who;
    };

    // A root-owned folder, run as a user who may not write it.
    const ProgramRun user = RunProgram("--reuid=65534 --regid=65534 --clear-groups '" + binary
                                       + "' -c -l", home.GetPath(), {}, "setpriv");
    checkRefused(user, "nobody");
    wxArrayString names;
    wxDir::GetAllFiles(installed.GetPath(), &names, wxString(), wxDIR_FILES | wxDIR_DIRS
                                                                | wxDIR_HIDDEN);
    EXPECT_EQ(names.size(), 1u) << "only the program";

    // Under /usr, run as root, who may write anything: in a mount namespace of its own, a
    // throw-away folder over /usr/local/games holds the copy.
    const std::string script = "mount -t tmpfs feedquill-test /usr/local/games"
                               " && cp \"" + binary + "\" /usr/local/games/feedquill"
                               " && { /usr/local/games/feedquill -c -l; status=$?;"
                               " ls -A /usr/local/games; exit $status; }";
    const ProgramRun root = RunProgram("-m --propagation private sh -c '" + script + "'",
                                       home.GetPath(), {}, "unshare");
    if ( root.status != 2 && root.err.find("mount") != std::string::npos )
        GTEST_SKIP() << "cannot mount in a namespace of its own: " << root.err;
    checkRefused(root, "root");
    EXPECT_EQ(root.out, "feedquill\n") << "only the program";
}

TEST(CommandLine, RunWithoutDisplayLoadsNoWindowLibrary)
{
    // The window libraries take longer to load than a whole update of a small feed, and a
    // scheduled run has no use for them.
    TempDir home;
    const ProgramRun run = RunProgram("-q", home.GetPath(), { "LD_DEBUG=libs" });
    EXPECT_EQ(run.status, 1);
    ASSERT_NE(run.err.find("libwx_baseu"), std::string::npos) << "no loader trace";
    for ( const char* library : { "libwx_gtk3u", "libgtk-3", "libX11", "feedquill-window" } )
        EXPECT_EQ(run.err.find(library), std::string::npos) << library;
}

TEST(CommandLine, DisplayThatCannotBeOpenedLeavesTheConsoleRun)
{
    TempDir home;
    const ProgramRun window = RunProgram("", home.GetPath(), { NO_SUCH_DISPLAY });
    EXPECT_EQ(window.status, 1);
    EXPECT_NE(window.err.find("no display"), std::string::npos) << window.err;

    // The toolkit's own complaint about the display would reach cron's mail every hour.
    const ProgramRun update = RunProgram("-q", home.GetPath(), { NO_SUCH_DISPLAY });
    EXPECT_EQ(update.status, 1);
    EXPECT_EQ(update.err.find("Error #11 while processing your feed"), 0u) << update.err;
    EXPECT_EQ(update.err.find("GTK"), std::string::npos) << update.err;
}

TEST(CommandLine, ToolkitChecksThatFailAreOneLineNotACallStack)
{
    // A settings file edited by hand with a group written twice trips a check of the toolkit.
    TempDir home;
    ASSERT_TRUE(wxFileName::Mkdir(home.File(".feedquill"), wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL));
    WriteBytes(home.File(".feedquill/Feedquill.cfg"),
               "[project/default]\nFilePath=/nowhere\n[project/default]\nFeedURL=\n"
               "[updates]\nCCheckForUpdates=0\n");
    for ( const char* display : { "DISPLAY=", NO_SUCH_DISPLAY } )
    {
        const ProgramRun run = RunProgram("-q", home.GetPath(), { display });
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err.find("Call stack"), std::string::npos) << run.err;
        const size_t check = run.err.find("Feedquill: an internal check failed in ");
        EXPECT_NE(check, std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("Feedquill: an internal", check + 1), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("Error #11 while processing your feed"), std::string::npos);
    }
}

TEST(CommandLine, MissingWindowModuleIsNamedAndLeavesTheConsoleRun)
{
    TempDir home;
    TempDir portable;
    const std::string binary = CopyProgram(portable);
    for ( const std::string& candidate : WindowModule::Candidates(portable.GetPath().ToStdString()
                                                                  + "/") )
    {
        if ( FileExists(candidate) )
            GTEST_SKIP() << "an installed window module is found: " << candidate;
    }

    const ProgramRun window = RunProgram("", home.GetPath(), { NO_SUCH_DISPLAY }, binary);
    EXPECT_EQ(window.status, 1);
    EXPECT_NE(window.err.find("cannot load its window module: feedquill-window.so was found "
                              "neither beside the program nor in"), std::string::npos)
        << window.err;
    EXPECT_NE(window.err.find("Use -c or -q"), std::string::npos);
    EXPECT_FALSE(DirExists(home.File(".feedquill")));

    // A command-line run still updates, with its messages as text and nothing else: without
    // the package of the window, cron would otherwise mail the module's absence every hour.
    const ProgramRun update = RunProgram("-q", home.GetPath(), { NO_SUCH_DISPLAY }, binary);
    EXPECT_EQ(update.status, 1);
    EXPECT_EQ(update.err.find("Error #11 while processing your feed"), 0u) << update.err;
}

TEST(WindowModule, IsLookedForBesideTheProgramThenBelowItsPrefixNeverInTheCurrentFolder)
{
    const std::vector<std::string> candidates = WindowModule::Candidates("/opt/fq/bin/");
    ASSERT_EQ(candidates.size(), 3u);
    EXPECT_EQ(candidates[0], "/opt/fq/bin/feedquill-window.so");
    EXPECT_EQ(candidates[1].rfind("/opt/fq/bin/../lib", 0), 0u) << candidates[1];
    for ( const std::string& candidate : candidates )
        EXPECT_EQ(candidate.front(), '/') << candidate;

    // The program's folder unknown: only the installed path, not "feedquill-window.so" in
    // whatever the current folder is.
    const std::vector<std::string> unknown = WindowModule::Candidates("");
    ASSERT_EQ(unknown.size(), 1u);
    EXPECT_EQ(unknown[0], candidates[2]);
}
