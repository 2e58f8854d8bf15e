#include "run/signaturetext.h"

namespace
{

wxString EscapeHtml(const wxString& text)
{
    wxString escaped;
    escaped.reserve(text.length());
    for ( const wxUniChar c : text )
    {
        if ( c == '&' )
            escaped += "&amp;";
        else if ( c == '<' )
            escaped += "&lt;";
        else if ( c == '>' )
            escaped += "&gt;";
        else if ( c == '"' )
            escaped += "&quot;";
        else if ( c == '\'' )
            escaped += "&#39;";
        else
            escaped += c;
    }
    return escaped;
}

} // anonymous namespace

bool IsHtmlSignature(const wxString& path)
{
    const wxString lower = path.Lower();
    return lower.EndsWith(".html") || lower.EndsWith(".htm");
}

wxString MakeSignatureText(const wxString& templateText, const wxString& title,
                           const wxString& link, const wxString& path)
{
    const bool html = IsHtmlSignature(path);
    wxString result = templateText;
    result.Replace("%title%", html ? EscapeHtml(title) : title, true);
    result.Replace("%link%", html ? EscapeHtml(link) : link, true);
    return result;
}
