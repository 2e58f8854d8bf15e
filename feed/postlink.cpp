#include "feed/postlink.h"

#include <wx/wxcrt.h>
#include <wx/xml/xml.h>

#include <vector>

namespace
{

struct Reference
{
    wxString scheme;  // without ':'
    bool hasAuthority = false;
    wxString authority;
    wxString path;
    bool hasQuery = false;
    wxString query;
    bool hasFragment = false;
    wxString fragment;
};

Reference Split(const wxString& text)
{
    Reference ref;
    wxString rest = text;
    if ( HasScheme(rest) )
    {
        ref.scheme = rest.BeforeFirst(':');
        rest = rest.AfterFirst(':');
    }
    const size_t hash = rest.find('#');
    if ( hash != wxString::npos )
    {
        ref.hasFragment = true;
        ref.fragment = rest.substr(hash + 1);
        rest.erase(hash);
    }
    const size_t question = rest.find('?');
    if ( question != wxString::npos )
    {
        ref.hasQuery = true;
        ref.query = rest.substr(question + 1);
        rest.erase(question);
    }
    if ( rest.StartsWith("//") )
    {
        ref.hasAuthority = true;
        const size_t slash = rest.find('/', 2);
        ref.authority = rest.substr(2, slash == wxString::npos ? wxString::npos : slash - 2);
        rest = slash == wxString::npos ? wxString() : rest.substr(slash);
    }
    ref.path = rest;
    return ref;
}

wxString Join(const Reference& ref)
{
    wxString text;
    if ( !ref.scheme.empty() )
        text << ref.scheme << ':';
    if ( ref.hasAuthority )
        text << "//" << ref.authority;
    text << ref.path;
    if ( ref.hasQuery )
        text << '?' << ref.query;
    if ( ref.hasFragment )
        text << '#' << ref.fragment;
    return text;
}

// RFC 3986, section 5.2.4.
wxString RemoveDotSegments(wxString input)
{
    wxString output;
    while ( !input.empty() )
    {
        if ( input.StartsWith("../") )
            input.erase(0, 3);
        else if ( input.StartsWith("./") || input.StartsWith("/./") )
            input.erase(0, 2);
        else if ( input == "/." )
            input = "/";
        else if ( input.StartsWith("/../") || input == "/.." )
        {
            input = "/" + input.substr(input == "/.." ? 3 : 4);
            const size_t slash = output.rfind('/');
            output.erase(slash == wxString::npos ? 0 : slash);
        }
        else if ( input == "." || input == ".." )
            input.clear();
        else
        {
            const size_t next = input.find('/', input[0] == '/' ? 1 : 0);
            output += input.substr(0, next);
            input = next == wxString::npos ? wxString() : input.substr(next);
        }
    }
    return output;
}

} // anonymous namespace

bool HasScheme(const wxString& link)
{
    const size_t colon = link.find(':');
    if ( colon == wxString::npos || colon == 0 || !wxIsalpha(link[0]) )
        return false;
    for ( size_t i = 1; i < colon; ++i )
    {
        const wxUniChar c = link[i];
        if ( !wxIsalnum(c) && c != '+' && c != '-' && c != '.' )
            return false;
    }
    return true;
}

wxString ResolveReference(const wxString& base, const wxString& reference)
{
    if ( base.empty() || HasScheme(reference) )
        return reference;
    const Reference b = Split(base);
    const Reference r = Split(reference);
    Reference t;
    t.scheme = b.scheme;
    t.hasFragment = r.hasFragment;
    t.fragment = r.fragment;
    t.hasQuery = r.hasQuery;
    t.query = r.query;
    if ( r.hasAuthority )
    {
        t.hasAuthority = true;
        t.authority = r.authority;
        t.path = RemoveDotSegments(r.path);
        return Join(t);
    }
    t.hasAuthority = b.hasAuthority;
    t.authority = b.authority;
    if ( r.path.empty() )
    {
        t.path = b.path;
        if ( !r.hasQuery )
        {
            t.hasQuery = b.hasQuery;
            t.query = b.query;
        }
    }
    else if ( r.path.StartsWith("/") )
        t.path = RemoveDotSegments(r.path);
    else if ( b.hasAuthority && b.path.empty() )
        t.path = RemoveDotSegments("/" + r.path);
    else
    {
        const size_t slash = b.path.rfind('/');
        t.path = RemoveDotSegments((slash == wxString::npos ? wxString() : b.path.substr(0, slash + 1))
                                   + r.path);
    }
    return Join(t);
}

wxString ResolvePostLink(const wxXmlNode& element, const wxString& link,
                         const wxString& documentAddress)
{
    if ( HasScheme(link) )
        return link;
    std::vector<wxString> bases;
    for ( const wxXmlNode* node = &element; node && node->GetType() == wxXML_ELEMENT_NODE;
          node = node->GetParent() )
    {
        wxString base;
        if ( node->GetAttribute("xml:base", &base) )
            bases.push_back(base);
    }
    wxString base = documentAddress;
    for ( auto it = bases.rbegin(); it != bases.rend(); ++it )
        base = base.empty() ? *it : ResolveReference(base, *it);
    return ResolveReference(base, link);
}
