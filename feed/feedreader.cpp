#include "feed/feedreader.h"

#include "base/displaytext.h"

#include "base/buildinfo.h"
#include "feed/postdate.h"
#include "feed/postlink.h"
#include "feed/posttext.h"

#include <wx/wxcrt.h>

#include <algorithm>
#include <cctype>

namespace
{

// What one post says: its title, its link and the element that holds the link (for xml:base).
struct Post
{
    wxString title;
    wxString link;
    const wxXmlNode* linkElement = nullptr;
};

// Reads one RSS item; true when it has both a title and a link. A post's partial values never
// pair with another post's.
bool ReadRssItem(const wxXmlNode& item, Post& post)
{
    for ( const wxXmlNode* child = item.GetChildren(); child; child = child->GetNext() )
    {
        if ( child->GetName() == "title" )
            post.title = CleanTitle(GetElementText(*child));
        else if ( child->GetName() == "link" )
        {
            post.link = CleanLink(GetElementText(*child));
            post.linkElement = child;
        }
        if ( !post.title.empty() && !post.link.empty() )
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
bool ReadAtomEntry(const wxXmlNode& entry, Post& post)
{
    Post any;
    for ( const wxXmlNode* child = entry.GetChildren(); child; child = child->GetNext() )
    {
        if ( child->GetName() == "title" && post.title.empty() )
            post.title = ReadAtomTitle(*child);
        else if ( child->GetName() == "link" )
        {
            const wxString href = CleanLink(child->GetAttribute("href", wxString()));
            if ( post.link.empty() && child->GetAttribute("rel", "alternate") == "alternate" )
            {
                post.link = href;
                post.linkElement = child;
            }
            if ( any.link.empty() )
            {
                any.link = href;
                any.linkElement = child;
            }
        }
    }
    if ( post.link.empty() )
    {
        post.link = any.link;
        post.linkElement = any.linkElement;
    }
    return !post.title.empty() && !post.link.empty();
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

bool IsPost(const wxXmlNode& element, int depth)
{
    return IsRssItem(element, depth) || IsAtomEntry(element, depth);
}

// The elements that date a post: RSS's pubDate, Atom's published or else updated.
bool IsDateName(const wxString& name)
{
    return name == "pubDate" || name == "published" || name == "updated";
}

// The date of a post, and the name of the element that gave it; false when it has none that
// can be read.
bool ReadPostDate(const wxXmlNode& post, wxString& name, long long& date)
{
    name.clear();
    for ( const wxXmlNode* child = post.GetChildren(); child; child = child->GetNext() )
    {
        const wxString childName = child->GetName();
        if ( IsDateName(childName) && (name.empty() || childName == "published")
             && ParsePostDate(GetElementText(*child), date) )
            name = childName;
    }
    return !name.empty();
}

// A validator worth sending back: one header line's worth of printable text.
bool IsSendableValidator(const wxString& value)
{
    if ( value.empty() || value.length() > 1024 )
        return false;
    for ( wxUniChar c : value )
    {
        if ( c < 0x20 || c == 0x7f )
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

void FeedReader::SetValidators(const wxString& etag, const wxString& lastModified,
                               const wxString& url)
{
    m_conditionalHeaders.clear();
    if ( IsSendableValidator(etag) )
        m_conditionalHeaders.push_back("If-None-Match: " + std::string(etag.utf8_str()));
    if ( IsSendableValidator(lastModified) )
        m_conditionalHeaders.push_back("If-Modified-Since: "
                                       + std::string(lastModified.utf8_str()));
    m_conditionalUrl = url.utf8_str();
}

int FeedReader::Read()
{
    m_notModified = false;
    m_pageUrl.clear();
    if ( StartsWithScheme(m_url) )
        return ReadAddress(m_url);
    // Only a connection that cannot be made falls back: a certificate that is not trusted
    // must not be got round by asking again in the clear.
    int result = ReadAddress("https://" + m_url);
    if ( result == HTTP_CONNECT_ERROR )
        result = ReadAddress("http://" + m_url);
    return result;
}

int FeedReader::ReadAddress(const wxString& url)
{
    m_feedUrl = url;
    m_scanPages = true;
    int result = Fetch(url);
    m_scanPages = false;
    if ( result == FEED_OK && !m_notModified )
        result = ParseDocument();
    if ( (result == FEED_NOT_XML || result == FEED_NOT_A_FEED) && ReadNamedFeed(result) )
        return result;
    if ( result != FEED_OK && m_errorDetail.empty() )
        m_errorDetail = DescribeDocument(result);
    return result;
}

bool FeedReader::ReadNamedFeed(int& result)
{
    if ( !m_scanner.IsHtml() )
        return false;
    const wxString page = m_baseUrl.empty() ? m_feedUrl : m_baseUrl;
    FeedLink feed;
    if ( !ChooseFeedLink(m_scanner.GetFeeds(std::string(page.utf8_str())), feed) )
        return false;
    m_pageUrl = page;
    m_feedUrl = feed.url;
    result = Fetch(feed.url);
    if ( result == FEED_OK && !m_notModified )
        result = ParseDocument();
    if ( result != FEED_OK && m_errorDetail.empty() )
        m_errorDetail = DescribeDocument(result);
    if ( result != FEED_OK )
        m_errorDetail += "\n(The page " + page + " names this feed.)";
    return true;
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
    m_errorDetail.clear();
    m_order = PostOrder();
    return [this](const wxXmlNode& element, int depth) { return TakeNewestPost(element, depth); };
}

FeedDocumentLoader::Verdict FeedReader::TakeNewestPost(const wxXmlNode& element, int depth)
{
    const wxXmlNode* parent = element.GetParent();
    if ( m_order.posts == 1 && parent && IsPost(*parent, depth - 1) )
        return TakeSecondDate(element);
    if ( !IsPost(element, depth) )
        return FeedDocumentLoader::READ_ON;

    Post post;
    const bool complete = IsRssItem(element, depth) ? ReadRssItem(element, post)
                                                    : ReadAtomEntry(element, post);
    wxString dateName;
    long long date = 0;
    const bool dated = ReadPostDate(element, dateName, date);
    PostOrder& order = m_order;
    if ( ++order.posts == 1 )
    {
        order.firstDateName = dated ? dateName : wxString();
        order.firstDate = date;
        if ( !dated )
            order.order = PostOrder::NEWEST_FIRST;
    }
    else if ( order.order == PostOrder::UNKNOWN )
        order.order = dated && date > order.firstDate ? PostOrder::OLDEST_FIRST
                                                      : PostOrder::NEWEST_FIRST;

    bool keep = complete && !order.kept;
    if ( order.order == PostOrder::OLDEST_FIRST && complete && order.kept )
        keep = dated && (!order.keptDated || date >= order.keptDate);
    if ( keep )
    {
        m_title = post.title;
        m_link = ResolvePostLink(*post.linkElement, post.link, m_baseUrl);
        order.kept = true;
        order.keptDated = dated;
        order.keptDate = date;
    }
    // A post read is of no more use; the document keeps only what the feed says of itself.
    return order.kept && order.order == PostOrder::NEWEST_FIRST ? FeedDocumentLoader::STOP
                                                                : FeedDocumentLoader::FORGET;
}

FeedDocumentLoader::Verdict FeedReader::TakeSecondDate(const wxXmlNode& element)
{
    long long date = 0;
    if ( m_order.order != PostOrder::UNKNOWN || element.GetName() != m_order.firstDateName
         || !ParsePostDate(GetElementText(element), date) )
        return FeedDocumentLoader::READ_ON;
    // A feed cut off inside its second post still gives its first.
    m_order.order = date > m_order.firstDate ? PostOrder::OLDEST_FIRST : PostOrder::NEWEST_FIRST;
    return m_order.kept && m_order.order == PostOrder::NEWEST_FIRST ? FeedDocumentLoader::STOP
                                                                    : FeedDocumentLoader::READ_ON;
}

void FeedReader::FinishLoading(const FeedDocumentLoader& loader)
{
    m_problem = loader.GetProblem();
    if ( loader.GetStatus() == FeedDocumentLoader::UNSUPPORTED_ENCODING )
        m_errorDetail = wxString::Format("The feed is written in the encoding \"%s\", which "
                                         "cannot be read: %s",
                                         ShowControlsInLine(wxString::From8BitData(
                                             loader.GetEncodingLabel().data(),
                                             loader.GetEncodingLabel().size())),
                                         m_baseUrl.empty() ? m_url : m_baseUrl);
}

int FeedReader::Fetch(wxString url)
{
    // The validators stand beside the options, which callers set in any order.
    HttpOptions options = m_httpOptions;
    options.conditionalHeaders = m_conditionalHeaders;
    options.conditionalUrl = m_conditionalUrl;
    HttpClient client(options);
    FeedDocumentLoader loader(m_doc, StartLoading());
    m_baseUrl.clear();
    m_head.clear();
    m_bodyBytes = 0;
    m_scanner = FeedLinkScanner();
    bool loading = true;
    bool scanning = m_scanPages;
    const int result = client.Get(url, [&](const char* data, size_t size)
                                       {
                                           // Only the final response's body comes here.
                                           if ( m_baseUrl.empty() )
                                               m_baseUrl =
                                                   wxString::FromUTF8(client.GetFinalUrl());
                                           KeepHead(data, size);
                                           loading = loading && loader.Feed(data, size);
                                           // A page's head, read on after the loader has
                                           // given up on it, may name the feed.
                                           scanning = scanning && m_scanner.Feed(data, size);
                                           return loading || scanning;
                                       });
    if ( result != HTTP_OK )
    {
        // The reader knows the answer was a feed that grew too large; the client does not.
        if ( result != HTTP_TOO_LARGE )
            m_errorDetail = client.GetErrorDetail();
        return result;
    }
    m_etag = wxString::FromUTF8(client.GetETag());
    m_lastModified = wxString::FromUTF8(client.GetLastModified());
    m_finalUrl = wxString::FromUTF8(client.GetFinalUrl());
    // A 304 that was not asked for goes on to the parser, which finds no document in it.
    if ( client.GetStatus() == 304 && client.WasConditional() )
    {
        m_notModified = true;
        return FEED_OK;
    }
    loader.Finish();
    FinishLoading(loader);
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
    m_baseUrl.clear();
    FeedDocumentLoader loader(m_doc, StartLoading());
    m_head.clear();
    m_bodyBytes = 0;
    KeepHead(data, size);
    loader.Feed(data, size);
    loader.Finish();
    FinishLoading(loader);
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
    return result;
}
