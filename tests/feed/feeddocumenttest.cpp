// Loading feed documents piece by piece into the tree wxXmlDocument::Load builds, refusing
// documents built to exhaust the machine or to reach outside.

#include "fixtureserver.h"
#include "testenv.h"

#include "feed/feeddocument.h"

#include <wx/dir.h>
#include <wx/mstream.h>
#include <wx/strconv.h>
#include <wx/xml/xml.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace
{

using Loader = FeedDocumentLoader;

// wxXmlDocument::Load drops the white-only pieces expat hands over before the first other
// character of a text run (expat splits runs at line breaks); the loader keeps the run whole.
// Only that leading white space is left out of the comparison.
void Dump(const wxXmlNode* node, int depth, std::vector<std::string>& lines)
{
    for ( ; node; node = node->GetNext() )
    {
        std::string line = std::string(2 * depth, ' ') + std::to_string(node->GetType()) + " <"
                           + node->GetName().utf8_string() + ">";
        for ( const wxXmlAttribute* attr = node->GetAttributes(); attr; attr = attr->GetNext() )
        {
            line += " " + attr->GetName().utf8_string() + "=[" + attr->GetValue().utf8_string()
                    + "]";
        }
        std::string content = node->GetContent().utf8_string();
        if ( node->GetType() == wxXML_TEXT_NODE )
            content.erase(0, content.find_first_not_of(" \t\r\n"));
        lines.push_back(line + " {" + content + "}");
        Dump(node->GetChildren(), depth + 1, lines);
    }
}

std::vector<std::string> Dump(const wxXmlDocument& doc)
{
    std::vector<std::string> lines{ doc.GetVersion().utf8_string() + " "
                                    + doc.GetFileEncoding().utf8_string() };
    Dump(doc.GetDocumentNode(), 0, lines);
    return lines;
}

// Cut at a character boundary, so that messages stay readable UTF-8.
std::string Shorten(std::string line)
{
    std::size_t end = std::min<std::size_t>(line.size(), 90);
    while ( end < line.size() && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80 )
        --end;
    return line.substr(0, end);
}

// Empty when both are the same, else the first line where they part.
std::string FirstDifference(const std::vector<std::string>& expected,
                            const std::vector<std::string>& actual)
{
    for ( std::size_t i = 0; i < std::max(expected.size(), actual.size()); ++i )
    {
        const std::string want = i < expected.size() ? expected[i] : "(nothing)";
        const std::string got = i < actual.size() ? actual[i] : "(nothing)";
        if ( want != got )
            return "line " + std::to_string(i) + "\n  expected: " + Shorten(want)
                   + "\n  actual:   " + Shorten(got);
    }
    return std::string();
}

// maxChunk 0 feeds everything at once, else pieces of 1 to maxChunk bytes.
Loader::Status Load(const std::string& xml, wxXmlDocument& doc, std::size_t maxChunk = 0,
                    const Loader::Stopper& stopper = Loader::Stopper())
{
    Loader loader(doc, stopper);
    std::minstd_rand random(20240611);
    for ( std::size_t at = 0; at < xml.size(); )
    {
        const std::size_t len = maxChunk == 0 ? xml.size() : 1 + random() % maxChunk;
        if ( !loader.Feed(xml.data() + at, std::min(len, xml.size() - at)) )
            break;
        at += len;
    }
    return loader.Finish();
}

std::string Nested(int depth)
{
    std::string xml;
    for ( int i = 0; i < depth; ++i )
        xml += "<a>";
    for ( int i = 0; i < depth; ++i )
        xml += "</a>";
    return xml;
}

std::string Repeat(const std::string& piece, int count)
{
    std::string all;
    all.reserve(piece.size() * count);
    for ( int i = 0; i < count; ++i )
        all += piece;
    return all;
}

std::string Utf16(const char* utf8, bool littleEndian)
{
    const wxString text = wxString::FromUTF8(utf8);
    const wxCharBuffer bytes = littleEndian ? text.mb_str(wxMBConvUTF16LE())
                                            : text.mb_str(wxMBConvUTF16BE());
    return (littleEndian ? "\xFF\xFE" : "\xFE\xFF") + std::string(bytes.data(), bytes.length());
}

} // anonymous namespace

