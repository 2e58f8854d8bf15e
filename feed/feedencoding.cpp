#include "feed/feedencoding.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>
#include <iconv.h>

namespace
{

// The encodings of the Encoding Standard with all their labels, and the name glibc's iconv
// gives the same mapping. Where the standard's encoding is a superset of the one a label
// names, iconv is asked for the superset (windows-1252, GB18030, Big5-HKSCS, CP932, CP949).
struct EncodingLabels
{
    const char* iconvName;  // "" for UTF-8; nullptr: the standard decodes it to an error only
    const char* labels;     // separated by single blanks
};

const EncodingLabels s_encodings[] =
{
    { "", "unicode-1-1-utf-8 unicode11utf8 unicode20utf8 utf-8 utf8 x-unicode20utf8" },
    { "IBM866", "866 cp866 csibm866 ibm866" },
    { "ISO-8859-2", "csisolatin2 iso-8859-2 iso-ir-101 iso8859-2 iso88592 iso_8859-2 "
                    "iso_8859-2:1987 l2 latin2" },
    { "ISO-8859-3", "csisolatin3 iso-8859-3 iso-ir-109 iso8859-3 iso88593 iso_8859-3 "
                    "iso_8859-3:1988 l3 latin3" },
    { "ISO-8859-4", "csisolatin4 iso-8859-4 iso-ir-110 iso8859-4 iso88594 iso_8859-4 "
                    "iso_8859-4:1988 l4 latin4" },
    { "ISO-8859-5", "csisolatincyrillic cyrillic iso-8859-5 iso-ir-144 iso8859-5 iso88595 "
                    "iso_8859-5 iso_8859-5:1988" },
    { "ISO-8859-6", "arabic asmo-708 csiso88596e csiso88596i csisolatinarabic ecma-114 "
                    "iso-8859-6 iso-8859-6-e iso-8859-6-i iso-ir-127 iso8859-6 iso88596 "
                    "iso_8859-6 iso_8859-6:1987" },
    { "ISO-8859-7", "csisolatingreek ecma-118 elot_928 greek greek8 iso-8859-7 iso-ir-126 "
                    "iso8859-7 iso88597 iso_8859-7 iso_8859-7:1987 sun_eu_greek" },
    { "ISO-8859-8", "csiso88598e csisolatinhebrew hebrew iso-8859-8 iso-8859-8-e iso-ir-138 "
                    "iso8859-8 iso88598 iso_8859-8 iso_8859-8:1988 visual "
                    "csiso88598i iso-8859-8-i logical" },
    { "ISO-8859-10", "csisolatin6 iso-8859-10 iso-ir-157 iso8859-10 iso885910 l6 latin6" },
    { "ISO-8859-13", "iso-8859-13 iso8859-13 iso885913" },
    { "ISO-8859-14", "iso-8859-14 iso8859-14 iso885914" },
    { "ISO-8859-15", "csisolatin9 iso-8859-15 iso8859-15 iso885915 iso_8859-15 l9" },
    { "ISO-8859-16", "iso-8859-16" },
    { "KOI8-R", "cskoi8r koi koi8 koi8-r koi8_r" },
    { "KOI8-U", "koi8-ru koi8-u" },
    { "MACINTOSH", "csmacintosh mac macintosh x-mac-roman" },
    { "CP874", "dos-874 iso-8859-11 iso8859-11 iso885911 tis-620 windows-874" },
    { "CP1250", "cp1250 windows-1250 x-cp1250" },
    { "CP1251", "cp1251 windows-1251 x-cp1251" },
    { "CP1252", "ansi_x3.4-1968 ascii cp1252 cp819 csisolatin1 ibm819 iso-8859-1 iso-ir-100 "
                "iso8859-1 iso88591 iso_8859-1 iso_8859-1:1987 l1 latin1 us-ascii "
                "windows-1252 x-cp1252" },
    { "CP1253", "cp1253 windows-1253 x-cp1253" },
    { "CP1254", "cp1254 csisolatin5 iso-8859-9 iso-ir-148 iso8859-9 iso88599 iso_8859-9 "
                "iso_8859-9:1989 l5 latin5 windows-1254 x-cp1254" },
    { "CP1255", "cp1255 windows-1255 x-cp1255" },
    { "CP1256", "cp1256 windows-1256 x-cp1256" },
    { "CP1257", "cp1257 windows-1257 x-cp1257" },
    { "CP1258", "cp1258 windows-1258 x-cp1258" },
    { "MAC-CYRILLIC", "x-mac-cyrillic x-mac-ukrainian" },
    { "GB18030", "chinese csgb2312 csiso58gb231280 gb2312 gb_2312 gb_2312-80 gbk iso-ir-58 "
                 "x-gbk gb18030" },
    { "BIG5-HKSCS", "big5 big5-hkscs cn-big5 csbig5 x-x-big5" },
    { "EUC-JP", "cseucpkdfmtjapanese euc-jp x-euc-jp" },
    { "ISO-2022-JP-2", "csiso2022jp iso-2022-jp" },
    { "CP932", "csshiftjis ms932 ms_kanji shift-jis shift_jis sjis windows-31j x-sjis" },
    { "CP949", "cseuckr csksc56011987 euc-kr iso-ir-149 korean ks_c_5601-1987 ks_c_5601-1989 "
               "ksc5601 ksc_5601 windows-949" },
    { nullptr, "csiso2022kr hz-gb-2312 iso-2022-cn iso-2022-cn-ext iso-2022-kr replacement" },
    // A document whose declaration can be read as ASCII is not in UTF-16, whatever it says.
    { "", "unicodefffe utf-16be csunicode iso-10646-ucs-2 ucs-2 unicode unicodefeff utf-16 "
          "utf-16le" },
};

// Whether label is one of the blank-separated labels. A label from a document may hold any
// byte, a NUL too, so it is compared as a whole, never as a C string.
bool HasLabel(const char* labels, const std::string& label)
{
    const std::string_view all(labels);
    for ( std::size_t at = all.find(label); at != std::string_view::npos;
          at = all.find(label, at + 1) )
    {
        const std::size_t end = at + label.size();
        if ( (at == 0 || all[at - 1] == ' ') && (end == all.size() || all[end] == ' ') )
            return true;
    }
    return false;
}

std::string Normalize(const std::string& label)
{
    const char* const blanks = " \t\n\f\r";
    const std::size_t begin = label.find_first_not_of(blanks);
    if ( begin == std::string::npos )
        return std::string();
    std::string result = label.substr(begin, label.find_last_not_of(blanks) - begin + 1);
    for ( char& c : result )
    {
        if ( c >= 'A' && c <= 'Z' )
            c = static_cast<char>(c - 'A' + 'a');
    }
    return result;
}

bool StartsWith(const std::string& text, const char* prefix, std::size_t length)
{
    return text.compare(0, length, prefix, length) == 0;
}

// The value of the encoding pseudo-attribute of the XML declaration at the start of head; false
// while the declaration is not complete.
bool ReadDeclaredLabel(const std::string& head, bool atEnd, std::string& label)
{
    label.clear();
    if ( !StartsWith(head, "<?xml", 5) )
        return head.size() >= 5 || atEnd || !StartsWith("<?xml", head.c_str(), head.size());
    const std::size_t end = head.find("?>");
    if ( end == std::string::npos )
        return atEnd || head.size() > 1024;  // no declaration worth the name
    const std::string decl = head.substr(0, end);
    std::size_t at = decl.find("encoding");
    if ( at == std::string::npos )
        return true;
    at = decl.find_first_not_of(" \t\r\n", at + 8);
    if ( at == std::string::npos || decl[at] != '=' )
        return true;
    at = decl.find_first_not_of(" \t\r\n", at + 1);
    if ( at == std::string::npos || (decl[at] != '"' && decl[at] != '\'') )
        return true;
    const std::size_t close = decl.find(decl[at], at + 1);
    if ( close != std::string::npos )
        label = decl.substr(at + 1, close - at - 1);
    return true;
}

} // anonymous namespace

