#include "run/postmacros.h"

#include "feed/feedreader.h"
#include "feed/postdate.h"
#include "feed/posttext.h"
#include "project/configkeys.h"
#include "project/project.h"

#include <wx/config.h>

#include <ctime>

namespace
{

struct Macro
{
    const char* name;
    wxString Project::*field;
    bool isLink;
};

const Macro s_macros[] =
{
    { "title", &Project::m_lastTitle, false },
    { "link", &Project::m_lastLink, true },
    { "date", &Project::m_lastDate, false },
    { "summary", &Project::m_lastSummary, false },
    { "author", &Project::m_lastAuthor, false },
    { "feedtitle", &Project::m_feedTitle, false },
    { "feedlink", &Project::m_feedLink, true },
};

// The macro that the text between two percent signs names, and its length, if any (0: none).
const Macro* FindMacro(const wxString& inner, size_t& length)
{
    wxString name = inner;
    wxString digits;
    length = 0;
    const size_t colon = inner.find(':');
    if ( colon != wxString::npos )
    {
        name = inner.Left(colon);
        digits = inner.Mid(colon + 1);
        unsigned long value = 0;
        if ( digits.empty() || digits.length() > 6 || !digits.IsNumber() || digits[0] == '-'
             || digits[0] == '+' || !digits.ToULong(&value) || value == 0 )
            return nullptr;
        length = value;
    }
    for ( const Macro& macro : s_macros )
    {
        if ( name == macro.name )
            return macro.isLink && length != 0 ? nullptr : &macro;
    }
    return nullptr;
}

} // anonymous namespace

wxString FormatLocalDate(const wxString& stored)
{
    long long seconds = 0;
    if ( stored.empty() || !ParsePostDate(stored, seconds) )
        return wxString();
    const time_t time = static_cast<time_t>(seconds);
    struct tm parts;
    char text[128];
    if ( !localtime_r(&time, &parts) || !std::strftime(text, sizeof(text), "%x", &parts) )
        return wxString();
    return wxString(text, wxConvLocal);
}

namespace
{

// One pass over text, expanding the link macro alone or every other one.
wxString ExpandPass(const wxString& text, const Project& project, bool linkPass,
                    const MacroEscaper& escapeText, const MacroEscaper& escapeLink)
{
    wxString result;
    result.reserve(text.length());
    size_t at = 0;
    while ( at < text.length() )
    {
        const size_t open = text.find('%', at);
        const size_t close = open == wxString::npos ? open : text.find('%', open + 1);
        if ( close == wxString::npos )
        {
            result += text.Mid(at);
            break;
        }
        result += text.Mid(at, open - at);
        size_t length = 0;
        const Macro* macro = FindMacro(text.Mid(open + 1, close - open - 1), length);
        if ( macro && (macro->field == &Project::m_lastLink) != linkPass )
            macro = nullptr;
        if ( !macro )
        {
            // The closing sign may open the next macro.
            result += '%';
            at = open + 1;
            continue;
        }
        wxString value = macro->field == &Project::m_lastDate ? FormatLocalDate(project.m_lastDate)
                                                              : project.*(macro->field);
        if ( length != 0 )
            value = ShortenText(value, length);
        const MacroEscaper& escape = macro->isLink ? escapeLink : escapeText;
        result += escape ? escape(value) : value;
        at = close + 1;
    }
    return result;
}

} // anonymous namespace

wxString ExpandMacros(const wxString& text, const Project& project,
                      const MacroEscaper& escapeText, const MacroEscaper& escapeLink)
{
    // "%link%" goes in last, over the text the others made, as it always has: a title that
    // holds "%link%" shows the link there. No other value is expanded again.
    return ExpandPass(ExpandPass(text, project, false, escapeText, escapeLink), project, true,
                      escapeText, escapeLink);
}

void TakePostDetails(Project& project, const FeedReader& reader)
{
    project.m_lastDate = reader.GetDate();
    project.m_lastSummary = reader.GetSummary();
    project.m_lastAuthor = reader.GetAuthor();
    project.m_feedTitle = reader.GetFeedTitle();
    project.m_feedLink = reader.GetFeedLink();
}

void StorePostDetails(const Project& project)
{
    const struct
    {
        const char* entry;
        const wxString& value;
    } details[] =
    {
        { ENTRY_LAST_DATE, project.m_lastDate },
        { ENTRY_LAST_SUMMARY, project.m_lastSummary },
        { ENTRY_LAST_AUTHOR, project.m_lastAuthor },
        { ENTRY_FEED_TITLE, project.m_feedTitle },
        { ENTRY_FEED_LINK, project.m_feedLink },
    };
    wxConfigBase* config = wxConfigBase::Get();
    for ( const auto& detail : details )
    {
        if ( detail.value.empty() )
            config->DeleteEntry(project.GetKey(detail.entry), false);
        else
            config->Write(project.GetKey(detail.entry), detail.value);
    }
}
