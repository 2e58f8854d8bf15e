#include "update/updatechecker.h"

#include "fixtureserver.h"
#include "testenv.h"

#include <wx/config.h>
#include <wx/datetime.h>
#include <wx/defs.h>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace
{

const char* const KEY_LAST = "/updates/LastUpdate";
const char* const KEY_ERRORS = "/updates/ErrorCount";
const char* const KEY_NUMBER = "/updates/UpdateNumber";

const char* const INFO_PATH = "/updates/feedquill.txt";
const char* const LATEST_MESSAGE = "You are using the latest version.";
const char* const ERROR_MESSAGE = "Error while getting information about new version.";
const std::size_t BODY_CAP = 64 * 1024;
// 2020-01-01: a stamp from long before any run of these tests, so that a new one shows.
const long OLD_STAMP = 1577836800;

wxString NewVersionMessage(const wxString& version, const wxString& date,
                           const wxString& notes)
{
    return "New version of feedquill is available.\n\n   Current version:  1.0\n"
           "   New version:  " + version + "\n   Release date:  " + date + "\n\n" + notes;
}

// The cap counts bytes, so its edge needs a valid file of an exact size: the text pads it.
std::string InfoOfSize(std::size_t size)
{
    const std::string head = "|1.5|big|today|";
    return head + std::string(size - head.size(), 'x');
}

wxConfigBase* Config()
{
    return wxConfigBase::Get();
}

bool DayStamped()
{
    return Config()->ReadLong(KEY_LAST, 0) == wxDateTime::Today().GetTicks();
}

class UpdateCheck : public ProjectTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.IsOk());
        Config()->Write(KEY_LAST, OLD_STAMP);
    }

    wxString Url(const std::string& path) const
    {
        return wxString::FromUTF8(m_server.Url(path));
    }

    wxString InfoUrl() const
    {
        return Url(INFO_PATH);
    }

    void ServeInfo(const std::string& body)
    {
        m_server.Serve(INFO_PATH, FixtureServer::Response(200, body));
    }

    void ServeRedirect(const std::string& path, int status, const std::string& location)
    {
        m_server.Serve(path, FixtureServer::Response(status, "", {{"Location", location}}));
    }

    std::vector<std::string> RequestedTargets() const
    {
        std::vector<std::string> targets;
        for ( const FixtureRequest& request : m_server.Requests() )
            targets.push_back(request.target);
        return targets;
    }

    FixtureServer m_server;
};

TEST_F(UpdateCheck, NewerVersionIsReportedWithItsDetails)
{
    ServeInfo("|1.1|1.1 beta|2026-12-01|Faster.");
    UpdateChecker checker;

    EXPECT_EQ(checker.Check(InfoUrl(), 1.0), 1);
    EXPECT_EQ(checker.GetResultMessage("1.0"),
              "New version of feedquill is available.\n\n"
              "   Current version:  1.0\n"
              "   New version:  1.1 beta\n"
              "   Release date:  2026-12-01\n\n"
              "Faster.");
}

TEST_F(UpdateCheck, ReadingAVersionStampsTheDay)
{
    Config()->Write(KEY_ERRORS, 2L);
    ServeInfo("|1.1|1.1 beta|2026-12-01|Faster.");
    UpdateChecker checker;

    checker.Check(InfoUrl(), 1.0);

    EXPECT_TRUE(DayStamped());
    EXPECT_EQ(Config()->ReadLong(KEY_NUMBER, -1), 1);
    EXPECT_EQ(Config()->ReadLong(KEY_ERRORS, -1), 0);
}

TEST_F(UpdateCheck, SendsTheUpdateAgentHeaders)
{
    ServeInfo("|1.0");
    UpdateChecker checker;

    checker.Check(InfoUrl(), 1.0);

    const std::vector<FixtureRequest> requests = m_server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].Header("Accept"), "text/*");
    EXPECT_EQ(requests[0].Header("Content-type"), "text/html; charset=utf-8");
    EXPECT_EQ(requests[0].Header("User-Agent"), "feedquill Check For Update Agent");
}

TEST_F(UpdateCheck, RequestsThePathWithItsQuery)
{
    ServeInfo("|1.0");
    UpdateChecker checker;

    checker.Check(Url(std::string(INFO_PATH) + "?from=1.0"), 1.0);

    EXPECT_EQ(RequestedTargets(), std::vector<std::string>{std::string(INFO_PATH) + "?from=1.0"});
}

