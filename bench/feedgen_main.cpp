// feedquill_feedgen FORMAT BYTES FILE: writes a generated feed (FORMAT "rss" or "atom", at most
// BYTES long, suffixes k and m for KiB and MiB) to FILE, and its newest post's title and link,
// one a line, to FILE.newest.

#include "feedgen.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace
{

bool ParseSize(const std::string& text, std::size_t& size)
{
    char* end = nullptr;
    const unsigned long long number = std::strtoull(text.c_str(), &end, 10);
    if ( end == text.c_str() )
        return false;
    const std::string unit = end;
    if ( unit == "k" || unit == "K" )
        size = number << 10;
    else if ( unit == "m" || unit == "M" )
        size = number << 20;
    else if ( unit.empty() )
        size = number;
    else
        return false;
    return size > 0;
}

bool WriteFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    return static_cast<bool>(out);
}

} // anonymous namespace

int main(int argc, char** argv)
{
    FeedGen::Format format;
    std::size_t size = 0;
    if ( argc != 4 || !FeedGen::ParseFormat(argv[1], format) || !ParseSize(argv[2], size) )
    {
        std::fprintf(stderr, "usage: %s rss|atom BYTES[k|m] FILE\n", argv[0]);
        return 2;
    }
    const FeedGen::Feed feed = FeedGen::Generate(format, size);
    const std::string path = argv[3];
    if ( !WriteFile(path, feed.text)
         || !WriteFile(path + ".newest", feed.newestTitle + "\n" + feed.newestLink + "\n") )
    {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], path.c_str());
        return 1;
    }
    std::printf("%s: %zu bytes, %zu posts\n", path.c_str(), feed.text.size(), feed.posts);
    return 0;
}
