#ifndef FEEDQUILL_UI_SIGNATUREPREVIEW_H
#define FEEDQUILL_UI_SIGNATUREPREVIEW_H

#include <wx/html/htmlwin.h>

class wxTextCtrl;

// Shows the signature exactly as the next update writes it: the template being edited with the
// stored title and link, escaped for an HTML signature file and then shown rendered, or as
// plain text for any other file. It follows the typing, and says so when no post is stored.
class SignaturePreview : public wxHtmlWindow
{
public:
    SignaturePreview(wxWindow* parent, wxTextCtrl* templateCtrl);

    // Shows the signature again when the template, the post or the file has changed.
    void ShowSignature();
    // The page shown, as HTML.
    const wxString& GetSource() const { return m_source; }

private:
    wxString MakeSource() const;

    wxTextCtrl* m_templateCtrl;
    wxString m_source;
};

#endif
