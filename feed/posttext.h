#ifndef FEEDQUILL_FEED_POSTTEXT_H
#define FEEDQUILL_FEED_POSTTEXT_H

#include <wx/string.h>

class wxXmlNode;

// Turning what a feed says about a post into text fit for a signature.

// The text and CDATA directly inside an element, joined.
wxString GetElementText(const wxXmlNode& element);
// All text inside an element, at any depth, joined (an Atom title of type "xhtml").
wxString GetDescendantText(const wxXmlNode& element);
// Escaped markup as plain text: tags dropped, character references decoded as HTML decodes
// them (an Atom title of type "html").
wxString HtmlToText(const wxString& html);
// One line of text: surrounding white space trimmed, runs of white space inside made one
// blank, other control characters (C0, DEL, C1) dropped, so that no feed can drive a
// terminal or break a signature's lines.
wxString CleanTitle(const wxString& title);
// At most maxLength characters of text: a longer text is cut at the last word boundary that
// leaves room for "…" and ends with it (in the middle of a word only when its first word is too
// long already).
wxString ShortenText(const wxString& text, size_t maxLength);
// A link without surrounding white space and without any control character.
wxString CleanLink(const wxString& link);

#endif
