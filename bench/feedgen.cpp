#include "feedgen.h"

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <vector>

namespace FeedGen
{

namespace
{

const char* const BLOG = "http://blog.example";
const std::int64_t NEWEST_TIME = 1796115600; // 2026-12-01 09:00:00 UTC

const char* const WORDS[] = {
    "feed", "parser", "signature", "mail", "stream", "buffer", "latency", "cache", "header",
    "socket", "thread", "memory", "release", "build", "compiler", "template", "window",
    "server", "client", "request", "response", "quiet", "morning", "garden", "coffee",
    "journey", "river", "mountain", "winter", "letter", "notebook", "pencil", "harbour",
    "market", "lantern", "bridge", "library", "record", "station", "orchard", "meadow",
    "weekend", "holiday", "recipe", "kitchen", "bicycle", "workshop", "chapter", "draft",
    "review", "update", "change", "small", "large", "careful", "simple", "honest", "early",
    "late", "slow", "fast", "bright", "patient", "curious", "useful", "plain", "steady",
};
const std::size_t WORD_COUNT = sizeof WORDS / sizeof WORDS[0];

const char* const CATEGORIES[] = {
    "programming", "c++", "travel", "photography", "cooking", "books", "music", "tools",
    "open source", "notes", "gardening", "cycling", "writing", "linux", "networks",
};
const std::size_t CATEGORY_COUNT = sizeof CATEGORIES / sizeof CATEGORIES[0];

const char* const AUTHORS[] = { "Arden Vosk", "Mira Talhouet", "Jonas Pell" };

// A fixed generator, so that every platform and library makes the same feeds.
class Random
{
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}

    std::uint32_t Next()
    {
        // xorshift64*
        m_state ^= m_state >> 12;
        m_state ^= m_state << 25;
        m_state ^= m_state >> 27;
        return static_cast<std::uint32_t>((m_state * 2685821657736338717ULL) >> 32);
    }