bool LookUpEncodingLabel(const std::string& label, std::string& iconvName, bool& known)
{
    const std::string key = Normalize(label);
    known = false;
    if ( key.empty() || key.find(' ') != std::string::npos )
        return false;
    for ( const EncodingLabels& encoding : s_encodings )
    {
        if ( HasLabel(encoding.labels, key) )
        {
            known = true;
            if ( !encoding.iconvName )
                return false;
            iconvName = encoding.iconvName;
            return true;
        }
    }
    return false;
}

bool SniffEncoding(const std::string& head, bool atEnd, DocumentEncoding& encoding)
{
    encoding = DocumentEncoding();
    if ( head.size() < 4 && !atEnd )
        return false;
    // Four bytes tell UTF-32, which the Encoding Standard does not decode, from UTF-16.
    struct Mark
    {
        const char* bytes;
        std::size_t length;
        const char* name;
    };
    static const Mark s_marks[] =
    {
        { "\xFF\xFE\0\0", 4, "UTF-32LE" }, { "\0\0\xFE\xFF", 4, "UTF-32BE" },
        { "\xEF\xBB\xBF", 3, "" }, { "\xFF\xFE", 2, "UTF-16LE" }, { "\xFE\xFF", 2, "UTF-16BE" },
        // Without a mark, "<?" in UTF-16.
        { "<\0?\0", 0, "UTF-16LE" }, { "\0<\0?", 0, "UTF-16BE" },
    };
    for ( const Mark& mark : s_marks )
    {
        const std::size_t length = mark.length ? mark.length : 4;
        if ( head.compare(0, length, mark.bytes, length) != 0 )
            continue;
        encoding.label = mark.name;
        encoding.iconvName = mark.name;
        encoding.supported = std::strncmp(mark.name, "UTF-32", 6) != 0;
        encoding.bomLength = mark.length;
        return true;
    }

    std::string label;
    if ( !ReadDeclaredLabel(head, atEnd, label) )
        return false;
    encoding.label = label;
    if ( label.empty() )
        return true;
    bool known = false;
    if ( LookUpEncodingLabel(label, encoding.iconvName, known) )
        return true;
    // Labels the standard lacks, as the C library knows them (IBM437, UTF-7, ...); only names,
    // since iconv reads more than a name into "//" and "/".
    encoding.iconvName = label;
    encoding.supported =
        !known && label.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                          "0123456789._:-") == std::string::npos;
    return true;
}

