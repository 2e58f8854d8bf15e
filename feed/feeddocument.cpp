#include "feed/feeddocument.h"

#include "feed/htmlentities.h"

#include <wx/xml/xml.h>

#include <algorithm>
#include <cstring>

namespace
{

wxString FromUtf8(const char* text, std::size_t len)
{
    // expat hands out UTF-8 only, whatever the document's encoding.
    return wxString::FromUTF8Unchecked(text, len);
}

wxString FromUtf8(const char* text)
{
    return FromUtf8(text, std::strlen(text));
}

bool IsWhiteOnly(const std::string& text)
{
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

bool EndsWith(const std::string& text, const char* suffix)
{
    const std::size_t length = std::strlen(suffix);
    return text.size() >= length && text.compare(text.size() - length, length, suffix) == 0;
}

// Whether an external entity is one of HTML's entity sets (lat1, symbol, special, of HTML 4 or
// XHTML 1), whose names are HTML's own, or a DTD that holds them: XHTML 1, HTML 4, RSS 0.91.
bool NamesHtmlEntities(const char* systemId, const char* publicId)
{
    const std::string pub = publicId ? publicId : "";
    const std::string sys = systemId ? systemId : "";
    if ( pub.compare(0, 17, "-//W3C//ENTITIES ") == 0
         && (pub.find("Latin") != std::string::npos || pub.find("Symbols") != std::string::npos
             || pub.find("Special") != std::string::npos) )
        return true;
    for ( const char* file : { "/xhtml-lat1.ent", "/xhtml-symbol.ent", "/xhtml-special.ent",
                               "/HTMLlat1.ent", "/HTMLsymbol.ent", "/HTMLspecial.ent" } )
    {
        if ( EndsWith(sys, file) )
            return true;
    }
    return pub == "-//Netscape Communications//DTD RSS 0.91//EN"
           || pub.compare(0, 22, "-//W3C//DTD XHTML 1.0 ") == 0
           || pub.compare(0, 17, "-//W3C//DTD HTML 4") == 0;
}

} // anonymous namespace

FeedDocumentLoader::FeedDocumentLoader(wxXmlDocument& doc, const Stopper& stopper)
    : m_doc(doc),
      m_stopper(stopper),
      m_parser(XML_ParserCreate(nullptr), XML_ParserFree)
{
    auto* docNode = new wxXmlNode(wxXML_DOCUMENT_NODE, wxString());
    m_doc.SetDocumentNode(docNode);
    m_open.push_back({docNode, nullptr});

    XML_Parser parser = m_parser.get();
    if ( !parser )
    {
        End(MALFORMED);
        return;
    }
    XML_SetUserData(parser, this);
    XML_SetElementHandler(parser, OnStartElement, OnEndElement);
    XML_SetCharacterDataHandler(parser, OnText);
    XML_SetCdataSectionHandler(parser, OnStartCdata, OnEndCdata);
    XML_SetCommentHandler(parser, OnComment);
    XML_SetProcessingInstructionHandler(parser, OnProcessingInstruction);
    XML_SetXmlDeclHandler(parser, OnXmlDecl);
    XML_SetEntityDeclHandler(parser, OnEntityDecl);
    XML_SetSkippedEntityHandler(parser, OnSkippedEntity);
    // Neither the external DTD nor any external entity is ever read: no handler loads them.
    XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_NEVER);
}

FeedDocumentLoader::~FeedDocumentLoader() = default;

bool FeedDocumentLoader::Feed(const char* data, std::size_t size)
{
    if ( m_status != LOADING )
        return false;
    // Some blog engines emit blank lines before the XML declaration, which XML forbids;
    // browsers and feed readers let it pass, and so does this.
    while ( m_atStart && size > 0 && std::strchr(" \t\r\n", *data) && *data )
    {
        ++data;
        --size;
    }
    if ( size > 0 )
        m_atStart = false;
    if ( !m_sniffed )
    {
        // The start tells the encoding; only so much of it is copied, however large the piece.
        const std::size_t taken = std::min(size, SNIFF_BYTES - std::min(SNIFF_BYTES, m_head.size()));
        m_head.append(data, taken);
        data += taken;
        size -= taken;
        if ( !Sniff(false) )
        {
            m_head.append(data, size);
            return true;
        }
    }
    Parse(data, size);
    return m_status == LOADING;
}

bool FeedDocumentLoader::Sniff(bool atEnd)
{
    if ( m_status != LOADING )
        return true;
    if ( !SniffEncoding(m_head, atEnd, m_encoding) )
        return false;
    m_sniffed = true;
    if ( m_encoding.supported && !m_encoding.iconvName.empty() )
    {
        m_transcoder.reset(new Utf8Transcoder);
        m_encoding.supported = m_transcoder->Open(m_encoding.iconvName);
    }
    if ( !m_encoding.supported )
    {
        End(UNSUPPORTED_ENCODING);
        return true;
    }
    // expat reads UTF-8 only now, whatever the declaration says.
    XML_SetEncoding(m_parser.get(), "UTF-8");
    std::string head;
    head.swap(m_head);
    Parse(head.data() + m_encoding.bomLength, head.size() - m_encoding.bomLength);
    return true;
}

