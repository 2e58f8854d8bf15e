#include "testenv.h"
#include "feed/feeddocument.h"
#include <wx/dir.h>
#include <wx/mstream.h>
#include <wx/xml/xml.h>
#include <gtest/gtest.h>
#include <random>
#include <sstream>
#include <fstream>

namespace
{
void Dump(const wxXmlNode* node, int depth, std::string& out)
{
    for ( ; node; node = node->GetNext() )
    {
        out += std::string(depth * 2, ' ') + std::to_string(node->GetType()) + " ["
               + node->GetName().utf8_string() + "]";
        for ( const wxXmlAttribute* a = node->GetAttributes(); a; a = a->GetNext() )
            out += " " + a->GetName().utf8_string() + "=\"" + a->GetValue().utf8_string() + "\"";
        if ( node->GetType() != wxXML_ELEMENT_NODE )
            out += " {" + node->GetContent().utf8_string() + "}";
        out += "\n";
        Dump(node->GetChildren(), depth + 1, out);
    }
}
}

TEST(FeedDocumentExplore, Samples)
{
    wxArrayString files;
    wxDir::GetAllFiles(FEEDQUILL_TEST_DATA_DIR "/feeds", &files, "*.xml");
    files.Sort();
    for ( const wxString& file : files )
    {
        const std::string bytes = ReadBytes(file);
        wxXmlDocument ref;
        bool ok;
        {
            wxLogNull quiet;
            wxMemoryInputStream in(bytes.data(), bytes.size());
            ok = ref.Load(in);
        }
        wxXmlDocument doc;
        FeedDocumentLoader loader(doc);
        loader.Feed(bytes.data(), bytes.size());
        const int status = loader.Finish();
        std::string a, b;
        if ( ok ) Dump(ref.GetDocumentNode(), 0, a);
        if ( doc.GetDocumentNode() ) Dump(doc.GetDocumentNode(), 0, b);
        std::cout << file.AfterLast('/') << " load=" << ok << " status=" << status
                  << " same=" << (a == b) << " ver " << ref.GetVersion() << "/" << doc.GetVersion()
                  << " enc " << ref.GetFileEncoding() << "/" << doc.GetFileEncoding() << "\n";
        if ( ok && a != b )
        {
            std::ofstream(std::string("/tmp/fqx/") + file.AfterLast('/').utf8_string() + ".wx") << a;
            std::ofstream(std::string("/tmp/fqx/") + file.AfterLast('/').utf8_string() + ".ld") << b;
        }
    }
}
TEST(FeedDocumentExplore, Blank)
{
    const std::string bytes = ReadBytes(FEEDQUILL_TEST_DATA_DIR "/feeds/real-wordpress-blank-line-before-decl.xml");
    wxXmlDocument doc;
    FeedDocumentLoader loader(doc);
    std::cout << "feed " << loader.Feed(bytes.data(), bytes.size()) << " status " << loader.GetStatus() << "\n";
    std::cout << "finish " << loader.Finish() << " root " << (doc.GetRoot() != nullptr) << "\n";
}
