#ifndef FEEDQUILL_FEED_HTMLENTITIES_H
#define FEEDQUILL_FEED_HTMLENTITIES_H

#include <wx/string.h>

#include <string>

// HTML's character references: every named one (htmlentities.inc) and the numeric ones.

// Decodes the reference that starts at text[pos] ('&') the way a browser does in text: the
// longest known name (the older ones also without ';'), or a decimal or hexadecimal number,
// with the replacements HTML makes for C1 codes, 0, surrogates and numbers beyond Unicode.
// On success appends the text, moves pos past the reference and returns true; else leaves both.
bool DecodeHtmlReference(const wxString& text, size_t& pos, wxString& out);

// The text, in UTF-8, of a name that the HTML 4 and XHTML 1 entity sets (lat1, symbol, special)
// define, given as it stands in "&name;"; false for any other name.
bool LookUpHtmlDtdEntity(const std::string& name, std::string& utf8);

#endif
