#include "ui/aboutboxdlg.h"

#include "base/buildinfo.h"
#include "base/launcher.h"
#include "base/datafolders.h"

#include <wx/convauto.h>
#include <wx/datetime.h>
#include <wx/ffile.h>
#include <wx/html/htmlwin.h>
#include <wx/settings.h>
#include <wx/sizer.h>

wxIMPLEMENT_CLASS(AboutBoxDlg, wxDialog);

wxBEGIN_EVENT_TABLE(AboutBoxDlg, wxDialog)
    EVT_HTML_LINK_CLICKED(ID_ABOUT_HTML, AboutBoxDlg::OnLinkClicked)
wxEND_EVENT_TABLE()

AboutBoxDlg::AboutBoxDlg(wxWindow* parent, const wxString& title, wxWindowID id,
                         const wxPoint& pos, const wxSize& size, long style)
    : m_htmlWindow(nullptr)
{
    wxDialog::Create(parent, id, title, pos, size, style, "dialog");
    CreateControls();
    Centre(wxBOTH);
}

AboutBoxDlg::~AboutBoxDlg() = default;

void AboutBoxDlg::CreateControls()
{
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    SetSizer(sizer);
    m_htmlWindow = new wxHtmlWindow(this, ID_ABOUT_HTML, wxDefaultPosition, wxDefaultSize,
                                    wxHW_NO_SELECTION | wxNO_BORDER | wxFULL_REPAINT_ON_RESIZE,
                                    "htmlWindow");
    sizer->Add(m_htmlWindow, 1, wxEXPAND | wxALL, 0);
    LoadAboutPage();
    m_htmlWindow->Bind(wxEVT_CHAR, &AboutBoxDlg::OnHtmlChar, this);
}

wxString AboutBoxDlg::ExpandAboutPage(const wxString& page, const wxString& logoPath, int year)
{
    wxString html = page;
    html.Replace("%Logo%", logoPath, true);
    html.Replace("%Ver%", FEEDQUILL_VERSION_TEXT, true);
    html.Replace("%Date%", FEEDQUILL_RELEASE_DATE, true);
    html.Replace("%RavelnoteLink%", FEEDQUILL_OTHER_PRODUCT_SITE "/?s=fqa", true);
    html.Replace("%HomeLink%", FEEDQUILL_SITE "/?src=fqa", true);
    html.Replace("%ContactUsLink%", FEEDQUILL_SITE "/contact-form/?src=fqa", true);
    html.Replace("%Year%", year > 2007 ? wxString::Format(" - %i", year) : wxString(), true);
    return html;
}

int AboutBoxDlg::GetReleaseYear()
{
    wxDateTime date;
    wxString::const_iterator end;
    if ( !date.ParseFormat(FEEDQUILL_RELEASE_DATE, "%B %d, %Y", wxDateTime(time_t(0)), &end) )
        return 0;
    return date.GetYear();
}

wxString AboutBoxDlg::ExpandColours(const wxString& page, const wxColour& background,
                                    const wxColour& text, const wxColour& link)
{
    const auto halfway = [&](unsigned char from, unsigned char to)
    {
        return static_cast<unsigned char>((from + to) / 2);
    };
    const wxColour muted(halfway(text.Red(), background.Red()),
                         halfway(text.Green(), background.Green()),
                         halfway(text.Blue(), background.Blue()));
    wxString html = page;
    html.Replace("%Background%", background.GetAsString(wxC2S_HTML_SYNTAX), true);
    html.Replace("%Text%", text.GetAsString(wxC2S_HTML_SYNTAX), true);
    html.Replace("%Link%", link.GetAsString(wxC2S_HTML_SYNTAX), true);
    html.Replace("%Muted%", muted.GetAsString(wxC2S_HTML_SYNTAX), true);
    return html;
}

void AboutBoxDlg::LoadAboutPage()
{
    const wxString artDir = GetArtDir();
    wxFFile file(artDir + "about.html", "r");
    if ( !file.IsOpened() )
        return;
    wxString page;
    file.ReadAll(&page, wxConvAuto());
    file.Close();
    // Light or dark as the desktop is: GTK's link colour is read where wx offers it.
    const wxColour background = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW);
    const wxColour text = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT);
    const wxColour link = wxSystemSettings::GetColour(wxSYS_COLOUR_HOTLIGHT);
    m_htmlWindow->SetBackgroundColour(background);
    m_htmlWindow->SetPage(ExpandColours(ExpandAboutPage(page, artDir + "logo.bmp",
                                                        GetReleaseYear()),
                                        background, text, link));
}

void AboutBoxDlg::OnLinkClicked(wxHtmlLinkEvent& event)
{
    const wxString href = event.GetLinkInfo().GetHref();
    if ( href == "close" )
        Close();
    else
        Launcher::Get()->OpenBrowser(href);
}

void AboutBoxDlg::OnHtmlChar(wxKeyEvent& event)
{
    const int key = event.GetKeyCode();
    if ( key == WXK_RETURN || key == WXK_ESCAPE )
        Close();
    else
        event.Skip();
}
