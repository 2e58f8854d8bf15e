// A run whose standard error systemd connected to the journal marks each line with its
// priority; anywhere else its output stays as it is.

#include "fixtureserver.h"
#include "testenv.h"

#include <wx/filename.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace
{

enum Streams
{
    TERMINAL,          // no JOURNAL_STREAM
    OTHER_JOURNAL,     // JOURNAL_STREAM names a stream that is not standard error
    JOURNAL,           // standard error is the journal, standard output a file
    JOURNAL_BOTH       // standard output and standard error are the same journal stream
};

// Runs the program under sh, which points JOURNAL_STREAM at the file that receives standard
// error (its device and inode, as systemd gives them) when streams says so.
ProgramRun RunWith(Streams streams, const std::string& args, const TempDir& home)
{
    std::string script;
    switch ( streams )
    {
        case TERMINAL:
            script = "unset JOURNAL_STREAM; ";
            break;
        case OTHER_JOURNAL:
            script = "export JOURNAL_STREAM=$(stat -L -c %d:%i /dev/null); ";
            break;
        case JOURNAL_BOTH:
            script = "exec 1>&2; ";
            [[fallthrough]];
        case JOURNAL:
            script += "export JOURNAL_STREAM=$(stat -L -c %d:%i /dev/stderr); ";
            break;
    }
    script += "exec \"$0\" " + args;
    return RunProgram("-c '" + script + "' '" + ProgramUnderTest() + "'", home.GetPath(), {},
                      "sh");
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for ( std::string line; std::getline(in, line); )
        lines.push_back(line);
    return lines;
}

// Whether every line of text begins with prefix; false for no text at all.
bool EveryLineBegins(const std::string& text, const std::string& prefix)
{
    const std::vector<std::string> lines = Lines(text);
    for ( const std::string& line : lines )
    {
        if ( line.rfind(prefix, 0) != 0 )
            return false;
    }
    return !lines.empty();
}

} // anonymous namespace

TEST(JournalPrefix, ErrorLinesCarryPriorityThreeOnlyInTheJournal)
{
    const struct
    {
        Streams streams;
        const char* args;
        const char* firstLine;
    } cases[] =
    {
        // No feed address: error 11.
        { TERMINAL, "-q", "Error #11 while processing your feed" },
        { OTHER_JOURNAL, "-q", "Error #11 while processing your feed" },
        { JOURNAL, "-q", "<3>Error #11 while processing your feed" },
        // A message of two lines: no window without a display.
        { TERMINAL, "", "Feedquill cannot open its window: no display is available" },
        { JOURNAL, "", "<3>Feedquill cannot open its window: no display is available" },
    };
    for ( const auto& c : cases )
    {
        TempDir home;
        const ProgramRun run = RunWith(c.streams, c.args, home);
        SCOPED_TRACE(run.err);
        EXPECT_EQ(run.status, 1);
        ASSERT_FALSE(Lines(run.err).empty());
        EXPECT_EQ(Lines(run.err)[0].rfind(c.firstLine, 0), 0u);
        if ( c.streams == JOURNAL )
            EXPECT_TRUE(EveryLineBegins(run.err, "<3>"));
        else
            EXPECT_EQ(run.err.find("<3>"), std::string::npos);
    }
}

TEST(JournalPrefix, InformationCarriesPrioritySixWhereItGoesToTheJournal)
{
    FixtureServer server;
    ASSERT_TRUE(server.IsOk());
    server.Serve("/feed", FixtureServer::Response(200,
        "<rss><channel><item><title>Post</title><link>http://blog.example/post</link>"
        "</item></channel></rss>"));
    // Where standard output is not the journal's stream, it is left alone.
    const Streams cases[] = { TERMINAL, JOURNAL, JOURNAL_BOTH };
    for ( const Streams streams : cases )
    {
        TempDir home;
        ASSERT_TRUE(wxFileName::Mkdir(home.File(".feedquill/SignatureTemplates"),
                                      wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL));
        WriteBytes(home.File(".feedquill/Feedquill.cfg"),
                   "[project/default]\nFeedURL=" + server.Url("/feed") + "\nFilePath="
                   + std::string(home.File("sig").fn_str())
                   + "\n[updates]\nCCheckForUpdates=0\n");
        WriteBytes(home.File(".feedquill/SignatureTemplates/default.txt"), "%title% %link%");
        const ProgramRun run = RunWith(streams, "-c", home);
        SCOPED_TRACE(run.out + run.err);
        EXPECT_EQ(run.status, 0);
        const std::vector<std::string> lines = Lines(streams == JOURNAL_BOTH ? run.err : run.out);
        ASSERT_EQ(lines.size(), 3u);
        if ( streams == JOURNAL_BOTH )
        {
            EXPECT_EQ(lines[0], "<6>Updated successfully:");
            EXPECT_EQ(lines[1], "<6> Title : Post");
            EXPECT_EQ(lines[2], "<6> Link: http://blog.example/post");
        }
        else
        {
            EXPECT_EQ(lines[0], "Updated successfully:");
            EXPECT_EQ(lines[1], " Title : Post");
            EXPECT_EQ(run.err, "");
        }
    }
}
