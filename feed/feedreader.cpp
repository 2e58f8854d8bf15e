#include "feed/feedreader.h"

#include "base/buildinfo.h"
#include "feed/posttext.h"

#include <wx/wxcrt.h>

#include <algorithm>
#include <cctype>

namespace
{

// Reads one RSS item; true when it has both a title and a link. A post's partial values never
// pair with another post's.
bool ReadRssItem(const wxXmlNode& item, wxString& title, wxString& link)
{
    title.clear();
    link.clear();
    for ( const wxXmlNode* child = item.GetChildren(); child; child = child->GetNext() )
    {
        if ( child->GetName() == "title" )
            title = CleanTitle(GetElementText(*child));
        else if ( child->GetName() == "link" )
            link = CleanLink(GetElementText(*child));
        if ( !title.empty() && !link.empty() )
            return true;
    }
    return false;
}

wxString ReadAtomTitle(const wxXmlNode& title)
{
    const wxString type = title.GetAttribute("type", "text");
    if ( type == "xhtml" )
        return CleanTitle(GetDescendantText(title));
    // "text/html" is how Atom 0.3 said it.
    if ( type == "html" || type == "text/html" )
        return CleanTitle(HtmlToText(GetElementText(title)));
    return CleanTitle(GetElementText(title));
}

// Reads one Atom entry. The link is the entry's first alternate one (no rel means alternate);
// only without any, its first link with an address: a Blogger entry starts with the
// comments feed's link.
bool ReadAtomEntry(const wxXmlNode& entry, wxString& title, wxString& link)
{
    title.clear();
    link.clear();
    wxString anyLink;
    for ( const wxXmlNode* child = entry.GetChildren(); child; child = child->GetNext() )
    {
        if ( child->GetName() == "title" && title.empty() )
            title = ReadAtomTitle(*child);
        else if ( child->GetName() == "link" )
        {
            const wxString href = CleanLink(child->GetAttribute("href", wxString()));
            if ( link.empty() && child->GetAttribute("rel", "alternate") == "alternate" )
                link = href;
            if ( anyLink.empty() )
                anyLink = href;
        }
    }
    if ( link.empty() )
        link = anyLink;
    return !title.empty() && !link.empty();
}

bool IsNamed(const wxXmlNode* node, const char* name)
{
    return node && node->GetName() == name;
}

// Whether an element that has just closed is a post: an RSS item in the channel, or an Atom
// entry in the feed.
bool IsRssItem(const wxXmlNode& element, int depth)
{
    const wxXmlNode* channel = element.GetParent();
    return depth == 3 && element.GetName() == "item" && IsNamed(channel, "channel")
           && IsNamed(channel->GetParent(), "rss");
}

bool IsAtomEntry(const wxXmlNode& element, int depth)
{
    return depth == 2 && element.GetName() == "entry" && IsNamed(element.GetParent(), "feed");
}

bool HasScheme(const wxString& link)
{
    const size_t colon = link.find(':');
    if ( colon == wxString::npos || colon == 0 || !wxIsalpha(link[0]) )
        return false;
    for ( size_t i = 1; i < colon; ++i )
    {
        const wxUniChar c = link[i];
        if ( !wxIsalnum(c) && c != '+' && c != '-' && c != '.' )
            return false;
    }
    return true;
}

// The request of every feed read; the transfer's defaults are a feed's limits. Tests shorten
// the time limits.
HttpOptions& FeedHttpOptions()
{
    static HttpOptions options = []
    {
        HttpOptions defaults;
        // "text/*" alone tells servers that negotiate content that a feed's own types are
        // unwanted.
        defaults.headers.push_back("Accept: application/rss+xml, application/atom+xml, "
                                   "application/xml;q=0.9, text/*;q=0.8");
        defaults.headers.push_back("User-Agent: Feedquill; " FEEDQUILL_SITE "/");
        return defaults;
    }();
    return options;
}

// Whether the answer starts as an HTML page does: a doctype or an <html> tag first, after
// white space and comments, whatever its case.
bool LooksLikeHtml(const std::string& head)
{
    std::string text;
    for ( char c : head )
        text += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    size_t at = text.compare(0, 3, "\xef\xbb\xbf") == 0 ? 3 : 0;
    for ( ;; )
    {
        at = text.find_first_not_of(" \t\r\n", at);
        if ( at == std::string::npos || text.compare(at, 4, "<!--") != 0 )
            break;
        at = text.find("-->", at);
        if ( at == std::string::npos )
            return false;
        at += 3;
    }
    return at != std::string::npos
           && (text.compare(at, 14, "<!doctype html") == 0 || text.compare(at, 5, "<html") == 0);
}

} // anonymous namespace

void FeedReader::SetTimeLimits(long connectSecs, long lowSpeedSecs, long totalSecs)
{
    HttpOptions& options = FeedHttpOptions();
    options.connectTimeoutSecs = connectSecs;
    options.lowSpeedTimeSecs = lowSpeedSecs;
    options.totalTimeoutSecs = totalSecs;
}

