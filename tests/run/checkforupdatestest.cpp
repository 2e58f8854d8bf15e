// The check for a newer version as the user meets it: the messages shown and the browser.

#include "project/project.h"

#include "fixtureserver.h"
#include "testenv.h"

#include <wx/config.h>
#include <wx/defs.h>

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace
{

const char* const INFO_PATH = "/updates/feedquill.txt";
const char* const LATEST_MESSAGE = "You are using the latest version.";
const char* const ERROR_MESSAGE = "Error while getting information about new version.";

struct BodyCase
{
    const char* name;
    const char* body;
};

void PrintTo(const BodyCase& c, std::ostream* os)
{
    *os << c.name;
}

// The check as the Help menu and a due update run start it, against a loopback server.
class UpdateCommand : public ProjectTest
{
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_UPDATE_CHECK();
        ASSERT_TRUE(m_server.IsOk());
    }

    void ServeInfo(const std::string& body)
    {
        m_server.Serve(INFO_PATH, FixtureServer::Response(200, body));
    }

    FixtureServer m_server;
    ScopedEnv m_url{"FEEDQUILL_UPDATE_URL", m_server.Url(INFO_PATH)};
    RecordingMessenger m_messenger;
    RecordingLauncher m_launcher;
};

TEST_F(UpdateCommand, FailureShowsAnErrorBox)
{
    m_server.Serve(INFO_PATH, FixtureServer::Response(404, ""));

    g_project.CheckForUpdates(false);

    ASSERT_EQ(m_messenger.GetMessages().size(), 1u);
    const RecordingMessenger::Message& message = m_messenger.GetMessages()[0];
    EXPECT_EQ(message.text, wxString(ERROR_MESSAGE) + "\nThe server answered 404 Not Found for "
                            + m_server.Url(INFO_PATH) + ".");
    EXPECT_EQ(message.caption, "Error");
    EXPECT_EQ(message.style, wxOK | wxICON_ERROR);
    EXPECT_EQ(wxConfigBase::Get()->ReadLong("/updates/ErrorCount", -1), 1);
}

TEST_F(UpdateCommand, LatestVersionShowsAnInformationBox)
{
    ServeInfo("|1.0|1.0|2007-11-06|Same.");

    g_project.CheckForUpdates(false);

    ASSERT_EQ(m_messenger.GetMessages().size(), 1u);
    const RecordingMessenger::Message& message = m_messenger.GetMessages()[0];
    EXPECT_EQ(message.text, LATEST_MESSAGE);
    EXPECT_EQ(message.caption, "Feedquill");
    EXPECT_EQ(message.style, wxOK | wxICON_INFORMATION);
}

TEST_F(UpdateCommand, AnswerYesOpensTheHomePage)
{
    ServeInfo("|1.1|1.1 beta|2026-12-01|Faster.");
    m_messenger.Answer(wxYES);

    g_project.CheckForUpdates(false);

    ASSERT_EQ(m_launcher.m_urls.size(), 1u);
    EXPECT_TRUE(m_launcher.m_urls[0].EndsWith("/?src=fqa")) << m_launcher.m_urls[0];
}

TEST_F(UpdateCommand, AnswerNoOpensNothing)
{
    ServeInfo("|1.1|1.1 beta|2026-12-01|Faster.");
    m_messenger.Answer(wxNO);

    g_project.CheckForUpdates(false);

    EXPECT_EQ(m_messenger.GetMessages().size(), 1u);
    EXPECT_TRUE(m_launcher.m_urls.empty());
}

class UpdateCommandNewer : public UpdateCommand, public ::testing::WithParamInterface<bool>
{
};

TEST_P(UpdateCommandNewer, AsksWhetherToVisitTheHomePage)
{
    ServeInfo("|1.1|1.1 beta|2026-12-01|Faster.");

    g_project.CheckForUpdates(GetParam());

    ASSERT_EQ(m_messenger.GetMessages().size(), 1u);
    const RecordingMessenger::Message& message = m_messenger.GetMessages()[0];
    EXPECT_EQ(message.text, "New version of feedquill is available.\n\n   Current version:  1.0\n"
                            "   New version:  1.1 beta\n   Release date:  2026-12-01\n\nFaster.");
    EXPECT_EQ(message.caption, "Feedquill");
    EXPECT_EQ(message.style, wxYES_NO | wxICON_INFORMATION);
}

INSTANTIATE_TEST_SUITE_P(
    , UpdateCommandNewer, ::testing::Bool(),
    [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Quiet" : "Asked"; });

class UpdateCommandQuiet : public UpdateCommand, public ::testing::WithParamInterface<BodyCase>
{
};

TEST_P(UpdateCommandQuiet, ShowsNothing)
{
    ServeInfo(GetParam().body);

    g_project.CheckForUpdates(true);

    EXPECT_TRUE(m_messenger.GetMessages().empty());
}

INSTANTIATE_TEST_SUITE_P(
    , UpdateCommandQuiet,
    ::testing::Values(BodyCase{"Failure", "|not a number"},
                      BodyCase{"Latest", "|1.0|1.0|2007-11-06|Same."}),
    [](const ::testing::TestParamInfo<BodyCase>& info) { return info.param.name; });

TEST_F(UpdateCommand, QuietFailureCountsToo)
{
    m_server.Serve(INFO_PATH, FixtureServer::Response(404, ""));

    g_project.CheckForUpdates(true);

    EXPECT_EQ(wxConfigBase::Get()->ReadLong("/updates/ErrorCount", -1), 1);
}

struct DueFlagCase
{
    const char* name;
    bool quiet;
    const char* body;
};

void PrintTo(const DueFlagCase& c, std::ostream* os)
{
    *os << c.name;
}

class UpdateCommandDueFlag : public UpdateCommand,
                             public ::testing::WithParamInterface<DueFlagCase>
{
};

// Whichever check comes first in a process, the automatic one must not follow it.
TEST_P(UpdateCommandDueFlag, AnyCheckClearsIt)
{
    ServeInfo(GetParam().body);
    g_project.m_updateCheckDue = true;

    g_project.CheckForUpdates(GetParam().quiet);

    EXPECT_FALSE(g_project.m_updateCheckDue);
}

INSTANTIATE_TEST_SUITE_P(
    , UpdateCommandDueFlag,
    ::testing::Values(DueFlagCase{"QuietFailure", true, "|not a number"},
                      DueFlagCase{"AskedLatest", false, "|1.0"},
                      DueFlagCase{"QuietNewer", true, "|1.1|1.1 beta|2026-12-01|Faster."}),
    [](const ::testing::TestParamInfo<DueFlagCase>& info) { return info.param.name; });

} // anonymous namespace