TEST(FeedDocumentLoader, BuildsTheTreeLoadBuildsForEverySample)
{
    wxArrayString files;
    wxDir::GetAllFiles(FEEDQUILL_TEST_DATA_DIR "/feeds", &files, "*.xml", wxDIR_FILES);
    files.Sort();
    int compared = 0;
    int differing = 0;
    std::string differences;
    for ( const wxString& file : files )
    {
        const std::string xml = ReadBytes(file);
        wxXmlDocument reference;
        {
            LogCollector log;  // Load reports broken samples as errors
            wxMemoryInputStream in(xml.data(), xml.size());
            if ( !reference.Load(in, "UTF-8", wxXMLDOC_NONE) )
                continue;
        }
        // The loader refuses entity declarations on purpose.
        if ( xml.find("<!ENTITY") != std::string::npos )
            continue;
        ++compared;
        wxXmlDocument whole;
        wxXmlDocument pieces;
        EXPECT_EQ(Load(xml, whole), Loader::COMPLETE) << file;
        EXPECT_EQ(Load(xml, pieces, 7), Loader::COMPLETE) << file;
        // How the input is cut must not matter at all.
        EXPECT_EQ(FirstDifference(Dump(whole), Dump(pieces)), "") << file;
        const std::string difference = FirstDifference(Dump(reference), Dump(whole));
        if ( !difference.empty() && ++differing <= 10 )
            differences += file.AfterLast('/').utf8_string() + " " + difference + "\n";
    }
    EXPECT_GT(compared, 60);
    if ( differing > 0 )
    {
        ADD_FAILURE() << differing << " of " << compared << " samples load differently "
                      << "(expected: wxXmlDocument::Load), the first ones:\n" << differences;
    }
}

TEST(FeedDocumentLoader, KeepsElementsTextCdataAndCommentsLikeLoad)
{
    const std::string xml =
        "<r a=\"1\" b=\"&amp;&#233;\">\n"
        "  <!-- note -->\n"
        "  <t>  x &lt; y  </t>\n"
        "  <c><![CDATA[<b>bold</b>]]></c>\n"
        "  <m>before<![CDATA[inside]]>after</m>\n"
        "  <w> \t\r\n </w>\n"
        "</r>\n";
    wxXmlDocument doc;
    ASSERT_EQ(Load(xml, doc), Loader::COMPLETE);
    const wxXmlNode* root = doc.GetRoot();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->GetName(), "r");
    const wxXmlAttribute* attr = root->GetAttributes();
    ASSERT_NE(attr, nullptr);
    EXPECT_EQ(attr->GetName() + "=" + attr->GetValue(), "a=1");
    ASSERT_NE(attr->GetNext(), nullptr);
    EXPECT_EQ(attr->GetNext()->GetValue(), wxString::FromUTF8("&\xC3\xA9"));

    std::vector<std::pair<wxXmlNodeType, wxString>> children;
    for ( const wxXmlNode* child = root->GetChildren(); child; child = child->GetNext() )
        children.emplace_back(child->GetType(), child->GetName());
    const std::vector<std::pair<wxXmlNodeType, wxString>> expected = {
        { wxXML_COMMENT_NODE, "comment" }, { wxXML_ELEMENT_NODE, "t" },
        { wxXML_ELEMENT_NODE, "c" }, { wxXML_ELEMENT_NODE, "m" }, { wxXML_ELEMENT_NODE, "w" } };
    ASSERT_EQ(children, expected);

    const wxXmlNode* comment = root->GetChildren();
    EXPECT_EQ(comment->GetContent(), " note ");
    const wxXmlNode* t = comment->GetNext();
    ASSERT_NE(t->GetChildren(), nullptr);
    EXPECT_EQ(t->GetChildren()->GetType(), wxXML_TEXT_NODE);
    EXPECT_EQ(t->GetChildren()->GetContent(), "  x < y  ");
    EXPECT_EQ(t->GetChildren()->GetNext(), nullptr);
    const wxXmlNode* c = t->GetNext();
    ASSERT_NE(c->GetChildren(), nullptr);
    EXPECT_EQ(c->GetChildren()->GetType(), wxXML_CDATA_SECTION_NODE);
    EXPECT_EQ(c->GetChildren()->GetContent(), "<b>bold</b>");
    std::vector<std::pair<wxXmlNodeType, wxString>> mixed;
    for ( const wxXmlNode* child = c->GetNext()->GetChildren(); child; child = child->GetNext() )
        mixed.emplace_back(child->GetType(), child->GetContent());
    const std::vector<std::pair<wxXmlNodeType, wxString>> expectedMixed = {
        { wxXML_TEXT_NODE, "before" }, { wxXML_CDATA_SECTION_NODE, "inside" },
        { wxXML_TEXT_NODE, "after" } };
    EXPECT_EQ(mixed, expectedMixed);
    EXPECT_EQ(c->GetNext()->GetNext()->GetChildren(), nullptr);  // white space only
}

