// The about box, and pictures of the windows for people to look at.

#include "uitest.h"

#include "ui/aboutboxdlg.h"

#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/ffile.h>
#include <wx/filename.h>
#include <wx/regex.h>
#include <wx/html/htmlwin.h>
#include <wx/image.h>

#include <gtest/gtest.h>

#include <memory>

namespace
{

// Saves what a window shows as a PNG file and tells whether it shows more than one colour.
bool SaveScreenshot(wxWindow* window, const wxString& name)
{
    window->Raise();
    window->Update();
    for ( int i = 0; i < 20; ++i )
        wxTheApp->Yield(true);
    const wxSize size = window->GetClientSize();
    wxBitmap bitmap(size);
    {
        wxClientDC screen(window);
        wxMemoryDC memory(bitmap);
        memory.Blit(0, 0, size.x, size.y, &screen, 0, 0);
    }
    wxImage image = bitmap.ConvertToImage();
    wxFileName::Mkdir(FEEDQUILL_SCREENSHOT_DIR, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    if ( !wxImage::FindHandler(wxBITMAP_TYPE_PNG) )
        wxImage::AddHandler(new wxPNGHandler);
    image.SaveFile(wxString(FEEDQUILL_SCREENSHOT_DIR "/") + name, wxBITMAP_TYPE_PNG);

    const unsigned char* data = image.GetData();
    const size_t bytes = static_cast<size_t>(size.x) * size.y * 3;
    for ( size_t i = 3; i < bytes; ++i )
    {
        if ( data[i] != data[i % 3] )
            return true;
    }
    return false;
}

} // anonymous namespace

// Looks at the about box while it is shown, then closes it through its "close" link.
template <>
class wxExpectModal<AboutBoxDlg> : public wxExpectModalBase<AboutBoxDlg>
{
public:
    explicit wxExpectModal(std::shared_ptr<wxString> page)
        : m_page(std::move(page))
    {
    }

protected:
    int OnInvoked(AboutBoxDlg* dialog) const override
    {
        *m_page = dialog->GetHtmlWindow()->ToText();
        dialog->Show();
        SaveScreenshot(dialog, "about-box.png");
        dialog->Hide();
        return wxID_CANCEL;
    }

    std::shared_ptr<wxString> m_page;
};

TEST(AboutPage, ReplacesEveryMacroWhereverItStands)
{
    const wxString page = "%Ver%/%Ver% %Date% %Logo% %HomeLink% %ContactUsLink% "
                          "%RavelnoteLink% 2007%Year% %ver%";
    const wxString html = AboutBoxDlg::ExpandAboutPage(page, "/opt/art/logo.bmp", 2026);
    EXPECT_TRUE(html.StartsWith("1.0/1.0 November 06, 2007 /opt/art/logo.bmp http://"));
    EXPECT_NE(html.find("/?src=fqa "), wxString::npos);
    EXPECT_NE(html.find("/contact-form/?src=fqa "), wxString::npos);
    EXPECT_NE(html.find("/?s=fqa "), wxString::npos);
    EXPECT_TRUE(html.EndsWith(" 2007 - 2026 %ver%")) << html;
    EXPECT_EQ(html.find("%Ver%"), wxString::npos);

    EXPECT_EQ(AboutBoxDlg::ExpandAboutPage("2007%Year%.", "", 2007), "2007.");
    EXPECT_EQ(AboutBoxDlg::ExpandAboutPage("2007%Year%.", "", 2008), "2007 - 2008.");
}

using AboutBox = FrameTest;

TEST_F(AboutBox, ShowsTheShippedPageFromTheAboutCommand)
{
    MakeFrame();
    auto page = std::make_shared<wxString>();
    wxTEST_DIALOG(Command(wxEVT_MENU, wxID_ABOUT), wxExpectModal<AboutBoxDlg>(page));
    EXPECT_NE(page->find("Feedquill"), wxString::npos) << *page;
    EXPECT_NE(page->find("1.0"), wxString::npos);
    // One date: the release's, which the copyright's range ends in too, whatever the clock.
    EXPECT_NE(page->find("(November 06, 2007)"), wxString::npos) << *page;
    EXPECT_NE(page->find("2007 Tarnwick"), wxString::npos) << *page;
    EXPECT_EQ(page->find('%'), wxString::npos) << *page;
}

TEST(AboutPage, ColoursComeFromTheDesktopsTheme)
{
    const wxString html = AboutBoxDlg::ExpandColours(
        "%Background% %Text% %Link% %Muted%", wxColour(0x20, 0x20, 0x20),
        wxColour(0xEE, 0xEE, 0xEE), wxColour(0x78, 0xAE, 0xED));
    EXPECT_EQ(html, "#202020 #EEEEEE #78AEED #878787");
    EXPECT_EQ(AboutBoxDlg::GetReleaseYear(), 2007);

    // The shipped page names no colour of its own, which a dark theme would not match.
    wxString page;
    wxFFile file(FEEDQUILL_SOURCE_DIR "/art/about.html", "r");
    ASSERT_TRUE(file.ReadAll(&page));
    wxRegEx colour("(color|bgcolor|text|link)=\"([^\"]*)\"");
    int count = 0;
    while ( colour.Matches(page) )
    {
        const wxString value = colour.GetMatch(page, 2);
        EXPECT_TRUE(value.StartsWith("%") && value.EndsWith("%")) << colour.GetMatch(page, 0);
        size_t start, length;
        colour.GetMatch(&start, &length, 0);
        page = page.substr(start + length);
        ++count;
    }
    EXPECT_GE(count, 4);
}

TEST_F(AboutBox, CloseLinkAndKeysCloseItOtherLinksOpenTheBrowser)
{
    MakeFrame();
    AboutBoxDlg dialog(m_frame, "About", wxID_ANY, wxDefaultPosition, wxSize(540, 370),
                       wxNO_BORDER);
    wxHtmlWindow* html = dialog.GetHtmlWindow();
    auto click = [&](const wxString& href)
    {
        dialog.Show();
        wxHtmlLinkInfo info(href);
        wxHtmlLinkEvent event(ID_ABOUT_HTML, info);
        event.SetEventObject(html);
        html->GetEventHandler()->ProcessEvent(event);
    };
    click("Close");
    EXPECT_TRUE(dialog.IsShown());
    click("http://feedquill.example/?src=fqa");
    EXPECT_TRUE(dialog.IsShown());
    ASSERT_EQ(m_launcher.m_urls.size(), 2u);
    EXPECT_EQ(m_launcher.m_urls[0], "Close");
    click("close");
    EXPECT_FALSE(dialog.IsShown());
    EXPECT_EQ(m_launcher.m_urls.size(), 2u);

    for ( int key : { int('a'), int(WXK_DOWN), int(WXK_RETURN), int(WXK_ESCAPE) } )
    {
        dialog.Show();
        wxKeyEvent event(wxEVT_CHAR);
        event.m_keyCode = key;
        event.SetEventObject(html);
        html->GetEventHandler()->ProcessEvent(event);
        const bool closes = key == WXK_RETURN || key == WXK_ESCAPE;
        EXPECT_EQ(dialog.IsShown(), !closes) << key;
    }
}

TEST_F(AboutBox, MainWindowRenders)
{
    WriteBytes(GetConfigPath(), "[project/default]\nFeedURL=https://blog.example/feed.xml\n"
                                "FilePath=/home/me/.signature\nLastTitle=Hello, world\n"
                                "LastLink=https://blog.example/2026/12/hello-world\n");
    ReopenConfig();
    MakeFrame();
    EXPECT_TRUE(SaveScreenshot(m_frame, "main-window.png"));
}