TEST_F(UpdateCheck, BodyOfExactlyTheCapIsRead)
{
    ServeInfo(InfoOfSize(BODY_CAP));
    UpdateChecker checker;

    EXPECT_EQ(checker.Check(InfoUrl(), 1.0), 1);
}

TEST_F(UpdateCheck, FollowsFiveRedirectionsOfEveryKind)
{
    const std::string port = std::to_string(m_server.Port());
    ServeRedirect(INFO_PATH, 301, "/hop1");
    ServeRedirect("/hop1", 302, "hop2");
    ServeRedirect("/hop2", 303, m_server.Url("/dir/hop3"));
    ServeRedirect("/dir/hop3", 307, "../hop4");
    ServeRedirect("/hop4", 308, "//127.0.0.1:" + port + "/hop5");
    m_server.Serve("/hop5", FixtureServer::Response(200, "|1.1|1.1 beta|2026-12-01|Faster."));
    UpdateChecker checker;

    EXPECT_EQ(checker.Check(InfoUrl(), 1.0), 1);
    EXPECT_EQ(RequestedTargets(),
              (std::vector<std::string>{INFO_PATH, "/hop1", "/hop2", "/dir/hop3", "/hop4",
                                        "/hop5"}));
}

TEST_F(UpdateCheck, SixthRedirectionFails)
{
    ServeRedirect(INFO_PATH, 302, "/hop1");
    for ( int hop = 1; hop <= 5; ++hop )
        ServeRedirect("/hop" + std::to_string(hop), 302, "/hop" + std::to_string(hop + 1));
    m_server.Serve("/hop6", FixtureServer::Response(200, "|1.1|1.1 beta|2026-12-01|Faster."));
    UpdateChecker checker;

    EXPECT_EQ(checker.Check(InfoUrl(), 1.0), -1);
    EXPECT_EQ(checker.GetResultMessage("1.0"),
              wxString(ERROR_MESSAGE) + "\nMore than 5 redirections; the last one, from "
              + m_server.Url("/hop5") + ", went to \"/hop6\".");
    EXPECT_EQ(m_server.RequestCount(), 6u);
}

TEST_F(UpdateCheck, AStoppedCheckIsNotCountedAsFailed)
{
    ServeInfo("|1.1|1.1|today|");
    {
        UpdateChecker checker;
        HttpOptions options = UpdateChecker::GetDefaultHttpOptions();
        options.progress = [](std::size_t) { return false; };
        checker.SetHttpOptions(options);
        EXPECT_FALSE(checker.Fetch(InfoUrl()));
    }
    EXPECT_EQ(Config()->ReadLong(KEY_ERRORS, 0), 0);
    {
        UpdateChecker checker;
        EXPECT_FALSE(checker.Fetch(Url("/missing")));
    }
    EXPECT_EQ(Config()->ReadLong(KEY_ERRORS, 0), 1);
}

TEST_F(UpdateCheck, ReadsOverHttps)
{
    FixtureServer tlsServer(FixtureServer::TLS_TRUSTED);
    ASSERT_TRUE(tlsServer.IsOk());
    tlsServer.Serve(INFO_PATH, FixtureServer::Response(200, "|1.1|1.1 beta|2026-12-01|Faster."));
    UpdateChecker checker;
    HttpOptions options = UpdateChecker::GetDefaultHttpOptions();
    options.caFile = wxString::FromUTF8(FixtureServer::CaFile());
    checker.SetHttpOptions(options);

    EXPECT_EQ(checker.Check(wxString::FromUTF8(tlsServer.Url(INFO_PATH)), 1.0), 1);
}

// A locale left switched on would change how every later test reads numbers.
class ScopedNumericLocale
{
public:
    ScopedNumericLocale()
        : m_previous(std::setlocale(LC_NUMERIC, nullptr))
    {
    }

    ~ScopedNumericLocale()
    {
        std::setlocale(LC_NUMERIC, m_previous.c_str());
    }

    ScopedNumericLocale(const ScopedNumericLocale&) = delete;
    ScopedNumericLocale& operator=(const ScopedNumericLocale&) = delete;

