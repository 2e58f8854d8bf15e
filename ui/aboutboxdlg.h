#ifndef FEEDQUILL_UI_ABOUTBOXDLG_H
#define FEEDQUILL_UI_ABOUTBOXDLG_H

#include <wx/dialog.h>

class wxColour;
class wxHtmlWindow;
class wxHtmlLinkEvent;

// The identifier of the about page's HTML window.
const int ID_ABOUT_HTML = 10001;

// The about box: a borderless dialog showing "about.html" from the art folder, with the
// version, date and web addresses filled in. Its "close" link, Enter and Escape close it;
// every other link opens in the browser.
class AboutBoxDlg : public wxDialog
{
public:
    AboutBoxDlg(wxWindow* parent, const wxString& title, wxWindowID id, const wxPoint& pos,
                const wxSize& size, long style);
    ~AboutBoxDlg() override;

    void CreateControls();
    void LoadAboutPage();

    wxHtmlWindow* GetHtmlWindow() const { return m_htmlWindow; }

    // The about page's template with its macros replaced, for the given current year.
    static wxString ExpandAboutPage(const wxString& page, const wxString& logoPath, int year);
    // The year of the release date, which ends the copyright's range: the page shows one date.
    static int GetReleaseYear();
    // The page's colours, taken from the desktop's theme: "%Background%", "%Text%", "%Link%"
    // and "%Muted%" (the text half-way towards the background) as #RRGGBB.
    static wxString ExpandColours(const wxString& page, const wxColour& background,
                                  const wxColour& text, const wxColour& link);

private:
    void OnLinkClicked(wxHtmlLinkEvent& event);
    void OnHtmlChar(wxKeyEvent& event);

    wxHtmlWindow* m_htmlWindow;

    wxDECLARE_CLASS(AboutBoxDlg);
    wxDECLARE_EVENT_TABLE();
};

#endif
