#ifndef FEEDQUILL_UI_ABOUTBOXDLG_H
#define FEEDQUILL_UI_ABOUTBOXDLG_H

#include <wx/dialog.h>

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

private:
    void OnLinkClicked(wxHtmlLinkEvent& event);
    void OnHtmlChar(wxKeyEvent& event);

    wxHtmlWindow* m_htmlWindow;

    wxDECLARE_CLASS(AboutBoxDlg);
    wxDECLARE_EVENT_TABLE();
};

#endif
