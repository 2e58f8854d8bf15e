#include "feed/feedreader.h"

#include "base/buildinfo.h"
#include "feed/posttext.h"

#include <wx/wxcrt.h>

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

void FeedReader::SetValidators(const wxString& etag, const wxString& lastModified)
{
    if ( IsSendableValidator(etag) )
    {
        m_httpOptions.headers.push_back("If-None-Match: " + std::string(etag.utf8_str()));
        m_conditional = true;
    }
    if ( IsSendableValidator(lastModified) )
    {
        m_httpOptions.headers.push_back("If-Modified-Since: "
                                        + std::string(lastModified.utf8_str()));
        m_conditional = true;
    }
}

int FeedReader::Read()
{
    m_notModified = false;
    const int result = Fetch(m_url);
    if ( result != FEED_OK || m_notModified )
        return result;
    return ParseDocument();
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
    const int result = client.Get(url, [&loader](const char* data, size_t size)
                                       {
                                           return loader.Feed(data, size);
                                       });
    if ( result != HTTP_OK )
        return result;
    m_etag = wxString::FromUTF8(client.GetETag());
    m_lastModified = wxString::FromUTF8(client.GetLastModified());
    // A 304 that was not asked for goes on to the parser, which finds no document in it.
    if ( client.GetStatus() == 304 && m_conditional )
    {
        m_notModified = true;
        return FEED_OK;
    }
    loader.Finish();
    m_baseUrl = wxString::FromUTF8(client.GetFinalUrl());
    return FEED_OK;
}

int FeedReader::LoadDocument(const char* data, size_t size)
{
    FeedDocumentLoader loader(m_doc, StartLoading());
    loader.Feed(data, size);
    loader.Finish();
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
