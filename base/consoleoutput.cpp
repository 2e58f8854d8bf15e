#include "base/consoleoutput.h"

#include "base/displaytext.h"

#include <cinttypes>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

namespace
{

bool IsStream(int fd, std::uintmax_t device, std::uintmax_t inode)
{
    struct stat info;
    return fstat(fd, &info) == 0 && static_cast<std::uintmax_t>(info.st_dev) == device
           && static_cast<std::uintmax_t>(info.st_ino) == inode;
}

} // anonymous namespace

bool IsJournalStream(std::FILE* out)
{
    const char* journal = std::getenv("JOURNAL_STREAM");
    std::uintmax_t device = 0;
    std::uintmax_t inode = 0;
    char rest = 0;
    if ( !journal || std::sscanf(journal, "%" SCNuMAX ":%" SCNuMAX "%c", &device, &inode,
                                 &rest) != 2 )
        return false;
    // A program started from a service's shell inherits the variable with other streams.
    return IsStream(fileno(stderr), device, inode) && IsStream(fileno(out), device, inode);
}

void WriteConsoleText(std::FILE* out, const wxString& text, ConsolePriority priority)
{
    // Messages quote what servers and feeds sent; a terminal or the journal gets it as text,
    // never as the escape sequences it may hold.
    const wxString shown = ShowControls(text);
    const wxScopedCharBuffer utf8 = shown.utf8_str();
    if ( !IsJournalStream(out) )
    {
        std::fprintf(out, "%s\n", utf8.data());
        std::fflush(out);
        return;
    }
    // The journal takes each line as an entry of its own, so each needs the prefix.
    const std::string text8(utf8.data(), utf8.length());
    size_t begin = 0;
    for ( ;; )
    {
        const size_t end = text8.find('\n', begin);
        std::fprintf(out, "<%d>%s\n", static_cast<int>(priority),
                     text8.substr(begin, end - begin).c_str());
        if ( end == std::string::npos )
            break;
        begin = end + 1;
    }
    std::fflush(out);
}