void FeedDocumentLoader::Parse(const char* data, std::size_t size)
{
    // In slices, so that the transcoding too ends where the reader has what it needs; expat
    // takes int lengths anyway.
    const std::size_t SLICE = m_transcoder ? 64 << 10 : 1 << 20;
    std::string utf8;
    while ( size > 0 && m_status == LOADING )
    {
        const std::size_t len = size < SLICE ? size : SLICE;
        const char* piece = data;
        std::size_t pieceLength = len;
        if ( m_transcoder )
        {
            utf8.clear();
            m_transcoder->Convert(data, len, utf8);
            piece = utf8.data();
            pieceLength = utf8.size();
        }
        if ( XML_Parse(m_parser.get(), piece, static_cast<int>(pieceLength), XML_FALSE)
             == XML_STATUS_ERROR && m_status == LOADING )
            End(MALFORMED);
        data += len;
        size -= len;
    }
}

FeedDocumentLoader::Status FeedDocumentLoader::Finish()
{
    if ( m_status == LOADING && !m_sniffed )
        Sniff(true);
    if ( m_status == LOADING && m_transcoder )
    {
        std::string rest;
        m_transcoder->Finish(rest);
        m_transcoder.reset();
        Parse(rest.data(), rest.size());
    }
    if ( m_status != LOADING )
        return m_status;
    if ( XML_Parse(m_parser.get(), nullptr, 0, XML_TRUE) == XML_STATUS_ERROR )
        End(MALFORMED);
    else
        End(COMPLETE);
    return m_status;
}

void FeedDocumentLoader::End(Status status, const char* refusal)
{
    if ( status == MALFORMED && m_parser )
    {
        XML_Parser parser = m_parser.get();
        m_problem = std::string(XML_ErrorString(XML_GetErrorCode(parser))) + " at line "
                    + std::to_string(XML_GetCurrentLineNumber(parser)) + ", column "
                    + std::to_string(XML_GetCurrentColumnNumber(parser) + 1);
    }
    else if ( refusal )
        m_problem = refusal;
    m_status = status;
    m_open.clear();
    if ( status == MALFORMED || status == REFUSED || status == UNSUPPORTED_ENCODING )
        m_doc.SetDocumentNode(nullptr);
    if ( status != COMPLETE && m_parser )
        XML_StopParser(m_parser.get(), XML_FALSE);
}

void FeedDocumentLoader::Append(wxXmlNode* node)
{
    Open& parent = m_open.back();
    // InsertChildAfter with the last child known keeps appending constant in time; AddChild
    // walks the whole list of children first.
    parent.node->InsertChildAfter(node, parent.lastChild);
    parent.lastChild = node;
    ++m_nodes;
}

bool FeedDocumentLoader::HasRoomForNode()
{
    if ( m_nodes < MAX_NODES )
        return true;
    End(REFUSED, "it has more than 100,000 nodes before its newest post");
    return false;
}

bool FeedDocumentLoader::FlushText()
{
    if ( m_inCdata || m_text.empty() )
        return true;
    if ( !IsWhiteOnly(m_text) )
    {
        if ( !HasRoomForNode() )
            return false;
        Append(new wxXmlNode(wxXML_TEXT_NODE, "text", FromUtf8(m_text.data(), m_text.size()),
                             XML_GetCurrentLineNumber(m_parser.get())));
    }
    m_text.clear();
    return true;
}

void FeedDocumentLoader::OnStartElement(void* data, const char* name, const char** attrs)
{
    auto* self = static_cast<FeedDocumentLoader*>(data);
    if ( self->m_status != LOADING )
        return;
    if ( !self->FlushText() || !self->HasRoomForNode() )
        return;
    if ( static_cast<int>(self->m_open.size()) > MAX_DEPTH )
    {
        self->End(REFUSED, "it is nested deeper than 256 levels");
        return;
    }

    // Linked from the last attribute backwards, so that building the list stays linear.
    std::size_t count = 0;
    while ( attrs[count] )
        count += 2;
    wxXmlAttribute* first = nullptr;
    for ( std::size_t i = count; i > 0; i -= 2 )
        first = new wxXmlAttribute(FromUtf8(attrs[i - 2]), FromUtf8(attrs[i - 1]), first);

    auto* node = new wxXmlNode(nullptr, wxXML_ELEMENT_NODE, FromUtf8(name), wxString(), first,
                               nullptr, XML_GetCurrentLineNumber(self->m_parser.get()));
    self->Append(node);
    self->m_open.push_back({node, nullptr});
}

