#ifndef FEEDQUILL_RUN_POSTMACROS_H
#define FEEDQUILL_RUN_POSTMACROS_H

#include <wx/string.h>

#include <functional>

class FeedReader;
class Project;

// The template's macros: "%title%", "%link%", "%date%", "%summary%", "%author%",
// "%feedtitle%" and "%feedlink%", in that letter case. A text macro (all but the two links)
// takes a length, "%title:60%": a longer text is cut at a word boundary and ends with "…".
// Anything else between percent signs stays as written.

// How a value goes into the signature: unchanged for a text file, escaped for HTML.
using MacroEscaper = std::function<wxString(const wxString&)>;

// The template with every macro replaced by the project's stored post: first all but
// "%link%", then "%link%" over the result, so that a title holding "%link%" shows the link
// there, as it always has; no other value that holds a macro's name is expanded again. Links go through escapeLink, the other
// values through escapeText; either may be empty (unchanged).
wxString ExpandMacros(const wxString& text, const Project& project,
                      const MacroEscaper& escapeText = {}, const MacroEscaper& escapeLink = {});

// A stored "LastDate" as the user's locale writes a date in short form, in the local time
// zone; empty when none is stored or it cannot be read.
wxString FormatLocalDate(const wxString& stored);

// Takes the post's date, summary and author and the feed's title and link from a reader that
// read a document (not a 304, which keeps what is stored).
void TakePostDetails(Project& project, const FeedReader& reader);
// Writes them to the project's group, leaving out those that are empty.
void StorePostDetails(const Project& project);

#endif
