#include "feed/feeddiscovery.h"

#include "base/httpclient.h"
#include "feed/htmlentities.h"

#include <wx/wxcrt.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace
{

// The most of a page's start read to find the end of its head. Real heads with inline styles
// and scripts stay far below; a tag that never closes must not be scanned again and again.
const std::size_t MAX_HEAD_BYTES = 1 << 20;

std::string Lower(std::string text)
{
    for ( char& c : text )
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool IsNameChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == ':' || c == '_';
}

// Where needle starts in text from pos on, in any letter case; npos when it doesn't.
std::size_t FindNoCase(const std::string& text, const std::string& needle, std::size_t pos)
{
    auto at = std::search(text.begin() + pos, text.end(), needle.begin(), needle.end(),
                          [](char a, char b)
                          {
                              return std::tolower(static_cast<unsigned char>(a))
                                     == std::tolower(static_cast<unsigned char>(b));
                          });
    return at == text.end() ? std::string::npos : at - text.begin();
}

// The elements a page's head may hold; any other start tag begins its body.
bool BelongsToHead(const std::string& name)
{
    static const char* const names[] = { "html", "head", "meta", "title", "link", "base",
                                         "script", "style", "noscript", "template" };
    for ( const char* known : names )
    {
        if ( name == known )
            return true;
    }
    return name[0] == '/';
}

bool HasToken(const std::string& list, const char* token)
{
    std::size_t pos = 0;
    const std::string lower = Lower(list);
    while ( pos < lower.size() )
    {
        const std::size_t begin = lower.find_first_not_of(" \t\n\r\f", pos);
        if ( begin == std::string::npos )
            break;
        std::size_t end = lower.find_first_of(" \t\n\r\f", begin);
        if ( end == std::string::npos )
            end = lower.size();
        if ( lower.compare(begin, end - begin, token) == 0 )
            return true;
        pos = end;
    }
    return false;
}

bool IsFeedType(const std::string& type)
{
    std::string mediaType = Lower(type.substr(0, type.find(';')));
    const std::size_t begin = mediaType.find_first_not_of(" \t\n\r\f");
    const std::size_t end = mediaType.find_last_not_of(" \t\n\r\f");
    if ( begin == std::string::npos )
        return false;
    mediaType = mediaType.substr(begin, end - begin + 1);
    return mediaType == "application/rss+xml" || mediaType == "application/atom+xml";
}

// An attribute's value as the page means it: its character references decoded.
wxString DecodeAttribute(const std::string& raw)
{
    wxString text = wxString::FromUTF8(raw);
    if ( text.empty() && !raw.empty() )
        text = wxString::From8BitData(raw.data(), raw.size());
    wxString out;
    for ( std::size_t pos = 0; pos < text.length(); )
    {
        if ( text[pos] == '&' && DecodeHtmlReference(text, pos, out) )
            continue;
        out += text[pos++];
    }
    return out.Trim(true).Trim(false);
}

bool IsCommentsFeed(const FeedLink& link)
{
    const wxString words = (link.title + " " + link.url).Lower();
    return words.Contains("comment") || words.Contains("kommentar")
           || words.Contains("comentario");
}

} // anonymous namespace

bool FeedLinkScanner::Feed(const char* data, std::size_t size)
{
    if ( m_state == NOT_HTML || m_state == HEAD_OVER )
        return false;
    m_text.append(data, size);
    while ( ScanNext() && (m_state == UNDECIDED || m_state == IN_HEAD) )
        ;
    if ( m_text.size() > MAX_HEAD_BYTES && (m_state == UNDECIDED || m_state == IN_HEAD) )
        m_state = m_state == IN_HEAD ? HEAD_OVER : NOT_HTML;
    return m_state == UNDECIDED || m_state == IN_HEAD;
}

