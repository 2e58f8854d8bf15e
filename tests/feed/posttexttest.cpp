// Turning a feed's title and link into text fit for a signature.

#include "testenv.h"

#include "feed/posttext.h"

#include <gtest/gtest.h>

namespace
{

wxString U(const char* utf8)
{
    return wxString::FromUTF8(utf8);
}

} // anonymous namespace

TEST(PostText, TitlesBecomeOneTrimmedLine)
{
    const struct
    {
        const char* in;
        const char* out;
    } cases[] =
    {
        { "  Hello world \n", "Hello world" },
        { "Line one\r\nline two\tand\t\tthree", "Line one line two and three" },
        { "\n\n", "" },
        { "No\x1B[31mcolour", "No[31mcolour" },             // no escape sequences
        { "Bell\x07 and\x7F delete", "Bell and delete" },
        { "C1 \xC2\x9B" "31m and \xC2\x85" "next", "C1 31m and next" },
        { "Caf\xC3\xA9 \xE2\x80\x94 na\xC3\xAFve", "Caf\xC3\xA9 \xE2\x80\x94 na\xC3\xAFve" },
        { "AT&amp;T", "AT&amp;T" },                         // only markup titles are decoded
    };
    for ( const auto& c : cases )
        EXPECT_EQ(CleanTitle(U(c.in)), U(c.out)) << c.in;
}

TEST(PostText, LinksLoseSurroundingBlanksAndControls)
{
    EXPECT_EQ(CleanLink("  http://blog.example/post-1 \n"), "http://blog.example/post-1");
    EXPECT_EQ(CleanLink("http://blog.example/\r\nX-Injected: 1"),
              "http://blog.example/X-Injected: 1");
    EXPECT_EQ(CleanLink(U("http://blog.example/\xC2\x9B" "x")), "http://blog.example/x");
}

TEST(PostText, EscapedMarkupBecomesText)
{
    const struct
    {
        const char* in;
        const char* out;
    } cases[] =
    {
        { "AT&amp;T", "AT&T" },
        { "Example <b>Atom</b>", "Example Atom" },
        { "Hello<sup>2</sup>", "Hello2" },
        { "One<br/>Two<p>Three</p>", "One Two Three " },
        { "a < b &lt; c", "a < b < c" },
        { "&#169; &#x263A; &eacute; &hellip;", "\xC2\xA9 \xE2\x98\xBA \xC3\xA9 \xE2\x80\xA6" },
        { "&unknown; &#0; &#xD800; &", "&unknown; \xEF\xBF\xBD \xEF\xBF\xBD &" },
        { "unfinished <b", "unfinished " },
    };
    for ( const auto& c : cases )
        EXPECT_EQ(HtmlToText(U(c.in)), U(c.out)) << c.in;
}
