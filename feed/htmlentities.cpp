#include "feed/htmlentities.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace
{

struct NamedReference
{
    const char* name;
    wxUint32 first;
    wxUint32 second;  // 0 for most
    int inDtd;        // defined by the HTML 4 / XHTML 1 entity sets
};

const NamedReference s_references[] =
{
#include "feed/htmlentities.inc"
};

const size_t LONGEST_NAME = 32;

// What HTML makes of the numbers 0x80 to 0x9F: windows-1252's characters; 0 keeps the number.
const wxUint32 s_c1Replacements[32] =
{
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178,
};

const NamedReference* Find(const std::string& name)
{
    const auto end = std::end(s_references);
    const auto found = std::lower_bound(std::begin(s_references), end, name,
                                        [](const NamedReference& ref, const std::string& key)
                                        {
                                            return std::strcmp(ref.name, key.c_str()) < 0;
                                        });
    return found != end && name == found->name ? found : nullptr;
}

bool IsAsciiAlnum(wxUniChar c)
{
    const wxUint32 code = c.GetValue();
    return (code >= '0' && code <= '9') || (code >= 'a' && code <= 'z')
           || (code >= 'A' && code <= 'Z');
}

int DigitValue(wxUniChar c, int base)
{
    const wxUint32 code = c.GetValue();
    int value = 99;
    if ( code >= '0' && code <= '9' )
        value = static_cast<int>(code - '0');
    else if ( code >= 'a' && code <= 'f' )
        value = static_cast<int>(code - 'a' + 10);
    else if ( code >= 'A' && code <= 'F' )
        value = static_cast<int>(code - 'A' + 10);
    return value < base ? value : -1;
}

bool DecodeNumber(const wxString& text, size_t& pos, wxString& out)
{
    size_t at = pos + 2;  // past "&#"
    int base = 10;
    if ( at < text.length() && (text[at] == 'x' || text[at] == 'X') )
    {
        base = 16;
        ++at;
    }
    const size_t digits = at;
    wxUint32 code = 0;
    for ( int digit; at < text.length() && (digit = DigitValue(text[at], base)) >= 0; ++at )
        code = std::min<wxUint32>(code * base + digit, 0x110000);
    if ( at == digits )
        return false;
    if ( at < text.length() && text[at] == ';' )
        ++at;
    if ( code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) )
        code = 0xFFFD;
    else if ( code >= 0x80 && code <= 0x9F && s_c1Replacements[code - 0x80] )
        code = s_c1Replacements[code - 0x80];
    out += wxUniChar(code);
    pos = at;
    return true;
}

} // anonymous namespace

bool DecodeHtmlReference(const wxString& text, size_t& pos, wxString& out)
{
    if ( pos + 1 < text.length() && text[pos + 1] == '#' )
        return DecodeNumber(text, pos, out);
    std::string name;
    for ( size_t at = pos + 1; at < text.length() && IsAsciiAlnum(text[at])
                               && name.length() < LONGEST_NAME; ++at )
        name += static_cast<char>(text[at].GetValue());
    size_t length = name.length();
    const NamedReference* found = nullptr;
    if ( pos + 1 + length < text.length() && text[pos + 1 + length] == ';' )
        found = Find(name + ";");
    if ( found )
        ++length;
    // Else the longest of the older names, which HTML reads without the ';' too ("&copy2024").
    while ( !found && length > 1 )
    {
        found = Find(name.substr(0, length));
        if ( !found )
            --length;
    }
    if ( !found )
        return false;
    out += wxUniChar(found->first);
    if ( found->second )
        out += wxUniChar(found->second);
    pos += 1 + length;
    return true;
}

bool LookUpHtmlDtdEntity(const std::string& name, std::string& utf8)
{
    const NamedReference* found = Find(name + ";");
    if ( !found || !found->inDtd )
        return false;
    wxString text(wxUniChar(found->first));
    if ( found->second )
        text += wxUniChar(found->second);
    utf8 = text.utf8_string();
    return true;
}
