// Every identity: --project, --all and --print through the built program.

#include "fixtureserver.h"
#include "testenv.h"

#include <wx/filename.h>

#include <gtest/gtest.h>

#include <string>

namespace
{

std::string Feed(std::string title)
{
    const size_t amp = title.find('&');
    if ( amp != std::string::npos )
        title.replace(amp, 1, "&amp;");
    return "<rss><channel><title>Blog</title><item><title>" + title
           + "</title><link>http://blog.example/" + title + "</link></item></channel></rss>";
}

// Three projects, "work" the current one, each with its feed, template and signature file;
// "broken" reads a feed whose server answers 500.
class ProjectSwitch : public ::testing::Test
{
protected:
    ProjectSwitch()
    {
        m_server.Serve("/work", FixtureServer::Response(200, Feed("WorkPost")));
        m_server.Serve("/home", FixtureServer::Response(200, Feed("Home&Post")));
        m_server.Serve("/broken", FixtureServer::Response(500, "down"));
        wxFileName::Mkdir(Data("SignatureTemplates"), wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
        for ( const char* name : { "work", "home", "broken" } )
            WriteBytes(Data("SignatureTemplates/") + name + ".txt",
                       std::string(name) + ": %title% <%link%>");
        WriteSettings("");
    }

    wxString Data(const wxString& name) const { return m_home.File(".feedquill/" + name); }
    wxString Signature(const wxString& name) const { return m_home.File(name); }

    void WriteSettings(const std::string& stored)
    {
        std::string settings = "[options]\nProject=work\n[updates]\nCCheckForUpdates=0\n";
        for ( const char* name : { "work", "home", "broken" } )
        {
            const std::string file = std::string(name) == "home" ? "home.html" : "";
            settings += std::string("[project/") + name + "]\nFeedURL=" + m_server.Url(
                            std::string("/") + name)
                        + "\nFilePath=" + std::string(Signature(file.empty() ? name + std::string(".txt") : file).fn_str())
                        + "\n" + (std::string(name) == "home" ? stored : "");
        }
        WriteBytes(Data("Feedquill.cfg"), settings);
    }

    ProgramRun Run(const std::string& args) { return RunProgram(args, m_home.GetPath()); }

    TempDir m_home;
    FixtureServer m_server;
};

} // anonymous namespace

TEST_F(ProjectSwitch, NamedProjectIsUsedWithEachModeAndLeavesTheChoiceAlone)
{
    const struct
    {
        const char* args;
        int status;
        const char* out;
    } cases[] =
    {
        { "-q --project home", 0, "" },
        { "-c --project home", 0, "Updated successfully:\n Title : Home&Post" },
        { "--print --project home", 0,
          "home: Home&amp;Post <http://blog.example/Home&amp;Post>" },
    };
    for ( const auto& c : cases )
    {
        const ProgramRun run = Run(c.args);
        EXPECT_EQ(run.status, c.status) << c.args << ": " << run.err;
        EXPECT_EQ(run.out.substr(0, std::string(c.out).size()), c.out) << c.args;
    }
    EXPECT_EQ(ReadBytes(Signature("home.html")),
              "home: Home&amp;Post <http://blog.example/Home&amp;Post>");
    EXPECT_FALSE(FileExists(Signature("work.txt")));
    EXPECT_NE(ReadBytes(Data("Feedquill.cfg")).find("Project=work\n"), std::string::npos);
}

TEST_F(ProjectSwitch, UnknownProjectNamesTheOnesThereAndCreatesNothing)
{
    for ( const char* args : { "-q --project nosuch", "-c --project nosuch",
                               "--print --project nosuch" } )
    {
        const std::string before = ReadBytes(Data("Feedquill.cfg"));
        const ProgramRun run = Run(args);
        EXPECT_EQ(run.status, 1) << args;
        EXPECT_NE(run.err.find("There is no project \"nosuch\""), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("\"broken\", \"home\", \"work\""), std::string::npos) << run.err;
        EXPECT_EQ(ReadBytes(Data("Feedquill.cfg")), before) << args;
        EXPECT_FALSE(FileExists(Data("SignatureTemplates/nosuch.txt"))) << args;
        EXPECT_FALSE(FileExists(Data("Feedquill.lock"))) << args;
    }
}

TEST_F(ProjectSwitch, AllUpdatesEveryProjectAndOneFailureStopsNoOther)
{
    const ProgramRun run = Run("-q --all");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(ReadBytes(Signature("work.txt")), "work: WorkPost <http://blog.example/WorkPost>");
    EXPECT_EQ(ReadBytes(Signature("home.html")),
              "home: Home&amp;Post <http://blog.example/Home&amp;Post>");
    EXPECT_FALSE(FileExists(Signature("broken.txt")));
    EXPECT_NE(run.err.find("Project \"broken\": Error #6 while processing your feed"),
              std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("Project \"work\""), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");

    // Without the broken feed, all is well; -c names each project in its message.
    m_server.Serve("/broken", FixtureServer::Response(200, Feed("Mended")));
    const ProgramRun again = Run("-c --all");
    EXPECT_EQ(again.status, 0) << again.err;
    for ( const char* name : { "work", "home", "broken" } )
        EXPECT_NE(again.out.find("Project \"" + std::string(name) + "\": Updated successfully"),
                  std::string::npos) << again.out;

    // Without Project, the run starts on "default", which has no group: not a project to update.
    std::string settings = ReadBytes(Data("Feedquill.cfg"));
    settings.erase(settings.find("Project=work\n"), 13);
    WriteBytes(Data("Feedquill.cfg"), settings);
    const ProgramRun unnamed = Run("-q --all");
    EXPECT_EQ(unnamed.status, 0) << unnamed.err;
    EXPECT_EQ(unnamed.err, "");
}

TEST_F(ProjectSwitch, SwitchesThatDoNotGoTogetherAreUsageErrors)
{
    for ( const char* args : { "--all", "-q --all --project home", "--print -q",
                               "--print --all" } )
    {
        const ProgramRun run = Run(args);
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_NE(run.err.find("--"), std::string::npos) << run.err;
    }
}

TEST_F(ProjectSwitch, PrintShowsTheStoredPostOrSaysThereIsNone)
{
    // No post stored yet: nothing on standard output.
    const ProgramRun none = Run("--print");
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "");
    EXPECT_NE(none.err.find("No post is stored for the project \"work\""), std::string::npos)
        << none.err;

    // A stored post, as a .txt and as an .html target; nothing fetched, nothing written.
    WriteSettings("LastTitle=Fish & <chips>\nLastLink=http://blog.example/f?a=1&b=2\n");
    const std::string settings = ReadBytes(Data("Feedquill.cfg"));
    const ProgramRun html = Run("--print --project home");
    EXPECT_EQ(html.status, 0) << html.err;
    EXPECT_EQ(html.out, "home: Fish &amp; &lt;chips&gt; <http://blog.example/f?a=1&amp;b=2>");
    const std::string withTxt = settings.substr(0, settings.find("home.html")) + "home.txt"
                                + settings.substr(settings.find("home.html") + 9);
    WriteBytes(Data("Feedquill.cfg"), withTxt);
    const ProgramRun text = Run("--print --project home");
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out, "home: Fish & <chips> <http://blog.example/f?a=1&b=2>");
    EXPECT_EQ(ReadBytes(Data("Feedquill.cfg")), withTxt);
    EXPECT_EQ(m_server.RequestCount(), 0u);
    EXPECT_FALSE(FileExists(Signature("home.txt")));
}
