#ifndef FEEDQUILL_FEED_FEEDDOCUMENT_H
#define FEEDQUILL_FEED_FEEDDOCUMENT_H

#include "feed/feedencoding.h"

#include <expat.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class wxXmlDocument;
class wxXmlNode;

// Builds a wxXmlDocument from bytes as they arrive, with the nodes wxXmlDocument::Load makes
// (elements, text, CDATA, comments, processing instructions; text that is only white space
// dropped), so that a feed can
// be read only as far as its newest post. Unlike the toolkit's loader it costs time linear in
// the input, refuses entity declarations and absurd nesting, and never loads anything external.
// The encoding is found as browsers find it (feedencoding.h); the entity sets of HTML that a
// DOCTYPE names, or that of RSS 0.91, give HTML's characters without being read.
class FeedDocumentLoader
{
public:
    enum Status
    {
        LOADING,
        COMPLETE,   // the whole document was read
        STOPPED,    // the stopper found what it needed; the document holds everything up to it
        MALFORMED,  // not well-formed XML; the document was emptied
        REFUSED,    // too deep, too many nodes, or entity declarations; the document was emptied
        UNSUPPORTED_ENCODING  // written in an encoding that cannot be decoded; emptied
    };

    // What the stopper says of an element that has just closed.
    enum Verdict
    {
        READ_ON,
        STOP,    // loading ends here
        FORGET   // the element and what it holds are of no more use: they leave the document
    };

    // Asked each time an element closes (depth 1 is the root).
    using Stopper = std::function<Verdict(const wxXmlNode& element, int depth)>;

    static constexpr int MAX_DEPTH = 256;
    // The most of a document's start kept to find its encoding.
    static constexpr std::size_t SNIFF_BYTES = 4096;
    static constexpr std::size_t MAX_NODES = 100000;

    explicit FeedDocumentLoader(wxXmlDocument& doc, const Stopper& stopper = Stopper());
    ~FeedDocumentLoader();

    // Parses the next piece of input; false once loading has ended, for good or bad.
    bool Feed(const char* data, std::size_t size);
    // Marks the end of the input.
    Status Finish();

    Status GetStatus() const { return m_status; }
    // Why the document is MALFORMED (expat's words and the place) or REFUSED; else empty.
    const std::string& GetProblem() const { return m_problem; }
    // The encoding the document names, or its byte-order mark; empty for UTF-8 unnamed.
    const std::string& GetEncodingLabel() const { return m_encoding.label; }

private:
    struct Open
    {
        wxXmlNode* node;
        wxXmlNode* lastChild;
    };

    // Finds the encoding once the start of the document has come, then parses what waited.
    bool Sniff(bool atEnd);
    void Parse(const char* data, std::size_t size);
    void Append(wxXmlNode* node);
    void Forget(wxXmlNode* element);
    // Both false once the document has been refused.
    bool FlushText();
    bool HasRoomForNode();
    // refusal: why a REFUSED document was refused.
    void End(Status status, const char* refusal = nullptr);

    static void OnStartElement(void* self, const char* name, const char** attrs);
    static void OnEndElement(void* self, const char* name);
    static void OnText(void* self, const char* text, int len);
    static void OnStartCdata(void* self);
    static void OnEndCdata(void* self);
    static void OnComment(void* self, const char* text);
    static void OnProcessingInstruction(void* self, const char* target, const char* text);
    static void OnSkippedEntity(void* self, const char* name, int isParameter);
    static void OnXmlDecl(void* self, const char* version, const char* encoding, int standalone);
    static void OnEntityDecl(void* self, const char* name, int isParameter, const char* value,
                             int valueLength, const char* base, const char* systemId,
                             const char* publicId, const char* notation);

    wxXmlDocument& m_doc;
    Stopper m_stopper;
    std::unique_ptr<XML_ParserStruct, void (*)(XML_Parser)> m_parser;
    std::vector<Open> m_open;
    std::string m_text;
    bool m_atStart = true;
    bool m_sniffed = false;
    std::string m_head;  // the first bytes, until they tell the encoding
    DocumentEncoding m_encoding;
    std::unique_ptr<Utf8Transcoder> m_transcoder;  // for all but UTF-8
    bool m_inCdata = false;
    std::size_t m_nodes = 0;
    Status m_status = LOADING;
    std::string m_problem;
};

#endif