    std::size_t Below(std::size_t n) { return Next() % n; }

private:
    std::uint64_t m_state;
};

std::string EscapeXml(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for ( const char c : text )
    {
        switch ( c )
        {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

struct Post
{
    std::string title;       // plain text
    std::string slug;
    std::string link;
    std::string author;
    std::vector<std::string> categories;
    std::string html;        // the body as HTML, escaped only when written
    std::int64_t time = 0;
    int number = 0;
};

std::string Capitalized(std::string word)
{
    if ( !word.empty() && word[0] >= 'a' && word[0] <= 'z' )
        word[0] = static_cast<char>(word[0] - 'a' + 'A');
    return word;
}

std::string Sentence(Random& random)
{
    const std::size_t length = 6 + random.Below(12);
    std::string sentence;
    for ( std::size_t i = 0; i < length; ++i )
    {
        const std::string word = WORDS[random.Below(WORD_COUNT)];
        if ( i == 0 )
            sentence += Capitalized(word);
        else
        {
            sentence += random.Below(9) == 0 ? ", " : " ";
            sentence += word;
        }
    }
    return sentence + (random.Below(7) == 0 ? "?" : ".");
}

std::string Paragraph(Random& random, const std::string& link)
{
    std::string html = "<p>";
    const std::size_t sentences = 3 + random.Below(5);
    for ( std::size_t i = 0; i < sentences; ++i )
    {
        if ( i > 0 )
            html += ' ';
        const std::size_t kind = random.Below(10);
        if ( kind == 0 )
            html += "<em>" + Sentence(random) + "</em>";
        else if ( kind == 1 )
            html += "<a href=\"" + link + "#note-" + std::to_string(i) + "\">"
                    + Sentence(random) + "</a>";
        else if ( kind == 2 )
            html += "Fish &amp; chips &lt;3 &quot;" + Sentence(random) + "&quot;";
        else
            html += Sentence(random);
    }
    return html + "</p>\n";
}

std::string Body(Random& random, const std::string& link)
{
    // A few KB: 1 to 4 of HTML, with the odd image and code sample.
    const std::size_t target = 1000 + random.Below(3000);
    std::string html;
    while ( html.size() < target )
    {
        const std::size_t kind = random.Below(8);
        if ( kind == 0 )
            html += "<pre><code>for (auto&amp; item : feed)\n    if (item.IsNewest())\n"
                    "        return item.title; // &lt;-- the only one we need\n</code></pre>\n";
        else if ( kind == 1 )
            html += "<p><img src=\"" + std::string(BLOG) + "/images/"
                    + std::to_string(random.Below(100000)) + ".jpg\" alt=\""
                    + WORDS[random.Below(WORD_COUNT)] + "\" width=\"640\" height=\"480\"/></p>\n";
        else
            html += Paragraph(random, link);
    }
    return html;
}

Post MakePost(Random& random, int number, std::int64_t time)
{
    Post post;
    post.number = number;
    post.time = time;
    if ( number == 1 )
        post.title = "Reading only the top: feeds, streams & early exits";
    else
    {
        const std::size_t words = 3 + random.Below(6);
        for ( std::size_t i = 0; i < words; ++i )
        {
            const std::string word = WORDS[random.Below(WORD_COUNT)];
            post.title += i == 0 ? Capitalized(word) : " " + word;
        }
        if ( random.Below(6) == 0 )
            post.title += " & more";
    }
    for ( const char c : post.title )
    {
        if ( (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') )
            post.slug += c;
        else if ( c >= 'A' && c <= 'Z' )
            post.slug += static_cast<char>(c - 'A' + 'a');
        else if ( !post.slug.empty() && post.slug.back() != '-' )
            post.slug += '-';
    }
    while ( !post.slug.empty() && post.slug.back() == '-' )
        post.slug.pop_back();
    std::tm tm = {};
    const std::time_t t = static_cast<std::time_t>(time);
    gmtime_r(&t, &tm);
    char date[64];
    std::snprintf(date, sizeof date, "/%04d/%02d/%02d/", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday);
    post.link = std::string(BLOG) + date + post.slug + "-" + std::to_string(number) + "/";
    post.author = AUTHORS[random.Below(3)];
    const std::size_t categories = 2 + random.Below(3);
    for ( std::size_t i = 0; i < categories; ++i )
        post.categories.push_back(CATEGORIES[random.Below(CATEGORY_COUNT)]);
    post.html = Body(random, post.link);
    return post;
}

std::string Rfc822(std::int64_t time)
{
    static const char* const days[] = { "Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat" };
    static const char* const months[] = { "Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };
    std::tm tm = {};
    const std::time_t t = static_cast<std::time_t>(time);
    gmtime_r(&t, &tm);
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d +0000", days[tm.tm_wday],
                  tm.tm_mday, months[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min,
                  tm.tm_sec);
    return text;
}

std::string Rfc3339(std::int64_t time)
{
    std::tm tm = {};
    const std::time_t t = static_cast<std::time_t>(time);
    gmtime_r(&t, &tm);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return text;
}

std::string RssHead()
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<rss version=\"2.0\" xmlns:atom=\"http://www.w3.org/2005/Atom\""
           " xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n"
           "<channel>\n"
           "  <title>Quillwork Notes</title>\n"
           "  <link>" + std::string(BLOG) + "/</link>\n"
           "  <description>Notes on software, travel and the kitchen</description>\n"
           "  <language>en-us</language>\n"
           "  <lastBuildDate>" + Rfc822(NEWEST_TIME) + "</lastBuildDate>\n"
           "  <generator>Quillwork 4.2</generator>\n"
           "  <atom:link href=\"" + BLOG + "/feed.xml\" rel=\"self\""
           " type=\"application/rss+xml\"/>\n"
           "  <image><url>" + BLOG + "/logo.png</url><title>Quillwork Notes</title>"
           "<link>" + BLOG + "/</link></image>\n";
}

std::string RssItem(const Post& post)
{
    std::string item = "  <item>\n"
                       "    <title>" + EscapeXml(post.title) + "</title>\n"
                       "    <link>" + post.link + "</link>\n"
                       "    <guid isPermaLink=\"true\">" + post.link + "</guid>\n"
                       "    <pubDate>" + Rfc822(post.time) + "</pubDate>\n"
                       "    <dc:creator>" + post.author + "</dc:creator>\n";
    for ( const std::string& category : post.categories )
        item += "    <category>" + EscapeXml(category) + "</category>\n";
    item += "    <comments>" + post.link + "#comments</comments>\n"
            "    <description>" + EscapeXml(post.html) + "</description>\n"
            "  </item>\n";
    return item;
}

std::string AtomHead()
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<feed xmlns=\"http://www.w3.org/2005/Atom\" xml:lang=\"en\">\n"
           "  <title>Quillwork Notes</title>\n"
           "  <subtitle>Notes on software, travel and the kitchen</subtitle>\n"
           "  <link href=\"" + std::string(BLOG) + "/\" rel=\"alternate\" type=\"text/html\"/>\n"
           "  <link href=\"" + BLOG + "/atom.xml\" rel=\"self\""
           " type=\"application/atom+xml\"/>\n"
           "  <id>tag:blog.example,2009:feed</id>\n"
           "  <updated>" + Rfc3339(NEWEST_TIME) + "</updated>\n"
           "  <author><name>Arden Vosk</name><uri>" + BLOG + "/about/</uri></author>\n"
           "  <generator uri=\"" + BLOG + "/quillwork\" version=\"4.2\">Quillwork</generator>\n";
}

std::string AtomEntry(const Post& post)
{
    std::string entry = "  <entry>\n"
                        "    <title type=\"text\">" + EscapeXml(post.title) + "</title>\n"
                        "    <link rel=\"replies\" type=\"application/atom+xml\" href=\""
                        + post.link + "comments.xml\"/>\n"
                        "    <link rel=\"alternate\" type=\"text/html\" href=\"" + post.link
                        + "\"/>\n"
                        "    <id>tag:blog.example,2009:post-" + std::to_string(post.number)
                        + "</id>\n"
                        "    <published>" + Rfc3339(post.time) + "</published>\n"
                        "    <updated>" + Rfc3339(post.time + 3600) + "</updated>\n"
                        "    <author><name>" + post.author + "</name></author>\n";
    for ( const std::string& category : post.categories )
        entry += "    <category term=\"" + EscapeXml(category) + "\"/>\n";
    entry += "    <content type=\"html\">" + EscapeXml(post.html) + "</content>\n"
             "  </entry>\n";
    return entry;
}

} // anonymous namespace

Feed Generate(Format format, std::size_t maxBytes)
{
    Feed feed;
    const std::string tail = format == RSS ? "</channel>\n</rss>\n" : "</feed>\n";
    feed.text = format == RSS ? RssHead() : AtomHead();
    feed.text.reserve(maxBytes + 16384);
    Random random(0x6665656471756c6cULL);
    std::int64_t time = NEWEST_TIME;
    for ( int number = 1;; ++number )
    {
        const Post post = MakePost(random, number, time);
        const std::string text = format == RSS ? RssItem(post) : AtomEntry(post);
        if ( number > 1 && feed.text.size() + text.size() + tail.size() > maxBytes )
            break;
        feed.text += text;
        ++feed.posts;
        if ( number == 1 )
        {
            feed.newestTitle = post.title;
            feed.newestLink = post.link;
        }
        // Older posts, six hours to two days apart.
        time -= 6 * 3600 + static_cast<std::int64_t>(random.Below(42 * 3600));
    }
    feed.text += tail;
    return feed;
}

bool ParseFormat(const std::string& name, Format& format)
{
    if ( name == "rss" )
        format = RSS;
    else if ( name == "atom" )
        format = ATOM;
    else
        return false;
    return true;
}

} // namespace FeedGen
