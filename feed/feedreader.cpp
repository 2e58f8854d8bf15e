#include "feed/feedreader.h"

#include "base/displaytext.h"

#include "base/buildinfo.h"
#include "feed/postdate.h"
#include "feed/postlink.h"
#include "feed/posttext.h"

#include <wx/translation.h>
#include <wx/wxcrt.h>

#include <algorithm>
#include <cctype>

namespace
{

// The most of a summary that is kept: a signature shows a line or two of it.
const size_t MAX_SUMMARY_LENGTH = 1000;

// What one post says: its title, its link and the element that holds the link (for xml:base),
// its summary and its author.
struct Post
{
    wxString title;
    wxString link;
    const wxXmlNode* linkElement = nullptr;
    wxString summary;
    wxString author;
};

wxString CleanSummary(const wxString& text)
{
    return ShortenText(CleanTitle(text), MAX_SUMMARY_LENGTH);
}

// An RSS author is an address, often with the name after it: "jo@blog.example (Jo Doe)".
wxString ReadRssAuthor(const wxString& text)
{
    const wxString author = CleanTitle(text);
    const size_t open = author.find('(');
    if ( open != wxString::npos && author.EndsWith(")") )
    {
        const wxString name = CleanTitle(author.Mid(open + 1, author.length() - open - 2));
        if ( !name.empty() )
            return name;
    }
    return author;
}

// The name inside an Atom author (or contributor) element.
wxString ReadAtomAuthor(const wxXmlNode& author)
{
    for ( const wxXmlNode* child = author.GetChildren(); child; child = child->GetNext() )
    {
        if ( child->GetName() == "name" )
            return CleanTitle(GetElementText(*child));
    }
    return wxString();
}

// Reads one RSS item; true when it has both a title and a link. A post's partial values never
// pair with another post's; once it has both, later title and link elements do not count.
bool ReadRssItem(const wxXmlNode& item, Post& post)
{
    wxString content;  // content:encoded, the summary when there is no description
    for ( const wxXmlNode* child = item.GetChildren(); child; child = child->GetNext() )
    {
        const wxString name = child->GetName();
        const bool complete = !post.title.empty() && !post.link.empty();
        if ( name == "title" && !complete )
            post.title = CleanTitle(GetElementText(*child));
        else if ( name == "link" && !complete )
        {
            post.link = CleanLink(GetElementText(*child));
            post.linkElement = child;
        }
        else if ( name == "description" && post.summary.empty() )
            post.summary = CleanSummary(HtmlToText(GetElementText(*child)));
        else if ( name == "content:encoded" && content.empty() )
            content = CleanSummary(HtmlToText(GetElementText(*child)));
        else if ( (name == "author" || name == "dc:creator") && post.author.empty() )
            post.author = ReadRssAuthor(GetElementText(*child));
    }
    if ( post.summary.empty() )
        post.summary = content;
    return !post.title.empty() && !post.link.empty();
}

// The text of an Atom text construct (a title, a summary) by its type.
wxString ReadAtomText(const wxXmlNode& element)
{
    const wxString type = element.GetAttribute("type", "text");
    if ( type == "xhtml" )
        return CleanTitle(GetDescendantText(element));
    // "text/html" is how Atom 0.3 said it.
    if ( type == "html" || type == "text/html" )
        return CleanTitle(HtmlToText(GetElementText(element)));
    return CleanTitle(GetElementText(element));
}

wxString ReadAtomTitle(const wxXmlNode& title)
{
    return ReadAtomText(title);
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
        else if ( child->GetName() == "summary" && post.summary.empty() )
            post.summary = ShortenText(ReadAtomText(*child), MAX_SUMMARY_LENGTH);
        else if ( child->GetName() == "content" && any.summary.empty()
                  && !child->HasAttribute("src") )
            any.summary = ShortenText(ReadAtomText(*child), MAX_SUMMARY_LENGTH);
        else if ( child->GetName() == "author" && post.author.empty() )
            post.author = ReadAtomAuthor(*child);
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
    if ( post.summary.empty() )
        post.summary = any.summary;
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
    if ( HttpClient* client = BeginRead() )
        client->Finish();
    return EndRead();
}

HttpClient* FeedReader::BeginRead()
{
    m_notModified = false;
    m_pageUrl.clear();
    // An address without a scheme is tried with https first.
    m_feedUrl = StartsWithScheme(m_url) ? m_url : "https://" + m_url;
    m_scanPages = true;
    return BeginFetch(m_feedUrl);
}

int FeedReader::EndRead()
{
    int result = EndFetch();
    // Only a connection that cannot be made falls back: a certificate that is not trusted
    // must not be got round by asking again in the clear.
    if ( result == HTTP_CONNECT_ERROR && !StartsWithScheme(m_url) )
    {
        m_feedUrl = "http://" + m_url;
        result = Fetch(m_feedUrl);
    }
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
        m_errorDetail += "\n" + wxString::Format(_("(The page %s names this feed.)"), page);
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
                return wxString::Format(_("This is an HTML page, not an RSS or Atom feed: %s"),
                                        url);
            if ( m_bodyBytes == 0 )
                return wxString::Format(_("The answer from %s is empty"), url);
            return wxString::Format(_("The answer from %s is not a feed Feedquill can read: %s"),
                                    url, wxString::FromUTF8(m_problem));
        case FEED_NOT_A_FEED:
            if ( root && root->GetName().Lower() == "html" )
                return wxString::Format(_("This is an HTML page, not an RSS or Atom feed: %s"),
                                        url);
            return wxString::Format(_("This XML document is neither an RSS nor an Atom feed (its "
                                      "root element is <%s>): %s"),
                                    root ? root->GetName() : wxString(), url);
        case FEED_NO_ENTRY:
            return wxString::Format(_("The Atom feed has no entry with both a title and a "
                                      "link: %s"), url);
        case FEED_NO_ITEM:
            return wxString::Format(_("The RSS feed has no item with both a title and a link: "
                                      "%s"), url);
        case HTTP_TOO_LARGE:
            return wxString::Format(_("The feed is larger than %s: %s"),
                                    DescribeSize(m_httpOptions.maxBodySize), url);
    }
    return wxString();
}

