#include "feed/posttext.h"

#include "feed/htmlentities.h"

#include <wx/wxcrt.h>
#include <wx/xml/xml.h>

namespace
{

bool IsControl(wxUniChar c)
{
    const wxUint32 code = c.GetValue();
    return code < 0x20 || (code >= 0x7F && code <= 0x9F);
}

bool IsBlank(wxUniChar c)
{
    const wxUint32 code = c.GetValue();
    return code == ' ' || code == '\t' || code == '\n' || code == '\r' || code == '\f'
           || code == '\v' || code == 0xA0 || code == 0x85 || code == 0x2028 || code == 0x2029;
}

// As browsers see it: "a < b" holds no tag.
bool IsTagStart(const wxString& html, size_t pos)
{
    if ( pos + 1 >= html.length() )
        return false;
    const wxUniChar next = html[pos + 1];
    return wxIsalpha(next) || next == '/' || next == '!' || next == '?';
}

// Whether a tag (its text between the angle brackets) breaks the line in a browser, so that
// the words on either side stay apart.
bool SeparatesWords(const wxString& tag)
{
    static const char* const s_breaking[] =
        { "br", "p", "div", "li", "tr", "td", "th", "h1", "h2", "h3", "h4", "h5", "h6", "hr" };
    wxString name = tag.StartsWith("/") ? tag.Mid(1) : tag;
    name = name.BeforeFirst(' ').BeforeFirst('/').BeforeFirst('\t').Lower();
    for ( const char* breaking : s_breaking )
    {
        if ( name == breaking )
            return true;
    }
    return false;
}

void AppendText(const wxXmlNode& element, bool deep, wxString& out)
{
    for ( const wxXmlNode* child = element.GetChildren(); child; child = child->GetNext() )
    {
        const wxXmlNodeType type = child->GetType();
        if ( type == wxXML_TEXT_NODE || type == wxXML_CDATA_SECTION_NODE )
            out += child->GetContent();
        else if ( deep && type == wxXML_ELEMENT_NODE )
            AppendText(*child, deep, out);
    }
}

} // anonymous namespace

wxString GetElementText(const wxXmlNode& element)
{
    wxString text;
    AppendText(element, false, text);
    return text;
}

wxString GetDescendantText(const wxXmlNode& element)
{
    wxString text;
    AppendText(element, true, text);
    return text;
}

wxString HtmlToText(const wxString& html)
{
    wxString text;
    text.reserve(html.length());
    size_t pos = 0;
    while ( pos < html.length() )
    {
        const wxUniChar c = html[pos];
        if ( c == '<' && IsTagStart(html, pos) )
        {
            const size_t close = html.find('>', pos);
            if ( close == wxString::npos )
                break;  // an unfinished tag at the end
            if ( SeparatesWords(html.substr(pos + 1, close - pos - 1)) )
                text += ' ';
            pos = close + 1;
        }
        else if ( c == '&' && DecodeHtmlReference(html, pos, text) )
            continue;
        else
        {
            text += c;
            ++pos;
        }
    }
    return text;
}

wxString CleanTitle(const wxString& title)
{
    wxString clean;
    clean.reserve(title.length());
    bool pendingBlank = false;
    for ( wxUniChar c : title )
    {
        if ( IsBlank(c) )
        {
            pendingBlank = !clean.empty();
            continue;
        }
        if ( IsControl(c) )
            continue;
        if ( pendingBlank )
            clean += ' ';
        pendingBlank = false;
        clean += c;
    }
    return clean;
}

wxString CleanLink(const wxString& link)
{
    wxString clean;
    clean.reserve(link.length());
    for ( wxUniChar c : link )
    {
        if ( !IsControl(c) )
            clean += c;
    }
    return clean.Trim(true).Trim(false);
}

wxString ShortenText(const wxString& text, size_t maxLength)
{
    if ( text.length() <= maxLength )
        return text;
    if ( maxLength == 0 )
        return wxString();
    const wxString ellipsis = wxString::FromUTF8("\xe2\x80\xa6");
    for ( size_t length = maxLength - 1; length > 0; --length )
    {
        if ( IsBlank(text[length]) && !IsBlank(text[length - 1]) )
            return text.Left(length) + ellipsis;
    }
    return text.Left(maxLength - 1) + ellipsis;
}