    // Switches to a locale that writes decimals with a comma; false when none is installed.
    bool UseDecimalComma()
    {
        for ( const char* name : { "de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8" } )
        {
            if ( std::setlocale(LC_NUMERIC, name) && *std::localeconv()->decimal_point == ',' )
                return true;
        }
        return false;
    }

private:
    std::string m_previous;
};

TEST_F(UpdateCheck, VersionIsReadWithAPointWhateverTheLocale)
{
    ScopedNumericLocale locale;
    if ( !locale.UseDecimalComma() )
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    ServeInfo("|1.5|1.5|2027-01-01|Faster.");
    UpdateChecker checker;

    EXPECT_EQ(checker.Check(InfoUrl(), 1.0), 1);
}

struct NewerCase
{
    const char* name;
    const char* body;
    const char* version;
    const char* date;
    const char* notes;
};

// Failures name the case instead of dumping its bytes.
void PrintTo(const NewerCase& c, std::ostream* os)
{
    *os << c.name;
}

class UpdateCheckNewer : public UpdateCheck, public ::testing::WithParamInterface<NewerCase>
{
};

TEST_P(UpdateCheckNewer, FindsTheFieldsAfterTheSeparator)
{
    const NewerCase& c = GetParam();
    ServeInfo(c.body);
    UpdateChecker checker;

    EXPECT_EQ(checker.Check(InfoUrl(), 1.0), 1);
    EXPECT_EQ(checker.GetResultMessage("1.0"),
              NewVersionMessage(wxString::FromUTF8(c.version), wxString::FromUTF8(c.date),
                                wxString::FromUTF8(c.notes)));
}

INSTANTIATE_TEST_SUITE_P(
    , UpdateCheckNewer,
    ::testing::Values(
        NewerCase{"NumberSign", "#1.5#Five#May 1#Much faster.", "Five", "May 1",
                  "Much faster."},
        NewerCase{"LetterSeparator", "Q1.5Qfive oneQtodayQnotes", "five one", "today",
                  "notes"},
        NewerCase{"LeadingBlanks", "   #1.5#x#y#z", "x", "y", "z"},
        NewerCase{"BlankLinesAround", "\r\n\n \t@2@Two@June@Faster.\r\n\n", "Two", "June",
                  "Faster."},
        NewerCase{"Utf8Text", "\xC2\xA7" "1.5\xC2\xA7Gr\xC3\xB6\xC3\x9F" "er\xC2\xA7"
                  "1. Mai\xC2\xA7Schneller", "Gr\xC3\xB6\xC3\x9F" "er", "1. Mai", "Schneller"},
        NewerCase{"OnlyTheVersion", "|1.5", "", "", ""},
        NewerCase{"EmptyFields", "|1.5|||Notes.", "", "", "Notes."},
        NewerCase{"FieldsAfterTheFourthIgnored", "|1.5|a|b|c|d|e", "a", "b", "c"},
        NewerCase{"BlankBeforeTheNumber", "| 1.5|a|b|c", "a", "b", "c"},
        NewerCase{"WholeNumber", "|2|a|b|c", "a", "b", "c"},
        NewerCase{"SmallStep", "|1.01|a|b|c", "a", "b", "c"}),
    [](const ::testing::TestParamInfo<NewerCase>& info) { return info.param.name; });

struct BodyCase
{
    const char* name;
    const char* body;
};

void PrintTo(const BodyCase& c, std::ostream* os)
{
    *os << c.name;
}

std::string BodyCaseName(const ::testing::TestParamInfo<BodyCase>& info)
{
    return info.param.name;
}

class UpdateCheckLatest : public UpdateCheck, public ::testing::WithParamInterface<BodyCase>
{
};

TEST_P(UpdateCheckLatest, ReportsLatestAndStampsTheDay)
{
    ServeInfo(GetParam().body);
    UpdateChecker checker;

    EXPECT_EQ(checker.Check(InfoUrl(), 1.0), 0);
    EXPECT_EQ(checker.GetResultMessage("1.0"), LATEST_MESSAGE);
    EXPECT_TRUE(DayStamped());
    EXPECT_EQ(Config()->ReadLong(KEY_NUMBER, -1), 1);
}

