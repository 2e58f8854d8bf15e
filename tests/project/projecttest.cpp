// The current project's settings in Feedquill.cfg.

#include "testenv.h"

#include "project/project.h"

#include <wx/config.h>
#include <wx/convauto.h>
#include <wx/fileconf.h>

#include <gtest/gtest.h>

namespace
{

// Reads the configuration file as a later run of the program would.
wxString ReadStored(const wxString& configPath, const wxString& key)
{
    wxFileConfig stored("Feedquill", "Tarnwick", configPath, wxString(),
                        wxCONFIG_USE_LOCAL_FILE, wxConvAuto());
    return stored.Read(key, "<absent>");
}

} // anonymous namespace

using ProjectLoad = ProjectTest;

TEST_F(ProjectLoad, FirstRunGivesDefaultProjectAndWritesNothing)
{
    LoadProject();
    EXPECT_EQ(g_project.m_name, "default");
    EXPECT_EQ(g_project.m_templateName, "default.txt");
    EXPECT_EQ(g_project.m_feedURL, "");
    EXPECT_EQ(g_project.m_filePath, "");
    EXPECT_EQ(g_project.m_lastTitle, "");
    EXPECT_EQ(g_project.m_lastLink, "");
    EXPECT_EQ(g_project.m_template, kDefaultTemplate);
    wxConfigBase::Get()->Flush();
    EXPECT_FALSE(FileExists(GetConfigPath()));
}

TEST_F(ProjectLoad, ReadsTheGroupOfTheProjectNamedInOptions)
{
    WriteBytes(GetConfigPath(),
               "[options]\nProject=work\n"
               "[project/default]\nFeedURL=http://wrong.example/\n"
               "[project/work]\nFeedURL=\"  http://blog.example/feed  \"\n"
               "FilePath=/tmp/sig.txt\n"
               "LastTitle=Hello\nLastLink=http://blog.example/hello\n");
    ReopenConfig();
    wxConfigBase::Get()->SetPath("/somewhere");
    LoadProject();

    EXPECT_EQ(g_project.m_name, "work");
    // Values are taken as stored, blanks included.
    EXPECT_EQ(g_project.m_feedURL, "  http://blog.example/feed  ");
    EXPECT_EQ(g_project.m_filePath, "/tmp/sig.txt");
    EXPECT_EQ(g_project.m_lastTitle, "Hello");
    EXPECT_EQ(g_project.m_lastLink, "http://blog.example/hello");
    EXPECT_EQ(g_project.m_templateName, "work.txt");
    EXPECT_TRUE(FileExists(GetTemplatePath("work.txt")));
    EXPECT_EQ(wxConfigBase::Get()->GetPath(), "/somewhere");
}

TEST_F(ProjectLoad, TakesTheTemplateNamedByTheProject)
{
    WriteBytes(GetConfigPath(), "[project/default]\nProjectTemplate=shared.txt\n");
    WriteBytes(GetTemplatePath("shared.txt"), "Shared %title%");
    ReopenConfig();
    LoadProject();
    EXPECT_EQ(g_project.m_templateName, "shared.txt");
    EXPECT_EQ(g_project.m_template, "Shared %title%");
}

using ProjectSettings = ProjectTest;

TEST_F(ProjectSettings, FeedAddressAndFilePathReachTheFileAtOnce)
{
    WriteBytes(GetConfigPath(), "[options]\nProject=blog\n");
    ReopenConfig();
    LoadProject();

    g_project.SetFeedURL("https://blog.example/atom.xml");
    EXPECT_EQ(g_project.m_feedURL, "https://blog.example/atom.xml");
    EXPECT_EQ(ReadStored(GetConfigPath(), "/project/blog/FeedURL"),
              "https://blog.example/atom.xml");

    g_project.SetFilePath("/home/me/.signature");
    EXPECT_EQ(g_project.m_filePath, "/home/me/.signature");
    EXPECT_EQ(ReadStored(GetConfigPath(), "/project/blog/FilePath"), "/home/me/.signature");
    EXPECT_EQ(ReadStored(GetConfigPath(), "/project/default/FeedURL"), "<absent>");
}

TEST_F(ProjectSettings, KeysThatNobodyWritesNeverAppearInTheFile)
{
    LoadProject();
    g_project.SetFeedURL("http://blog.example/");
    const std::string config = ReadBytes(GetConfigPath());
    EXPECT_EQ(config.find("Project="), std::string::npos) << config;
    EXPECT_EQ(config.find("ProjectTemplate"), std::string::npos);
    EXPECT_NE(config.find("FeedURL=http://blog.example/"), std::string::npos);
}

TEST_F(ProjectSettings, UnicodeValuesRoundTripAsUtf8)
{
    LoadProject();
    const wxString url = wxString::FromUTF8("http://blog.example/ünïcödé");
    g_project.SetFeedURL(url);
    EXPECT_NE(ReadBytes(GetConfigPath()).find("ünïcödé"), std::string::npos);
    ReopenConfig();
    g_project = Project();
    LoadProject();
    EXPECT_EQ(g_project.m_feedURL, url);
}