TEST(FeedDocumentLoader, MalformedInputLeavesNoDocument)
{
    for ( const std::string& xml : { std::string(), std::string("not xml at all"),
                                     std::string("<rss><channel><title>Blog</title>"),
                                     std::string("<a><b></a>"), std::string("<a/><b/>"),
                                     std::string("<a>&nbsp;</a>"),
                                     std::string("<r>caf\xE9</r>"),  // Latin-1, undeclared
                                     ReadBytes(FEEDQUILL_TEST_DATA_DIR
                                               "/feeds/struct-truncated.xml") } )
    {
        wxXmlDocument doc;
        EXPECT_EQ(Load(xml, doc), Loader::MALFORMED) << xml.substr(0, 80);
        EXPECT_FALSE(doc.IsOk()) << xml.substr(0, 80);
        EXPECT_EQ(doc.GetRoot(), nullptr) << xml.substr(0, 80);
    }
}

TEST(FeedDocumentLoader, RefusesEntityDeclarationsAndNeverReachesOut)
{
    FixtureServer server;
    ASSERT_TRUE(server.IsOk());
    server.Serve("/x", FixtureServer::Response(200, "<!ENTITY e 'fetched'>"));
    const std::string remote = server.Url("/x");
    const std::string laughs =
        "<!DOCTYPE r [<!ENTITY l0 'ha'>"
        "<!ENTITY l1 '&l0;&l0;&l0;&l0;&l0;&l0;&l0;&l0;&l0;&l0;'>"
        "<!ENTITY l2 '&l1;&l1;&l1;&l1;&l1;&l1;&l1;&l1;&l1;&l1;'>"
        "<!ENTITY l3 '&l2;&l2;&l2;&l2;&l2;&l2;&l2;&l2;&l2;&l2;'>]><r>&l3;&l3;</r>";
    for ( const std::string& xml :
          { laughs, std::string("<!DOCTYPE r [<!ENTITY % p '<!ENTITY e \"x\">'> %p;]><r>&e;</r>"),
            std::string("<!DOCTYPE r [<!ENTITY e SYSTEM 'file:///etc/passwd'>]><r>&e;</r>"),
            "<!DOCTYPE r [<!ENTITY e SYSTEM '" + remote + "'>]><r>&e;</r>",
            "<!DOCTYPE r [<!ENTITY % p SYSTEM '" + remote + "'> %p;]><r/>",
            std::string("<!DOCTYPE r [<!NOTATION n SYSTEM 'n'><!ENTITY e SYSTEM 'x' NDATA n>]>"
                        "<r/>") } )
    {
        wxXmlDocument doc;
        Loader loader(doc);
        EXPECT_FALSE(loader.Feed(xml.data(), xml.size())) << xml;
        EXPECT_EQ(loader.Finish(), Loader::REFUSED) << xml;
        EXPECT_EQ(doc.GetRoot(), nullptr) << xml;
    }

    // Naming an external DTD is common in old RSS and harmless as long as nothing is fetched.
    for ( const std::string& doctype :
          { std::string("<!DOCTYPE rss PUBLIC \"-//Netscape Communications//DTD RSS 0.91//EN\"\n"
                        "  \"http://my.netscape.com/publish/formats/rss-0.91.dtd\">"),
            "<!DOCTYPE rss SYSTEM '" + remote + "'>" } )
    {
        wxXmlDocument doc;
        EXPECT_EQ(Load("<?xml version=\"1.0\"?>\n" + doctype
                       + "\n<rss version=\"0.91\"><channel><title>Blog</title></channel></rss>",
                       doc), Loader::COMPLETE) << doctype;
        ASSERT_NE(doc.GetRoot(), nullptr) << doctype;
        EXPECT_EQ(doc.GetRoot()->GetName(), "rss");
    }
    EXPECT_EQ(server.RequestCount(), 0u);
}

TEST(FeedDocumentLoader, RefusesNestingBeyondTheLimit)
{
    wxXmlDocument doc;
    EXPECT_EQ(Load(Nested(Loader::MAX_DEPTH), doc), Loader::COMPLETE);
    EXPECT_EQ(Load(Nested(Loader::MAX_DEPTH + 1), doc), Loader::REFUSED);
    EXPECT_EQ(doc.GetRoot(), nullptr);

    EXPECT_EQ(Load(Nested(1000000), doc), Loader::REFUSED);
}