bool FeedLinkScanner::ScanNext()
{
    const std::string& text = m_text;
    if ( !m_skipUntil.empty() )
    {
        const std::size_t end = FindNoCase(text, m_skipUntil, m_pos);
        if ( end == std::string::npos )
            return false;
        m_pos = end;
        m_skipUntil.clear();
    }
    const std::size_t open = text.find('<', m_pos);
    if ( open == std::string::npos || open + 1 >= text.size() )
    {
        m_pos = open == std::string::npos ? text.size() : open;
        return false;
    }
    m_pos = open;
    // Comments, doctypes and processing instructions say nothing of the feeds.
    if ( text.compare(open, 4, "<!--") == 0 || text.compare(open, 2, "<!") == 0
         || text.compare(open, 2, "<?") == 0 )
    {
        const bool comment = text.compare(open, 4, "<!--") == 0;
        const std::size_t end = comment ? text.find("-->", open + 4) : text.find('>', open);
        if ( end == std::string::npos )
            return false;
        m_pos = end + (comment ? 3 : 1);
        return true;
    }

    Tag tag;
    std::size_t at = open + 1;
    if ( text[at] == '/' )
    {
        tag.name = "/";
        ++at;
    }
    const std::size_t nameStart = at;
    while ( at < text.size() && IsNameChar(text[at]) )
        ++at;
    if ( at == nameStart )
    {
        m_pos = open + 1;  // a "<" that starts no tag
        return true;
    }
    tag.name += Lower(text.substr(nameStart, at - nameStart));
    for ( ;; )
    {
        while ( at < text.size() && (IsSpace(text[at]) || text[at] == '/') )
            ++at;
        if ( at >= text.size() )
            return false;
        if ( text[at] == '>' )
            break;
        const std::size_t attrStart = at;
        while ( at < text.size() && !IsSpace(text[at]) && text[at] != '=' && text[at] != '>'
                && text[at] != '/' )
            ++at;
        std::string name = Lower(text.substr(attrStart, at - attrStart));
        std::string value;
        while ( at < text.size() && IsSpace(text[at]) )
            ++at;
        if ( at < text.size() && text[at] == '=' )
        {
            ++at;
            while ( at < text.size() && IsSpace(text[at]) )
                ++at;
            if ( at >= text.size() )
                return false;
            if ( text[at] == '"' || text[at] == '\'' )
            {
                const std::size_t close = text.find(text[at], at + 1);
                if ( close == std::string::npos )
                    return false;
                value = text.substr(at + 1, close - at - 1);
                at = close + 1;
            }
            else
            {
                const std::size_t valueStart = at;
                while ( at < text.size() && !IsSpace(text[at]) && text[at] != '>' )
                    ++at;
                value = text.substr(valueStart, at - valueStart);
            }
        }
        if ( at >= text.size() )
            return false;
        tag.attributes.emplace_back(std::move(name), std::move(value));
    }
    m_pos = at + 1;
    TakeTag(tag);
    return true;
}

void FeedLinkScanner::TakeTag(const Tag& tag)
{
    if ( m_state == UNDECIDED )
    {
        // A feed's root, or anything else that is not a page's start, ends the search.
        if ( tag.name == "body" )
            m_state = HEAD_OVER;
        else
            m_state = BelongsToHead(tag.name) && tag.name[0] != '/' ? IN_HEAD : NOT_HTML;
        if ( m_state != IN_HEAD )
            return;
    }
    if ( tag.name == "/head" || tag.name == "body" || !BelongsToHead(tag.name) )
    {
        m_state = HEAD_OVER;
        return;
    }
    if ( tag.name == "script" || tag.name == "style" )
    {
        m_skipUntil = "</" + tag.name;
        return;
    }
    std::string rel, type, href, title;
    bool hasHref = false;
    for ( const auto& [name, value] : tag.attributes )
    {
        if ( name == "rel" )
            rel = value;
        else if ( name == "type" )
            type = value;
        else if ( name == "href" && !hasHref )
        {
            href = value;
            hasHref = true;
        }
        else if ( name == "title" )
            title = value;
    }
    if ( tag.name == "base" && hasHref && m_base.empty() )
        m_base = href;
    else if ( tag.name == "link" && hasHref && HasToken(rel, "alternate") && IsFeedType(type) )
        m_links.push_back({href, title});
}

std::vector<FeedLink> FeedLinkScanner::GetFeeds(const std::string& pageUrl) const
{
    std::string base = pageUrl;
    std::string resolvedBase;
    if ( !m_base.empty()
         && ResolveLocation(pageUrl, std::string(DecodeAttribute(m_base).utf8_str()),
                            resolvedBase) )
        base = resolvedBase;
    std::vector<FeedLink> feeds;
    for ( const RawLink& link : m_links )
    {
        std::string resolved;
        const std::string href(DecodeAttribute(link.href).utf8_str());
        if ( ResolveLocation(base, href, resolved) )
            feeds.push_back({wxString::FromUTF8(resolved), DecodeAttribute(link.title)});
    }
    return feeds;
}

bool ChooseFeedLink(const std::vector<FeedLink>& links, FeedLink& chosen)
{
    if ( links.empty() )
        return false;
    auto posts = std::find_if(links.begin(), links.end(),
                              [](const FeedLink& link) { return !IsCommentsFeed(link); });
    chosen = posts != links.end() ? *posts : links.front();
    return true;
}

bool StartsWithScheme(const wxString& address)
{
    const std::size_t colon = address.find("://");
    if ( colon == wxString::npos || colon == 0 || !wxIsalpha(address[0]) )
        return false;
    for ( std::size_t i = 1; i < colon; ++i )
    {
        const wxUniChar c = address[i];
        if ( !wxIsalnum(c) && c != '+' && c != '-' && c != '.' )
            return false;
    }
    return true;
}
