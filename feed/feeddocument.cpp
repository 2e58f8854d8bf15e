#include "feed/feeddocument.h"

#include <wx/strconv.h>
#include <wx/xml/xml.h>

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

// Single-byte encodings that expat lacks (windows-1252, KOI8-R, ...), through the toolkit's
// converters, as wxXmlDocument::Load supports them.
int OnUnknownEncoding(void* WXUNUSED(data), const XML_Char* name, XML_Encoding* info)
{
    wxCSConv conv(FromUtf8(name));
    if ( !conv.IsOk() )
        return XML_STATUS_ERROR;
    for ( int i = 0; i < 256; ++i )
    {
        const char in = static_cast<char>(i);
        wchar_t out[4];
        info->map[i] = conv.ToWChar(out, 4, &in, 1) == 1 ? static_cast<int>(out[0]) : -1;
    }
    info->data = nullptr;
    info->convert = nullptr;
    info->release = nullptr;
    return XML_STATUS_OK;
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
    XML_SetUnknownEncodingHandler(parser, OnUnknownEncoding, nullptr);
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
    // expat takes int lengths.
    const std::size_t CHUNK = 1 << 20;
    while ( size > 0 && m_status == LOADING )
    {
        const std::size_t len = size < CHUNK ? size : CHUNK;
        if ( XML_Parse(m_parser.get(), data, static_cast<int>(len), XML_FALSE)
             == XML_STATUS_ERROR && m_status == LOADING )
            End(MALFORMED);
        data += len;
        size -= len;
    }
    return m_status == LOADING;
}

FeedDocumentLoader::Status FeedDocumentLoader::Finish()
{
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
    if ( status == MALFORMED || status == REFUSED )
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
    const wxXmlNode* element = self->m_open.back().node;
    self->m_open.pop_back();
    if ( self->m_stopper && self->m_stopper(*element, depth) )
        self->End(STOPPED);
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
// into gigabytes or reaches for local files.
void FeedDocumentLoader::OnEntityDecl(void* data, const char* WXUNUSED(name),
                                      int WXUNUSED(isParameter), const char* WXUNUSED(value),
                                      int WXUNUSED(valueLength), const char* WXUNUSED(base),
                                      const char* WXUNUSED(systemId),
                                      const char* WXUNUSED(publicId),
                                      const char* WXUNUSED(notation))
{
    static_cast<FeedDocumentLoader*>(data)->End(REFUSED, "it declares entities, which feeds "
                                                         "never need");
}