FeedReader::FeedReader(wxString url)
    : m_url(url),
      m_httpOptions(GetDefaultHttpOptions())
{
}

HttpOptions FeedReader::GetDefaultHttpOptions()
{
    return FeedHttpOptions();
}

int FeedReader::Read()
{
    int result = Fetch(m_url);
    if ( result == FEED_OK )
        result = ParseDocument();
    if ( result != FEED_OK && m_errorDetail.empty() )
        m_errorDetail = DescribeDocument(result);
    return result;
}

wxString FeedReader::DescribeDocument(int result) const
{
    const wxString url = m_baseUrl.empty() ? m_url : m_baseUrl;
    const wxXmlNode* root = m_doc.GetRoot();
    switch ( result )
    {
        case FEED_NOT_XML:
            if ( LooksLikeHtml(m_head) )
                return "This is an HTML page, not an RSS or Atom feed: " + url;
            if ( m_bodyBytes == 0 )
                return "The answer from " + url + " is empty";
            return wxString::Format("The answer from %s is not a feed Feedquill can read: %s",
                                    url, wxString::FromUTF8(m_problem));
        case FEED_NOT_A_FEED:
            if ( root && root->GetName().Lower() == "html" )
                return "This is an HTML page, not an RSS or Atom feed: " + url;
            return wxString::Format("This XML document is neither an RSS nor an Atom feed (its "
                                    "root element is <%s>): %s",
                                    root ? root->GetName() : wxString(), url);
        case FEED_NO_ENTRY:
            return "The Atom feed has no entry with both a title and a link: " + url;
        case FEED_NO_ITEM:
            return "The RSS feed has no item with both a title and a link: " + url;
        case HTTP_TOO_LARGE:
            return wxString::Format("The feed is larger than %s: %s",
                                    DescribeSize(m_httpOptions.maxBodySize), url);
    }
    return wxString();
}

FeedDocumentLoader::Stopper FeedReader::StartLoading()
{
    m_title.clear();
    m_link.clear();
    return [this](const wxXmlNode& element, int depth) { return TakeNewestPost(element, depth); };
}

bool FeedReader::TakeNewestPost(const wxXmlNode& element, int depth)
{
    wxString title;
    wxString link;
    const bool complete = (IsRssItem(element, depth) && ReadRssItem(element, title, link))
                          || (IsAtomEntry(element, depth) && ReadAtomEntry(element, title, link));
    if ( complete )
    {
        m_title = title;
        m_link = link;
    }
    return complete;
}

int FeedReader::Fetch(wxString url)
{
    HttpClient client(m_httpOptions);
    FeedDocumentLoader loader(m_doc, StartLoading());
    m_head.clear();
    m_bodyBytes = 0;
    const int result = client.Get(url, [&](const char* data, size_t size)
                                       {
                                           KeepHead(data, size);
                                           return loader.Feed(data, size);
                                       });
    m_baseUrl = wxString::FromUTF8(client.GetFinalUrl());
    if ( result != HTTP_OK )
    {
        // The reader knows the answer was a feed that grew too large; the client does not.
        if ( result != HTTP_TOO_LARGE )
            m_errorDetail = client.GetErrorDetail();
        return result;
    }
    loader.Finish();
    m_problem = loader.GetProblem();
    return FEED_OK;
}

void FeedReader::KeepHead(const char* data, size_t size)
{
    const size_t HEAD_BYTES = 512;
    if ( m_head.size() < HEAD_BYTES )
        m_head.append(data, std::min(size, HEAD_BYTES - m_head.size()));
    m_bodyBytes += size;
}

int FeedReader::LoadDocument(const char* data, size_t size)
{
    FeedDocumentLoader loader(m_doc, StartLoading());
    m_head.clear();
    m_bodyBytes = 0;
    KeepHead(data, size);
    loader.Feed(data, size);
    loader.Finish();
    m_problem = loader.GetProblem();
    return m_doc.GetRoot() ? FEED_OK : FEED_NOT_XML;
}

int FeedReader::ParseDocument()
{
    // The loader stopped at the newest post and kept it; without one, it read everything.
    const wxXmlNode* root = m_doc.GetRoot();
    if ( !root )
        return FEED_NOT_XML;
    const bool found = !m_title.empty();  // a post is kept only with its title and link
    int result = FEED_NOT_A_FEED;
    if ( root->GetName() == "rss" )
        result = found ? FEED_OK : FEED_NO_ITEM;
    else if ( root->GetName() == "feed" )
        result = found ? FEED_OK : FEED_NO_ENTRY;
    // A link relative to the feed is of no use in a mail.
    std::string resolved;
    if ( result == FEED_OK && !m_baseUrl.empty() && !HasScheme(m_link)
         && ResolveLocation(std::string(m_baseUrl.utf8_str()), std::string(m_link.utf8_str()),
                            resolved) )
        m_link = wxString::FromUTF8(resolved);
    return result;
}