INSTANTIATE_TEST_SUITE_P(
    , UpdateCheckLatest,
    ::testing::Values(BodyCase{"SameVersion", "|1.0|1.0|2007-11-06|Same."},
                      BodyCase{"OlderVersion", "|0.9|0.9|2006-01-01|Older."},
                      BodyCase{"SameWholeNumber", "|1|1|x|y"},
                      BodyCase{"Negative", "|-2|a|b|c"},
                      BodyCase{"NotANumberComparesAsNotNewer", "|nan|a|b|c"}),
    BodyCaseName);

class UpdateCheckTooShort : public UpdateCheck, public ::testing::WithParamInterface<BodyCase>
{
};

TEST_P(UpdateCheckTooShort, ReportsLatestAndRecordsNothing)
{
    Config()->Write(KEY_ERRORS, 1L);
    {
        ServeInfo(GetParam().body);
        UpdateChecker checker;

        EXPECT_EQ(checker.Check(InfoUrl(), 1.0), 0);
        EXPECT_EQ(checker.GetResultMessage("1.0"), LATEST_MESSAGE);
    }

    EXPECT_EQ(Config()->ReadLong(KEY_LAST, 0), OLD_STAMP);
    EXPECT_FALSE(Config()->HasEntry(KEY_NUMBER));
    EXPECT_EQ(Config()->ReadLong(KEY_ERRORS, -1), 1);
}

INSTANTIATE_TEST_SUITE_P(
    , UpdateCheckTooShort,
    ::testing::Values(BodyCase{"Empty", ""},
                      BodyCase{"OnlyBlankLines", "\r\n\n \t\n"},
                      BodyCase{"OnlyTheSeparator", "|"},
                      BodyCase{"OneCharacterAmidBlanks", "  \r\n x \n\t"}),
    BodyCaseName);

class UpdateCheckBadVersion : public UpdateCheck, public ::testing::WithParamInterface<BodyCase>
{
};

TEST_P(UpdateCheckBadVersion, FailsWithoutStampingTheDay)
{
    ServeInfo(GetParam().body);
    UpdateChecker checker;

    EXPECT_EQ(checker.Check(InfoUrl(), 1.0), -1);
    EXPECT_EQ(checker.GetResultMessage("1.0"),
              wxString(ERROR_MESSAGE) + "\nThe answer names no version number.");
    EXPECT_EQ(Config()->ReadLong(KEY_LAST, 0), OLD_STAMP);
}

INSTANTIATE_TEST_SUITE_P(
    , UpdateCheckBadVersion,
    ::testing::Values(BodyCase{"BlankAfterTheNumber", "|1.1 |1.1 beta|2026-12-01|Faster."},
                      BodyCase{"Letters", "|new|1.1 beta|2026-12-01|Faster."},
                      BodyCase{"Empty", "||1.1 beta|2026-12-01|Faster."},
                      BodyCase{"TwoPoints", "|1.1.1|1.1.1|2026-12-01|Faster."},
                      BodyCase{"DecimalComma", "|1,1|1,1|2026-12-01|Faster."},
                      BodyCase{"OutOfRange", "|1e999|huge|2026-12-01|Faster."}),
    BodyCaseName);

struct FailureCase
{
    const char* name;
    // Sets the server up and returns the address to check.
    std::function<std::string(FixtureServer&)> prepare;
};

void PrintTo(const FailureCase& c, std::ostream* os)
{
    *os << c.name;
}

class UpdateCheckFailure : public UpdateCheck, public ::testing::WithParamInterface<FailureCase>
{
};

TEST_P(UpdateCheckFailure, FailsWithoutStampingTheDay)
{
    const wxString url = wxString::FromUTF8(GetParam().prepare(m_server));
    UpdateChecker checker;

    EXPECT_EQ(checker.Check(url, 1.0), -1);
    // The reason follows on a line of its own.
    EXPECT_TRUE(checker.GetResultMessage("1.0").StartsWith(wxString(ERROR_MESSAGE) + "\n"))
        << checker.GetResultMessage("1.0");
    EXPECT_EQ(Config()->ReadLong(KEY_LAST, 0), OLD_STAMP);
}

