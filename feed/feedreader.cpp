#include "feed/feedreader.h"

#include "app/buildinfo.h"
#include "feed/feeddocument.h"
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

// Whether a post that has just been read completely answers the question, so that the rest of
// the feed need not be read.
bool IsAnsweringPost(const wxXmlNode& element, int depth)
{
    wxString title;
    wxString link;
    if ( depth == 3 && element.GetName() == "item" )
    {
        const wxXmlNode* channel = element.GetParent();
        return IsNamed(channel, "channel") && IsNamed(channel->GetParent(), "rss")
               && ReadRssItem(element, title, link);
    }
    if ( depth == 2 && element.GetName() == "entry" )
        return IsNamed(element.GetParent(), "feed") && ReadAtomEntry(element, title, link);
    return false;
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

// How long a feed read waits, in seconds: for a connection, for a stalled transfer, in all.
long s_connectTimeout = 30;
long s_lowSpeedTime = 30;
long s_totalTimeout = 300;

} // anonymous namespace

void FeedReader::SetTimeLimits(long connectSecs, long lowSpeedSecs, long totalSecs)
{
    s_connectTimeout = connectSecs;
    s_lowSpeedTime = lowSpeedSecs;
    s_totalTimeout = totalSecs;
}

FeedReader::FeedReader(wxString url)
    : m_url(url),
      m_httpOptions(GetDefaultHttpOptions())
{
}

HttpOptions FeedReader::GetDefaultHttpOptions()
{
    HttpOptions options;
    // "text/*" alone tells servers that negotiate content that a feed's own types are unwanted.
    options.headers.push_back("Accept: application/rss+xml, application/atom+xml, "
                              "application/xml;q=0.9, text/*;q=0.8");
    options.headers.push_back("User-Agent: Feedquill; " FEEDQUILL_SITE "/");
    options.maxRedirects = 11;
    options.connectTimeoutSecs = s_connectTimeout;
    options.lowSpeedTimeSecs = s_lowSpeedTime;
    options.totalTimeoutSecs = s_totalTimeout;
    return options;
}

int FeedReader::Read()
{
    m_redirects = 0;
    const int result = Fetch(m_url);
    if ( result != FEED_OK )
        return result;
    return ParseDocument();
}

int FeedReader::Fetch(wxString url)
{
    HttpClient client(m_httpOptions);
    FeedDocumentLoader loader(m_doc, IsAnsweringPost);
    const int result = client.Get(url, [&loader](const char* data, size_t size)
                                       {
                                           return loader.Feed(data, size);
                                       });
    m_redirects = client.GetRedirects();
    if ( result != HTTP_OK )
        return result;
    loader.Finish();
    m_baseUrl = wxString::FromUTF8(client.GetFinalUrl());
    return FEED_OK;
}

int FeedReader::LoadDocument(const char* data, size_t size)
{
    FeedDocumentLoader loader(m_doc, IsAnsweringPost);
    loader.Feed(data, size);
    loader.Finish();
    return m_doc.GetRoot() ? FEED_OK : FEED_NOT_XML;
}

int FeedReader::ParseDocument()
{
    const wxXmlNode* root = m_doc.GetRoot();
    if ( !root )
        return FEED_NOT_XML;
    m_title.clear();
    m_link.clear();
    int result = FEED_NOT_A_FEED;
    if ( root->GetName() == "rss" )
        result = ParseRss(m_doc);
    else if ( root->GetName() == "feed" )
        result = ParseAtom(m_doc);
    // A link relative to the feed is of no use in a mail.
    std::string resolved;
    if ( result == FEED_OK && !m_baseUrl.empty() && !HasScheme(m_link)
         && ResolveLocation(std::string(m_baseUrl.utf8_str()), std::string(m_link.utf8_str()),
                            resolved) )
        m_link = wxString::FromUTF8(resolved);
    return result;
}

int FeedReader::ParseRss(const wxXmlDocument& doc)
{
    const wxXmlNode* root = doc.GetRoot();
    for ( const wxXmlNode* channel = root ? root->GetChildren() : nullptr; channel;
          channel = channel->GetNext() )
    {
        if ( channel->GetName() != "channel" )
            continue;
        for ( const wxXmlNode* item = channel->GetChildren(); item; item = item->GetNext() )
        {
            if ( item->GetName() == "item" && ReadRssItem(*item, m_title, m_link) )
                return FEED_OK;
        }
    }
    return FEED_NO_ITEM;
}

int FeedReader::ParseAtom(const wxXmlDocument& doc)
{
    const wxXmlNode* root = doc.GetRoot();
    for ( const wxXmlNode* entry = root ? root->GetChildren() : nullptr; entry;
          entry = entry->GetNext() )
    {
        if ( entry->GetName() == "entry" && ReadAtomEntry(*entry, m_title, m_link) )
            return FEED_OK;
    }
    return FEED_NO_ENTRY;
}