FeedDocumentLoader::Stopper FeedReader::StartLoading()
{
    m_title.clear();
    m_link.clear();
    m_date.clear();
    m_summary.clear();
    m_author.clear();
    m_feedTitle.clear();
    m_feedLink.clear();
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
        m_date = dated ? FormatPostDate(date) : wxString();
        m_summary = post.summary;
        m_author = post.author;
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
        m_errorDetail = wxString::Format(_("The feed is written in the encoding \"%s\", which "
                                           "cannot be read: %s"),
                                         ShowControlsInLine(wxString::From8BitData(
                                             loader.GetEncodingLabel().data(),
                                             loader.GetEncodingLabel().size())),
                                         m_baseUrl.empty() ? m_url : m_baseUrl);
}

int FeedReader::Fetch(wxString url)
{
    if ( HttpClient* client = BeginFetch(url) )
        client->Finish();
    return EndFetch();
}

HttpClient* FeedReader::BeginFetch(const wxString& url)
{
    // The validators stand beside the options, which callers set in any order.
    HttpOptions options = m_httpOptions;
    options.conditionalHeaders = m_conditionalHeaders;
    options.conditionalUrl = m_conditionalUrl;
    m_client = std::make_unique<HttpClient>(options);
    m_loader = std::make_unique<FeedDocumentLoader>(m_doc, StartLoading());
    m_baseUrl.clear();
    m_head.clear();
    m_bodyBytes = 0;
    m_scanner = FeedLinkScanner();
    m_loading = true;
    m_scanning = m_scanPages;
    HttpClient* client = m_client.get();
    FeedDocumentLoader* loader = m_loader.get();
    const bool started = client->Start(url, [this, client, loader](const char* data, size_t size)
    {
        // Only the final response's body comes here.
        if ( m_baseUrl.empty() )
            m_baseUrl = wxString::FromUTF8(client->GetFinalUrl());
        KeepHead(data, size);
        m_loading = m_loading && loader->Feed(data, size);
        // A page's head, read on after the loader has given up on it, may name the feed.
        m_scanning = m_scanning && m_scanner.Feed(data, size);
        return m_loading || m_scanning;
    });
    return started ? client : nullptr;
}

int FeedReader::EndFetch()
{
    // The loader and the client go when the fetch is done, whatever its outcome.
    const std::unique_ptr<HttpClient> client = std::move(m_client);
    const std::unique_ptr<FeedDocumentLoader> loader = std::move(m_loader);
    const int result = client->GetResult();
    if ( result != HTTP_OK )
    {
        // The reader knows the answer was a feed that grew too large; the client does not.
        if ( result != HTTP_TOO_LARGE )
            m_errorDetail = client->GetErrorDetail();
        return result;
    }
    m_etag = wxString::FromUTF8(client->GetETag());
    m_lastModified = wxString::FromUTF8(client->GetLastModified());
    m_finalUrl = wxString::FromUTF8(client->GetFinalUrl());
    // A 304 that was not asked for goes on to the parser, which finds no document in it.
    if ( client->GetStatus() == 304 && client->WasConditional() )
    {
        m_notModified = true;
        return FEED_OK;
    }
    loader->Finish();
    FinishLoading(*loader);
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
    if ( result == FEED_OK )
        TakeFeedDetails();
    return result;
}

void FeedReader::TakeFeedDetails()
{
    // The RSS channel, or the Atom feed itself: both hold the feed's title, link and author.
    const wxXmlNode* feed = m_doc.GetRoot();
    const bool rss = feed->GetName() == "rss";
    if ( rss )
    {
        feed = feed->GetChildren();
        while ( feed && feed->GetName() != "channel" )
            feed = feed->GetNext();
        if ( !feed )
            return;
    }
    wxString author;
    for ( const wxXmlNode* child = feed->GetChildren(); child; child = child->GetNext() )
    {
        const wxString name = child->GetName();
        if ( name == "title" && m_feedTitle.empty() )
            m_feedTitle = rss ? CleanTitle(GetElementText(*child)) : ReadAtomText(*child);
        else if ( name == "link" && m_feedLink.empty() )
        {
            if ( rss )
                m_feedLink = ResolvePostLink(*child, CleanLink(GetElementText(*child)), m_baseUrl);
            else if ( child->GetAttribute("rel", "alternate") == "alternate" )
                m_feedLink = ResolvePostLink(
                    *child, CleanLink(child->GetAttribute("href", wxString())), m_baseUrl);
        }
        else if ( author.empty() && !rss && name == "author" )
            author = ReadAtomAuthor(*child);
        else if ( author.empty() && rss && (name == "managingEditor" || name == "dc:creator") )
            author = ReadRssAuthor(GetElementText(*child));
    }
    if ( m_author.empty() )
        m_author = author;
}
