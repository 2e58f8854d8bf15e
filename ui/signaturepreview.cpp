#include "ui/signaturepreview.h"

#include "project/project.h"
#include "run/signaturetext.h"

#include <wx/arrstr.h>
#include <wx/textctrl.h>

SignaturePreview::SignaturePreview(wxWindow* parent, wxTextCtrl* templateCtrl)
    : wxHtmlWindow(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                   wxHW_SCROLLBAR_AUTO | wxBORDER_THEME),
      m_templateCtrl(templateCtrl)
{
    // The desktop's own size, not wxHtmlWindow's smaller one.
    SetStandardFonts(GetFont().GetPointSize());
    SetMinSize(wxSize(-1, 5 * GetCharHeight()));
    m_templateCtrl->Bind(wxEVT_TEXT, [this](wxCommandEvent& event)
    {
        event.Skip();
        ShowSignature();
    });
    // The title, link and file change through the window's commands: look again when idle.
    Bind(wxEVT_UPDATE_UI, [this](wxUpdateUIEvent&) { ShowSignature(); });
    ShowSignature();
}

wxString SignaturePreview::MakeSource() const
{
    if ( g_project.m_lastTitle.empty() && g_project.m_lastLink.empty() )
    {
        return "<p><i>" + EscapeHtml(_("No post has been read yet. Once the feed has been "
                                          "read (Get Data), your signature shows here as it "
                                          "will be written."))
               + "</i></p>";
    }
    const wxString text = MakeSignatureText(m_templateCtrl->GetValue(), g_project,
                                            g_project.m_filePath);
    // An HTML signature is shown as a mail program shows it; any other as the text it is.
    if ( IsHtmlSignature(g_project.m_filePath) )
        return text;
    // Line by line, so that long lines wrap; indentation stays.
    wxString page;
    for ( const wxString& line : wxSplit(text, '\n', '\0') )
    {
        const size_t indent = line.find_first_not_of(' ');
        const size_t blanks = indent == wxString::npos ? line.length() : indent;
        wxString shown;
        for ( size_t i = 0; i < blanks; ++i )
            shown += "&nbsp;";
        shown += EscapeHtml(line.substr(blanks));
        // An empty line keeps its height, as it does in the file.
        page += (page.empty() ? "" : "<br>") + (shown.empty() ? "&nbsp;" : shown);
    }
    return "<p>" + page + "</p>";
}

void SignaturePreview::ShowSignature()
{
    const wxString source = MakeSource();
    if ( source == m_source )
        return;
    m_source = source;
    SetPage(m_source);
}