INSTANTIATE_TEST_SUITE_P(
    , UpdateCheckFailure,
    ::testing::Values(
        // The error pages carry a valid file, which must not be taken for the answer.
        FailureCase{"NotFound",
                    [](FixtureServer& server)
                    {
                        server.Serve(INFO_PATH, FixtureServer::Response(404, "|1.5|a|b|c"));
                        return server.Url(INFO_PATH);
                    }},
        FailureCase{"ServerError",
                    [](FixtureServer& server)
                    {
                        server.Serve(INFO_PATH, FixtureServer::Response(500, "|1.5|a|b|c"));
                        return server.Url(INFO_PATH);
                    }},
        FailureCase{"ConnectionRefused",
                    [](FixtureServer&)
                    {
                        const int port = UnusedPort();
                        EXPECT_NE(port, 0);
                        return "http://127.0.0.1:" + std::to_string(port) + INFO_PATH;
                    }},
        FailureCase{"ClosedWithoutAnswer",
                    [](FixtureServer& server)
                    {
                        server.Handle(INFO_PATH, [](const FixtureRequest&,
                                                    FixtureConnection& connection)
                                                 {
                                                     connection.Reset();
                                                 });
                        return server.Url(INFO_PATH);
                    }},
        FailureCase{"BodyOverTheCap",
                    [](FixtureServer& server)
                    {
                        server.Serve(INFO_PATH,
                                     FixtureServer::Response(200, InfoOfSize(BODY_CAP + 1)));
                        return server.Url(INFO_PATH);
                    }},
        FailureCase{"RedirectionWithoutLocation",
                    [](FixtureServer& server)
                    {
                        server.Serve(INFO_PATH, FixtureServer::Response(302, ""));
                        return server.Url(INFO_PATH);
                    }},
        FailureCase{"NotAnAddress",
                    [](FixtureServer&) { return std::string("updates/feedquill.txt"); }}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

class UpdateErrorCount : public UpdateCheck
{
protected:
    void SetUp() override
    {
        UpdateCheck::SetUp();
        m_server.Serve("/missing", FixtureServer::Response(404, ""));
    }

    void CheckAndFail()
    {
        UpdateChecker checker;
        EXPECT_EQ(checker.Check(Url("/missing"), 1.0), -1);
    }
};

TEST_F(UpdateErrorCount, OneFailureCountsOne)
{
    CheckAndFail();

    EXPECT_EQ(Config()->ReadLong(KEY_ERRORS, -1), 1);
    EXPECT_EQ(Config()->ReadLong(KEY_LAST, 0), OLD_STAMP);
}

TEST_F(UpdateErrorCount, ThirdFailureInARowCountsAsACheck)
{
    CheckAndFail();
    CheckAndFail();
    EXPECT_EQ(Config()->ReadLong(KEY_ERRORS, -1), 2);
    EXPECT_EQ(Config()->ReadLong(KEY_LAST, 0), OLD_STAMP);

    CheckAndFail();

    EXPECT_EQ(Config()->ReadLong(KEY_ERRORS, -1), 0);
    EXPECT_TRUE(DayStamped());
    EXPECT_EQ(Config()->ReadLong(KEY_NUMBER, -1), 1);
}

TEST_F(UpdateErrorCount, CheckThatReadsAVersionEndsTheRow)
{
    CheckAndFail();
    CheckAndFail();
    ServeInfo("|1.0");
    {
        UpdateChecker checker;
        EXPECT_EQ(checker.Check(InfoUrl(), 1.0), 0);
    }

    CheckAndFail();

    EXPECT_EQ(Config()->ReadLong(KEY_ERRORS, -1), 1);
    EXPECT_EQ(Config()->ReadLong(KEY_NUMBER, -1), 1);
}

TEST(UpdateInfoUrl, IsTheBuiltInFileUnlessOverridden)
{
    EXPECT_TRUE(GetUpdateInfoUrl().StartsWith("http"));
    EXPECT_TRUE(GetUpdateInfoUrl().EndsWith("/updates/feedquill.txt"));
}

TEST(UpdateInfoUrl, EnvironmentOverridesIt)
{
    ScopedEnv url("FEEDQUILL_UPDATE_URL", "http://127.0.0.1:1/mirror.txt");

    EXPECT_EQ(GetUpdateInfoUrl(), "http://127.0.0.1:1/mirror.txt");
}

} // anonymous namespace