void FeedDocumentLoader::OnEndElement(void* data, const char* WXUNUSED(name))
{
    auto* self = static_cast<FeedDocumentLoader*>(data);
    if ( self->m_status != LOADING || !self->FlushText() )
        return;
    const int depth = static_cast<int>(self->m_open.size()) - 1;
    wxXmlNode* element = self->m_open.back().node;
    self->m_open.pop_back();
    const Verdict verdict = self->m_stopper ? self->m_stopper(*element, depth) : READ_ON;
    if ( verdict == STOP )
        self->End(STOPPED);
    else if ( verdict == FORGET )
        self->Forget(element);
}

void FeedDocumentLoader::Forget(wxXmlNode* element)
{
    // The element is the last child of the open one; the one before it becomes the last.
    Open& parent = m_open.back();
    wxXmlNode* before = nullptr;
    for ( wxXmlNode* child = parent.node->GetChildren(); child != element;
          child = child->GetNext() )
        before = child;
    parent.node->RemoveChild(element);
    parent.lastChild = before;
    std::vector<const wxXmlNode*> pending = { element };
    while ( !pending.empty() )
    {
        const wxXmlNode* node = pending.back();
        pending.pop_back();
        --m_nodes;
        for ( const wxXmlNode* child = node->GetChildren(); child; child = child->GetNext() )
            pending.push_back(child);
    }
    delete element;
}

void FeedDocumentLoader::OnText(void* data, const char* text, int len)
{
    auto* self = static_cast<FeedDocumentLoader*>(data);
    if ( self->m_status == LOADING )
        self->m_text.append(text, static_cast<std::size_t>(len));
}

void FeedDocumentLoader::OnStartCdata(void* data)
{
    auto* self = static_cast<FeedDocumentLoader*>(data);
    if ( self->m_status != LOADING || !self->FlushText() )
        return;
    self->m_inCdata = true;
}

void FeedDocumentLoader::OnEndCdata(void* data)
{
    auto* self = static_cast<FeedDocumentLoader*>(data);
    if ( self->m_status != LOADING )
        return;
    self->m_inCdata = false;
    if ( !self->HasRoomForNode() )
        return;
    self->Append(new wxXmlNode(wxXML_CDATA_SECTION_NODE, "cdata",
                               FromUtf8(self->m_text.data(), self->m_text.size()),
                               XML_GetCurrentLineNumber(self->m_parser.get())));
    self->m_text.clear();
}

void FeedDocumentLoader::OnComment(void* data, const char* text)
{
    auto* self = static_cast<FeedDocumentLoader*>(data);
    if ( self->m_status != LOADING || !self->FlushText() || !self->HasRoomForNode() )
        return;
    self->Append(new wxXmlNode(wxXML_COMMENT_NODE, "comment", FromUtf8(text),
                               XML_GetCurrentLineNumber(self->m_parser.get())));
}

void FeedDocumentLoader::OnProcessingInstruction(void* data, const char* target,
                                                 const char* text)
{
    auto* self = static_cast<FeedDocumentLoader*>(data);
    if ( self->m_status != LOADING || !self->FlushText() || !self->HasRoomForNode() )
        return;
    self->Append(new wxXmlNode(wxXML_PI_NODE, FromUtf8(target), FromUtf8(text),
                               XML_GetCurrentLineNumber(self->m_parser.get())));
}

void FeedDocumentLoader::OnXmlDecl(void* data, const char* version, const char* encoding,
                                   int WXUNUSED(standalone))
{
    auto* self = static_cast<FeedDocumentLoader*>(data);
    if ( version )
        self->m_doc.SetVersion(FromUtf8(version));
    if ( encoding )
        self->m_doc.SetFileEncoding(FromUtf8(encoding));
}

// A feed has no use for entities of its own, and declaring them is how a document blows up
// into gigabytes or reaches for local files. Only naming HTML's entity sets is let pass: they
// are never read, their names are known.
void FeedDocumentLoader::OnEntityDecl(void* data, const char* WXUNUSED(name), int isParameter,
                                      const char* value, int WXUNUSED(valueLength),
                                      const char* WXUNUSED(base), const char* systemId,
                                      const char* publicId, const char* WXUNUSED(notation))
{
    if ( !isParameter || value || !NamesHtmlEntities(systemId, publicId) )
        static_cast<FeedDocumentLoader*>(data)->End(REFUSED,
                                                    "it declares entities, which feeds never "
                                                    "need");
}

// A reference to an entity that the external DTD, which is never read, would declare. Feeds
// that name a DTD use HTML's names (&nbsp;, &eacute;), whichever DTD they name: those are HTML's
// characters; any other name is left out, as feed readers have always done.
void FeedDocumentLoader::OnSkippedEntity(void* data, const char* name, int isParameter)
{
    auto* self = static_cast<FeedDocumentLoader*>(data);
    if ( self->m_status != LOADING || isParameter )
        return;
    std::string text;
    if ( LookUpHtmlDtdEntity(name, text) )
        self->m_text += text;
}
