// What a newcomer meets: the address checked before it is stored, the signature previewed
// before it is written, and the next step in the status line.

#include "uitest.h"

#include "fixtureserver.h"
#include "project/project.h"
#include "ui/firststeps.h"
#include "ui/signaturepreview.h"

#include <wx/config.h>
#include <wx/textctrl.h>

#include <gtest/gtest.h>

namespace
{

SignaturePreview* FindPreview(wxWindow* frame)
{
    for ( wxWindow* child : frame->FindWindow(ID_PANEL)->GetChildren() )
    {
        if ( auto* preview = dynamic_cast<SignaturePreview*>(child) )
            return preview;
    }
    return nullptr;
}

} // anonymous namespace

using FirstRun = FrameTest;

TEST_F(FirstRun, PreviewShowsTheSignatureAsItWillBeWrittenAndFollowsTyping)
{
    MakeFrame();
    SignaturePreview* preview = FindPreview(m_frame);
    ASSERT_TRUE(preview);
    EXPECT_TRUE(preview->GetSource().Contains("No post has been read yet")) << preview->GetSource();

    g_project.m_lastTitle = "Fish & <Chips>";
    g_project.m_lastLink = "http://blog.example/?a=1&b=2";
    const struct
    {
        const char* file;
        const char* typed;
        const char* source;
        const char* shown;
    } cases[] = {
        { "/tmp/sig.txt", "<b>%title%</b>\n  %link%",
          "<p>&lt;b&gt;Fish &amp; &lt;Chips&gt;&lt;/b&gt;<br>&nbsp;&nbsp;"
          "http://blog.example/?a=1&amp;b=2</p>",
          "<b>Fish & <Chips></b>\n  http://blog.example/?a=1&b=2" },
        { "/tmp/sig.html", "<b>%title%</b> <a href=\"%link%\">%link%</a>",
          "<b>Fish &amp; &lt;Chips&gt;</b> <a href=\"http://blog.example/?a=1&amp;b=2\">"
          "http://blog.example/?a=1&amp;b=2</a>",
          "Fish & <Chips> http://blog.example/?a=1&b=2" },
    };
    for ( const auto& c : cases )
    {
        g_project.m_filePath = c.file;
        // Typed, not yet saved: the preview follows the editor at once.
        m_frame->GetTemplateCtrl()->SetValue(c.typed);
        EXPECT_EQ(preview->GetSource(), c.source) << c.file;
        wxString shown = preview->ToText();
        shown.Replace(wxString(wxUniChar(0xa0)), " ");
        EXPECT_EQ(shown.Trim(true).Trim(false), c.shown) << c.file;
    }
    // The title and link change through commands; the preview sees them when idle.
    g_project.m_lastTitle = "Next";
    m_frame->UpdateWindowUI(wxUPDATE_UI_RECURSE);
    EXPECT_TRUE(preview->GetSource().StartsWith("<b>Next</b>")) << preview->GetSource();
}

TEST_F(FirstRun, StatusLineAndHintSayWhatToDoNext)
{
    MakeFrame();
    const wxString step1 = m_frame->GetStatusBar()->GetStatusText();
    EXPECT_TRUE(step1.StartsWith("Start here")) << step1;
    EXPECT_EQ(Find<wxTextCtrl>(ID_FEED_URL)->GetHint(),
              "Your blog's address, such as blog.example.com");

    const wxString signature = m_dir.File("sig.txt");
    const struct
    {
        const char* url;
        wxString file;
        const char* title;
        bool written;
        const char* step;
    } cases[] = {
        { "", "", "", false, "Start here" },
        { "http://blog.example/", "", "", false, "Next: press \"...\" beside the file field" },
        { "http://blog.example/", signature, "", false, "Next: edit the template" },
        { "http://blog.example/", signature, "Post", false, "Next: check the preview" },
        { "http://blog.example/", signature, "Post", true, "" },
    };
    for ( const auto& c : cases )
    {
        g_project.m_feedURL = c.url;
        g_project.m_filePath = c.file;
        g_project.m_lastTitle = c.title;
        if ( c.written )
            WriteBytes(signature, "Post");
        EXPECT_TRUE(GetNextStep(g_project).StartsWith(c.step)) << GetNextStep(g_project);
        EXPECT_EQ(GetNextStep(g_project).empty(), *c.step == '\0');
    }
}

TEST_F(FirstRun, AddressDialogFindsTheFeedOfABlogsPageBeforeStoringIt)
{
    FixtureServer server;
    server.Serve("/feed/", FixtureServer::Response(200,
        "<rss><channel><item><title>Hello world</title><link>http://blog.example/hello</link>"
        "</item></channel></rss>"));
    server.Serve("/", FixtureServer::Response(200,
        "<!DOCTYPE html><html><head><link rel=\"alternate\" type=\"application/rss+xml\" "
        "title=\"Comments Feed\" href=\"/comments/feed/\"><link rel=\"alternate\" "
        "type=\"application/rss+xml\" title=\"Feed\" href=\"/feed/\"></head><body></body>"
        "</html>"));
    server.Serve("/plain", FixtureServer::Response(200, "<!DOCTYPE html><html><head></head>"));
    MakeFrame();

    auto outcome = std::make_shared<AddressOutcome>();
    wxTEST_DIALOG(Command(wxEVT_BUTTON, ID_ENTER_URL),
                  ExpectAddress(" " + server.Url("/") + " ", wxID_OK, outcome));
    ASSERT_TRUE(outcome->finished);
    EXPECT_EQ(outcome->field, server.Url("/feed/"));
    EXPECT_TRUE(outcome->outcome.Contains("Newest post: Hello world")) << outcome->outcome;
    EXPECT_TRUE(outcome->outcome.Contains("The page " + server.Url("/") + " names this feed"))
        << outcome->outcome;
    EXPECT_EQ(g_project.m_feedURL, server.Url("/feed/"));
    EXPECT_EQ(g_project.m_lastTitle, "Hello world");
    EXPECT_EQ(Find<wxTextCtrl>(ID_LAST_TITLE)->GetValue(), "Hello world");
    ReopenConfig();
    EXPECT_EQ(wxConfigBase::Get()->Read("/project/default/FeedURL", ""), server.Url("/feed/"));
    EXPECT_EQ(wxConfigBase::Get()->Read("/project/default/LastTitle", ""), "Hello world");

    // A page that names no feed: the dialog says why, and Cancel keeps the old address.
    wxTEST_DIALOG(Command(wxEVT_BUTTON, ID_ENTER_URL),
                  ExpectAddress(server.Url("/plain"), wxID_CANCEL, outcome));
    EXPECT_TRUE(outcome->outcome.StartsWith("Error #15 while processing your feed\n"
                                            "This is an HTML page, not an RSS or Atom feed"))
        << outcome->outcome;
    EXPECT_EQ(g_project.m_feedURL, server.Url("/feed/"));
}
