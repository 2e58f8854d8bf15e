#include "feed/postdate.h"

#include <cctype>
#include <ctime>
#include <string>

namespace
{

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
long long DaysFromCivil(long long year, int month, int day)
{
    year -= month <= 2;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const long long yearOfEra = year - era * 400;
    const int shifted = month > 2 ? month - 3 : month + 9;
    const long long dayOfYear = (153 * shifted + 2) / 5 + day - 1;
    const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

class Scanner
{
public:
    explicit Scanner(const std::string& text) : m_text(text) {}

    void SkipBlanks()
    {
        while ( m_at < m_text.size() && std::isspace(static_cast<unsigned char>(m_text[m_at])) )
            ++m_at;
    }
    bool Take(char c)
    {
        if ( m_at < m_text.size() && m_text[m_at] == c )
        {
            ++m_at;
            return true;
        }
        return false;
    }
    // A number of minDigits to maxDigits digits.
    bool Number(int minDigits, int maxDigits, int& value)
    {
        int digits = 0;
        value = 0;
        while ( digits < maxDigits && m_at < m_text.size()
                && std::isdigit(static_cast<unsigned char>(m_text[m_at])) )
        {
            value = value * 10 + (m_text[m_at++] - '0');
            ++digits;
        }
        return digits >= minDigits;
    }
    std::string Word()
    {
        std::string word;
        while ( m_at < m_text.size() && std::isalpha(static_cast<unsigned char>(m_text[m_at])) )
            word += static_cast<char>(std::tolower(static_cast<unsigned char>(m_text[m_at++])));
        return word;
    }
    void SkipDigits()
    {
        while ( m_at < m_text.size() && std::isdigit(static_cast<unsigned char>(m_text[m_at])) )
            ++m_at;
    }
    bool AtEnd()
    {
        SkipBlanks();
        return m_at == m_text.size();
    }
    char Peek() const { return m_at < m_text.size() ? m_text[m_at] : '\0'; }

private:
    const std::string& m_text;
    std::size_t m_at = 0;
};

// "+hh:mm", "+hhmm", "-hh", "Z" or a zone name of RFC 822; minutes east of UTC.
bool ReadZone(Scanner& in, int& minutes)
{
    minutes = 0;
    in.SkipBlanks();
    if ( in.AtEnd() )
        return true;
    const char sign = in.Peek();
    if ( sign == '+' || sign == '-' )
    {
        in.Take(sign);
        int hours = 0;
        int mins = 0;
        if ( !in.Number(2, 2, hours) )
            return false;
        in.Take(':');
        in.Number(2, 2, mins);
        minutes = (sign == '-' ? -1 : 1) * (hours * 60 + mins);
        return in.AtEnd();
    }
    static const struct
    {
        const char* name;
        int hours;
    } s_zones[] =
    {
        { "z", 0 }, { "ut", 0 }, { "utc", 0 }, { "gmt", 0 }, { "est", -5 }, { "edt", -4 },
        { "cst", -6 }, { "cdt", -5 }, { "mst", -7 }, { "mdt", -6 }, { "pst", -8 }, { "pdt", -7 },
    };
    const std::string word = in.Word();
    for ( const auto& zone : s_zones )
    {
        if ( word == zone.name )
            minutes = zone.hours * 60;
    }
    return !word.empty() && in.AtEnd();  // other names (military letters): taken as UTC
}

// A date as written; zone in minutes east of UTC.
struct DateFields
{
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int zone = 0;
};

// "hh:mm", "hh:mm:ss", with any fraction of a second, then the zone.
bool ReadTimeAndZone(Scanner& in, DateFields& date)
{
    if ( !in.Number(1, 2, date.hour) || !in.Take(':') || !in.Number(2, 2, date.minute) )
        return false;
    if ( in.Take(':') && !in.Number(2, 2, date.second) )
        return false;
    if ( in.Take('.') || in.Take(',') )
        in.SkipDigits();
    return date.hour <= 24 && date.minute <= 59 && date.second <= 60 && ReadZone(in, date.zone);
}

bool Finish(const DateFields& date, long long& seconds)
{
    if ( date.month < 1 || date.month > 12 || date.day < 1 || date.day > 31 )
        return false;
    seconds = DaysFromCivil(date.year, date.month, date.day) * 86400 + date.hour * 3600
              + date.minute * 60 + date.second - date.zone * 60;
    return true;
}

bool ParseRfc3339(const std::string& text, long long& seconds)
{
    Scanner in(text);
    in.SkipBlanks();
    DateFields date;
    if ( !in.Number(4, 4, date.year) || !in.Take('-') || !in.Number(2, 2, date.month)
         || !in.Take('-') || !in.Number(2, 2, date.day) )
        return false;
    if ( !in.AtEnd() && ((!in.Take('T') && !in.Take('t') && !in.Take(' '))
                         || !ReadTimeAndZone(in, date)) )
        return false;
    return Finish(date, seconds);
}

bool ParseRfc822(const std::string& text, long long& seconds)
{
    static const char* const s_months[] =
        { "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec" };
    Scanner in(text);
    in.SkipBlanks();
    if ( std::isalpha(static_cast<unsigned char>(in.Peek())) )
    {
        in.Word();  // the day of the week
        in.Take(',');
        in.SkipBlanks();
    }
    DateFields date;
    if ( !in.Number(1, 2, date.day) )
        return false;
    in.SkipBlanks();
    const std::string name = in.Word().substr(0, 3);
    for ( int i = 0; i < 12; ++i )
    {
        if ( name == s_months[i] )
            date.month = i + 1;
    }
    in.SkipBlanks();
    if ( date.month == 0 || !in.Number(2, 4, date.year) )
        return false;
    if ( date.year < 100 )
        date.year += date.year < 50 ? 2000 : 1900;
    in.SkipBlanks();
    return ReadTimeAndZone(in, date) && Finish(date, seconds);
}

} // anonymous namespace

bool ParsePostDate(const wxString& text, long long& seconds)
{
    const std::string date = text.utf8_string();
    return ParseRfc822(date, seconds) || ParseRfc3339(date, seconds);
}

wxString FormatPostDate(long long seconds)
{
    const time_t time = static_cast<time_t>(seconds);
    struct tm parts;
    char text[64];
    if ( !gmtime_r(&time, &parts) || !std::strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%SZ", &parts) )
        return wxString();
    return wxString::FromAscii(text);
}
