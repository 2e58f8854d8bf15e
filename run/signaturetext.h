#ifndef FEEDQUILL_RUN_SIGNATURETEXT_H
#define FEEDQUILL_RUN_SIGNATURETEXT_H

#include <wx/string.h>

// Whether a signature file is HTML (".html" or ".htm"), in which the title and link must stay
// text, whatever characters they hold.
bool IsHtmlSignature(const wxString& path);

// The signature as the update run writes it to path: the template with "%title%" and "%link%"
// replaced, HTML-escaped for an HTML signature file.
wxString MakeSignatureText(const wxString& templateText, const wxString& title,
                           const wxString& link, const wxString& path);

#endif
