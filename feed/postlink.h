#ifndef FEEDQUILL_FEED_POSTLINK_H
#define FEEDQUILL_FEED_POSTLINK_H

#include <wx/string.h>

class wxXmlNode;

// Whether a link begins with a scheme ("https:", "mailto:", "tag:"), so that it is complete.
bool HasScheme(const wxString& link);

// Resolves a relative reference against a base address (RFC 3986, section 5), keeping its query
// and fragment as written. A reference with a scheme, or an empty base, gives the reference.
wxString ResolveReference(const wxString& base, const wxString& reference);

// A post's link as its feed means it: resolved against the xml:base attributes of the element
// that holds it and of that element's ancestors, each relative to the one above it, and at the
// top against the address the document came from (empty when not known).
wxString ResolvePostLink(const wxXmlNode& element, const wxString& link,
                         const wxString& documentAddress);

#endif