Utf8Transcoder::~Utf8Transcoder()
{
    if ( m_cd )
        iconv_close(static_cast<iconv_t>(m_cd));
}

bool Utf8Transcoder::Open(const std::string& iconvName)
{
    const iconv_t cd = iconv_open("UTF-8", iconvName.c_str());
    if ( cd == reinterpret_cast<iconv_t>(-1) )
        return false;
    m_cd = cd;
    m_name = iconvName;
    return true;
}

void Utf8Transcoder::Convert(const char* data, std::size_t size, std::string& out)
{
    if ( m_pending.empty() )
    {
        Run(data, size, out);
        return;
    }
    m_pending.append(data, size);
    std::string pending;
    pending.swap(m_pending);
    Run(pending.data(), pending.size(), out);
}

void Utf8Transcoder::Finish(std::string& out)
{
    if ( !m_pending.empty() )
        out += "\xEF\xBF\xBD";
    m_pending.clear();
    // Shift states of encodings such as ISO-2022-JP end here.
    char buffer[64];
    char* to = buffer;
    std::size_t room = sizeof(buffer);
    iconv(static_cast<iconv_t>(m_cd), nullptr, nullptr, &to, &room);
    out.append(buffer, to);
}

std::string Utf8Transcoder::Replace(unsigned char byte) const
{
    // Where the standard's decoders know more than glibc's: GB18030's single-byte euro sign
    // and windows-1252's five unassigned bytes, which are the C1 controls.
    if ( m_name == "GB18030" && byte == 0x80 )
        return "\xE2\x82\xAC";
    if ( m_name == "CP1252" && (byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90
                                || byte == 0x9D) )
        return std::string{ '\xC2', static_cast<char>(byte) };
    return "\xEF\xBF\xBD";
}

void Utf8Transcoder::Run(const char* data, std::size_t size, std::string& out)
{
    const iconv_t cd = static_cast<iconv_t>(m_cd);
    char* from = const_cast<char*>(data);
    std::size_t left = size;
    char buffer[16 * 1024];
    while ( left > 0 )
    {
        char* to = buffer;
        std::size_t room = sizeof(buffer);
        const std::size_t done = iconv(cd, &from, &left, &to, &room);
        const int error = done == static_cast<std::size_t>(-1) ? errno : 0;
        out.append(buffer, to);
        if ( error == EILSEQ )
        {
            out += Replace(static_cast<unsigned char>(*from));
            ++from;
            --left;
        }
        else if ( error == EINVAL )
        {
            m_pending.assign(from, left);
            return;
        }
        else if ( error != E2BIG && error != 0 )
            return;
    }
}
