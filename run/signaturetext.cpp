#include "run/signaturetext.h"

#include "base/displaytext.h"
#include "project/project.h"
#include "run/postmacros.h"

#include <wx/strconv.h>
#include <wx/translation.h>

#include <langinfo.h>

namespace
{

bool IsWebLink(const wxString& link)
{
    const wxString lower = link.Lower();
    return lower.StartsWith("http://") || lower.StartsWith("https://");
}

// The encoding of the user's locale, by the name iconv knows; empty where the locale names
// none (C and POSIX: the locale of a cron job, a systemd timer, a bare ssh command).
wxString GetLocaleCodeset()
{
    const char* codeset = nl_langinfo(CODESET);
    const wxString name = codeset ? wxString(codeset) : wxString();
    if ( name.empty() || name == "ANSI_X3.4-1968" || name.Upper() == "ASCII" )
        return wxString();
    return name;
}

bool IsUtf8(const wxString& codeset)
{
    const wxString name = codeset.Upper();
    return name == "UTF-8" || name == "UTF8";
}

} // anonymous namespace

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

bool IsHtmlSignature(const wxString& path)
{
    const wxString lower = path.Lower();
    return lower.EndsWith(".html") || lower.EndsWith(".htm");
}

wxString MakeSignatureText(const wxString& templateText, const Project& project,
                           const wxString& path)
{
    return IsHtmlSignature(path) ? ExpandMacros(templateText, project, EscapeHtml, EscapeHtml)
                                 : ExpandMacros(templateText, project);
}

wxString RefuseSignatureLink(const wxString& templateText, const Project& project,
                             const wxString& path)
{
    if ( !IsHtmlSignature(path) || IsWebLink(project.m_lastLink)
         || !templateText.Contains("%link%") )
        return wxString();
    return wxString::Format(_("The post's link \"%s\" is not an http:// or https:// address, "
                              "and an HTML signature carries web links only."),
                            ShowControlsInLine(project.m_lastLink));
}

std::string EncodeSignature(const wxString& text, wxString& codeset, size_t& replaced)
{
    replaced = 0;
    codeset = GetLocaleCodeset();
    if ( codeset.empty() || IsUtf8(codeset) )
    {
        codeset = "UTF-8";
        const wxScopedCharBuffer utf8 = text.utf8_str();
        return std::string(utf8.data(), utf8.length());
    }
    const wxCSConv conv(codeset);
    const wxCharBuffer whole = text.mb_str(conv);
    if ( text.empty() || whole.length() > 0 )
        return std::string(whole.data(), whole.length());
    std::string bytes;
    for ( const wxUniChar c : text )
    {
        const wxString character(c);
        const wxCharBuffer one = character.mb_str(conv);
        if ( one.length() > 0 )
            bytes.append(one.data(), one.length());
        else
        {
            bytes += '?';
            ++replaced;
        }
    }
    return bytes;
}
