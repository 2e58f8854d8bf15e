#ifndef FEEDQUILL_FEED_FEEDDISCOVERY_H
#define FEEDQUILL_FEED_FEEDDISCOVERY_H

#include <wx/string.h>

#include <cstddef>
#include <string>
#include <vector>

// One feed that a web page names in its head.
struct FeedLink
{
    wxString url;    // resolved against the page
    wxString title;
};

// Finds the feeds an HTML page names in its head, the way browsers offer them:
// <link rel="alternate" type="application/rss+xml" (or atom+xml) href="...">. It reads the page
// as it arrives and wants no more once the head is over (</head> or the first <body>), or once
// the answer turns out not to be an HTML page at all.
class FeedLinkScanner
{
public:
    // Takes the next bytes of the answer; false once nothing more is wanted.
    bool Feed(const char* data, std::size_t size);
    // Whether the answer was seen to be an HTML page.
    bool IsHtml() const { return m_state != NOT_HTML && m_state != UNDECIDED; }
    // The feeds named so far, in the page's order, resolved against pageUrl (or the page's
    // own <base href>); links that give no http or https address are left out.
    std::vector<FeedLink> GetFeeds(const std::string& pageUrl) const;

private:
    enum State { UNDECIDED, IN_HEAD, HEAD_OVER, NOT_HTML };
    struct Tag
    {
        std::string name;  // lower case; "/head" for an end tag
        std::vector<std::pair<std::string, std::string>> attributes;  // names in lower case
    };

    // Reads the complete tags in m_text from m_pos on; false when one is still cut off.
    bool ScanNext();
    void TakeTag(const Tag& tag);

    State m_state = UNDECIDED;
    std::string m_text;
    std::size_t m_pos = 0;
    std::string m_skipUntil;  // the end tag of a script or style being skipped
    std::string m_base;
    struct RawLink
    {
        std::string href;
        std::string title;
    };
    std::vector<RawLink> m_links;
};

// The feed to read of those a page names: the first, unless it is a comments feed and a feed
// of posts is named as well.
bool ChooseFeedLink(const std::vector<FeedLink>& links, FeedLink& chosen);

// Whether an address begins with a scheme and "//" ("https://"); people often type only the
// host, and "blog.example:8080" is a host with its port.
bool StartsWithScheme(const wxString& address);

#endif
