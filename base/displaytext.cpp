#include "base/displaytext.h"

namespace
{

bool IsBidiControl(wxUniChar::value_type c)
{
    return c == 0x061c || c == 0x200e || c == 0x200f || (c >= 0x202a && c <= 0x202e)
           || (c >= 0x2066 && c <= 0x2069);
}

wxString Show(const wxString& text, bool keepLines)
{
    wxString shown;
    shown.reserve(text.length());
    for ( const wxUniChar ch : text )
    {
        const wxUniChar::value_type c = ch.GetValue();
        if ( keepLines && (c == '\n' || c == '\t') )
            shown += ch;
        else if ( c < 0x20 || (c >= 0x7f && c < 0xa0) )
            shown += wxString::Format("\\x%02X", static_cast<unsigned>(c));
        else if ( IsBidiControl(c) )
            shown += wxString::Format("\\u{%04X}", static_cast<unsigned>(c));
        else
            shown += ch;
    }
    return shown;
}

} // anonymous namespace

wxString ShowControls(const wxString& text)
{
    return Show(text, true);
}

wxString ShowControlsInLine(const wxString& text)
{
    return Show(text, false);
}