TEST(FeedDocumentLoader, RefusesMoreNodesThanTheLimit)
{
    const int children = static_cast<int>(Loader::MAX_NODES) - 1;  // with the root: the limit
    const struct
    {
        const char* name;
        std::string xml;
        Loader::Status status;
    } cases[] =
    {
        { "at the limit", "<r>" + Repeat("<i/>", children) + "</r>", Loader::COMPLETE },
        { "one element more", "<r>" + Repeat("<i/>", children) + "<i/></r>", Loader::REFUSED },
        { "one comment more", "<r>" + Repeat("<i/>", children) + "<!--c--></r>",
          Loader::REFUSED },
        { "one CDATA more", "<r>" + Repeat("<i/>", children) + "<![CDATA[c]]></r>",
          Loader::REFUSED },
        { "one text more", "<r>" + Repeat("<i/>", children) + "text</r>", Loader::REFUSED },
    };
    for ( const auto& c : cases )
    {
        wxXmlDocument doc;
        EXPECT_EQ(Load(c.xml, doc), c.status) << c.name;
        EXPECT_EQ(doc.GetRoot() != nullptr, c.status == Loader::COMPLETE) << c.name;
    }
}

TEST(FeedDocumentLoader, DecodesDeclaredEncodings)
{
    const struct
    {
        std::string xml;
        const char* text;  // UTF-8
    } cases[] =
    {
        { "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r>caf\xE9 \xBD</r>",
          "caf\xC3\xA9 \xC2\xBD" },
        { "<?xml version=\"1.0\" encoding=\"windows-1252\"?><r>\x80 \x93q\x94\x85</r>",
          "\xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D\xE2\x80\xA6" },
        { "<?xml version='1.0' encoding='KOI8-R'?><r>\xF0\xD2\xC9\xD7\xC5\xD4</r>",
          "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82" },
        { Utf16("<?xml version=\"1.0\" encoding=\"UTF-16\"?><r>caf\xC3\xA9 \xE2\x82\xAC</r>", true),
          "caf\xC3\xA9 \xE2\x82\xAC" },
        { Utf16("<r>caf\xC3\xA9 \xE2\x82\xAC</r>", false), "caf\xC3\xA9 \xE2\x82\xAC" },
        // Blank lines before the declaration, as some blog engines send.
        { "\r\n\n<?xml version=\"1.0\" encoding=\"utf-8\"?><r>caf\xC3\xA9</r>", "caf\xC3\xA9" },
    };
    for ( const auto& c : cases )
    {
        for ( const std::size_t maxChunk : { 0, 1 } )
        {
            wxXmlDocument doc;
            EXPECT_EQ(Load(c.xml, doc, maxChunk), Loader::COMPLETE) << c.text;
            ASSERT_NE(doc.GetRoot(), nullptr) << c.text;
            EXPECT_EQ(doc.GetRoot()->GetNodeContent(), wxString::FromUTF8(c.text));
        }
    }
}

