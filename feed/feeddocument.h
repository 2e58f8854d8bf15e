#ifndef FEEDQUILL_FEED_FEEDDOCUMENT_H
#define FEEDQUILL_FEED_FEEDDOCUMENT_H

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
class FeedDocumentLoader
{
public:
    enum Status
    {
        LOADING,
        COMPLETE,   // the whole document was read
        STOPPED,    // the stopper found what it needed; the document holds everything up to it
        MALFORMED,  // not well-formed XML; the document was emptied
        REFUSED     // too deep, too many nodes, or entity declarations; the document was emptied
    };

    // Asked each time an element closes (depth 1 is the root); true ends the loading.
    using Stopper = std::function<bool(const wxXmlNode& element, int depth)>;

    static const int MAX_DEPTH = 256;
    static const std::size_t MAX_NODES = 100000;

    explicit FeedDocumentLoader(wxXmlDocument& doc, const Stopper& stopper = Stopper());
    ~FeedDocumentLoader();

    // Parses the next piece of input; false once loading has ended, for good or bad.
    bool Feed(const char* data, std::size_t size);
    // Marks the end of the input.
    Status Finish();

    Status GetStatus() const { return m_status; }
    // Why the document is MALFORMED (expat's words and the place) or REFUSED; else empty.
    const std::string& GetProblem() const { return m_problem; }

private:
    struct Open
    {
        wxXmlNode* node;
        wxXmlNode* lastChild;
    };

    void Append(wxXmlNode* node);
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
    bool m_inCdata = false;
    std::size_t m_nodes = 0;
    Status m_status = LOADING;
    std::string m_problem;
};

#endif
