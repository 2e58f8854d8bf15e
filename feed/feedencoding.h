#ifndef FEEDQUILL_FEED_FEEDENCODING_H
#define FEEDQUILL_FEED_FEEDENCODING_H

#include <cstddef>
#include <string>

// Reading a feed in the encoding it is written in, as browsers and feed readers do: the labels of
// the Encoding Standard (ISO-8859-1 and US-ASCII mean windows-1252, GB2312 means GBK, ...), and
// every encoding but UTF-8 turned into UTF-8 by the C library's iconv before the XML parser.

// The encoding that the start of a document announces.
struct DocumentEncoding
{
    std::string label;      // as the document names it, for messages; empty when it names none
    std::string iconvName;  // what iconv is asked for; empty for UTF-8, which is read as it is
    bool supported = true;  // false: no way to decode it
    std::size_t bomLength = 0;
};

// Decides from the first bytes of a document: a byte-order mark, else the encoding of the XML
// declaration, else UTF-8. False while more bytes are needed to tell (never when atEnd).
bool SniffEncoding(const std::string& head, bool atEnd, DocumentEncoding& encoding);

// The iconv name of the encoding a label stands for, as the Encoding Standard reads labels
// (case and surrounding blanks ignored); empty for UTF-8; false for a label it does not know or
// that it decodes to nothing but an error.
bool LookUpEncodingLabel(const std::string& label, std::string& iconvName, bool& known);

// Turns a stream of bytes in one encoding into UTF-8, piece by piece; a character split between
// two pieces waits for the next. Bytes that are not a character give U+FFFD.
class Utf8Transcoder
{
public:
    Utf8Transcoder() = default;
    ~Utf8Transcoder();
    Utf8Transcoder(const Utf8Transcoder&) = delete;
    Utf8Transcoder& operator=(const Utf8Transcoder&) = delete;

    // False when iconv cannot convert from this encoding.
    bool Open(const std::string& iconvName);
    void Convert(const char* data, std::size_t size, std::string& out);
    // Ends the stream: a character left unfinished gives U+FFFD.
    void Finish(std::string& out);

private:
    void Run(const char* data, std::size_t size, std::string& out);
    // The UTF-8 for a byte that iconv finds no character in.
    std::string Replace(unsigned char byte) const;

    void* m_cd = nullptr;  // iconv_t
    std::string m_name;
    std::string m_pending;
};

#endif
