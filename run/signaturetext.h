#ifndef FEEDQUILL_RUN_SIGNATURETEXT_H
#define FEEDQUILL_RUN_SIGNATURETEXT_H

#include <wx/string.h>

#include <string>

class Project;

// Whether a signature file is HTML (".html" or ".htm", in any letter case), in which the
// post's texts must stay text, whatever characters they hold.
bool IsHtmlSignature(const wxString& path);

// Text as HTML shows it: & < > " and ' escaped.
wxString EscapeHtml(const wxString& text);

// The signature as the update run writes it to path: templateText with its macros expanded
// from the project's stored post, HTML-escaped (& < > " ') for an HTML signature file.
wxString MakeSignatureText(const wxString& templateText, const Project& project,
                           const wxString& path);

// Why the stored post cannot go into the signature at path, in words; empty when it can. An
// HTML signature carries web links only: a "javascript:" or "data:" link would run or show
// whatever the feed's author chose in the reader's mail program.
wxString RefuseSignatureLink(const wxString& templateText, const Project& project,
                             const wxString& path);

// The signature's bytes: UTF-8, which mail programs read, unless the locale chose another
// encoding (the C and POSIX locales choose none). There a character the encoding cannot hold
// is written as "?" and counted in replaced, rather than the whole file changing its encoding
// unseen. codeset names the encoding used.
std::string EncodeSignature(const wxString& text, wxString& codeset, size_t& replaced);

#endif