TEST(FeedDocumentLoader, AsksTheStopperAtEachClosingElement)
{
    const std::string xml =
        "<rss><channel><title>Blog</title>"
        "<item><title>First</title><link>http://blog.example/1</link></item>"
        "<item><title>Second</title></item></channel></rss>";
    std::vector<std::string> calls;
    const auto record = [&calls](const wxXmlNode& element, int depth)
    {
        calls.push_back(element.GetName().utf8_string() + "@" + std::to_string(depth) + " "
                        + element.GetNodeContent().utf8_string());
        return Loader::READ_ON;
    };
    wxXmlDocument doc;
    EXPECT_EQ(Load(xml, doc, 0, record), Loader::COMPLETE);
    const std::vector<std::string> all = {
        "title@3 Blog", "title@4 First", "link@4 http://blog.example/1", "item@3 ",
        "title@4 Second", "item@3 ", "channel@2 ", "rss@1 " };
    EXPECT_EQ(calls, all);

    // Fed a byte at a time, loading must end with the '>' that closes the first item, or with
    // the byte after it, which expat may wait for before it reports the tag.
    const std::size_t stopAt = xml.find("</item>") + 7;
    for ( const std::size_t maxChunk : { 0, 1 } )
    {
        calls.clear();
        wxXmlDocument stopped;
        Loader loader(stopped, [&](const wxXmlNode& element, int depth)
                      {
                          record(element, depth);
                          return depth == 3 && element.GetName() == "item" ? Loader::STOP
                                                                           : Loader::READ_ON;
                      });
        std::size_t fed = 0;
        const std::size_t len = maxChunk == 0 ? xml.size() : 1;
        while ( fed < xml.size() && loader.Feed(xml.data() + fed, len) )
            fed += len;
        EXPECT_EQ(loader.GetStatus(), Loader::STOPPED);
        if ( maxChunk == 1 )
        {
            EXPECT_GE(fed + 1, stopAt);
            EXPECT_LE(fed + 1, stopAt + 1);
        }
        EXPECT_FALSE(loader.Feed("<x/>", 4));
        EXPECT_EQ(loader.Finish(), Loader::STOPPED);
        EXPECT_EQ(calls, std::vector<std::string>(all.begin(), all.begin() + 4));

        const wxXmlNode* channel = stopped.GetRoot() ? stopped.GetRoot()->GetChildren() : nullptr;
        ASSERT_NE(channel, nullptr);
        std::vector<wxString> kept;
        for ( const wxXmlNode* child = channel->GetChildren(); child; child = child->GetNext() )
            kept.push_back(child->GetName() + ":" + child->GetNodeContent());
        const wxXmlNode* item = channel->GetChildren()->GetNext();
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(kept, std::vector<wxString>({ "title:Blog", "item:" }));
        EXPECT_EQ(item->GetChildren()->GetNext()->GetNodeContent(), "http://blog.example/1");
        EXPECT_EQ(item->GetNext(), nullptr);
    }
}

// Appending children or attributes by walking their lists would take minutes here; the bound is
// loose so that a slow machine passes.
// How the time grows with the count is measured in bench/ (LoadSiblings, LoadAttributes).
TEST(FeedDocumentLoader, LoadsManySiblingsAndAttributes)
{
    wxXmlDocument siblings;
    ASSERT_EQ(Load("<r>" + Repeat("<i>post</i>text", 33333) + "</r>", siblings),
              Loader::COMPLETE);
    const wxXmlNode* last = siblings.GetRoot()->GetChildren();
    int count = 1;
    for ( ; last->GetNext(); last = last->GetNext() )
        ++count;
    EXPECT_EQ(count, 66666);
    EXPECT_EQ(last->GetContent(), "text");

    std::string xml = "<r";
    for ( int i = 0; i < 100000; ++i )
        xml += " a" + std::to_string(i) + "=\"" + std::to_string(i) + "\"";
    wxXmlDocument attributes;
    ASSERT_EQ(Load(xml + "/>", attributes), Loader::COMPLETE);
    const wxXmlAttribute* attr = attributes.GetRoot()->GetAttributes();
    for ( int i = 0; attr; attr = attr->GetNext(), ++i )
    {
        if ( attr->GetName() != "a" + std::to_string(i) )
        {
            ADD_FAILURE() << "attribute " << i << " is " << attr->GetName();
            break;
        }
        count = i + 1;
    }
    EXPECT_EQ(count, 100000);
}

// A character of a legacy encoding split between two pieces of input waits for the second.
TEST(FeedDocumentLoader, DecodesLegacyEncodingsPieceByPiece)
{
    const struct
    {
        const char* encoding;
        std::string text;
    } cases[] =
    {
        { "Shift_JIS", "\x93\xFA\x96\x7B\x8C\xEA" },
        { "ISO-2022-JP", "\x1B$BF|K\\8l\x1B(B" },
        { "GB18030", "\x81\x30\x81\x30\xD6\xD0" },
    };
    for ( const auto& c : cases )
    {
        for ( const std::size_t maxChunk : { 0, 1, 3 } )
        {
            wxXmlDocument doc;
            const std::string xml = std::string("<?xml version=\"1.0\" encoding=\"") + c.encoding
                                    + "\"?><r>" + c.text + "</r>";
            EXPECT_EQ(Load(xml, doc, maxChunk), Loader::COMPLETE) << c.encoding;
            ASSERT_NE(doc.GetRoot(), nullptr) << c.encoding;
            const wxString expected = wxString(c.text.data(), wxCSConv(c.encoding), c.text.size());
            EXPECT_FALSE(expected.empty()) << c.encoding;
            EXPECT_EQ(doc.GetRoot()->GetNodeContent(), expected) << c.encoding << " " << maxChunk;
        }
    }
}
