#ifndef FEEDQUILL_BENCH_FEEDGEN_H
#define FEEDQUILL_BENCH_FEEDGEN_H

#include <cstddef>
#include <string>

// Makes the feeds of the benchmarks: a blog's RSS 2.0 or Atom feed with realistic posts (title,
// link, id, dates, author, categories and a few KB of escaped HTML each), newest first. The
// output depends only on the format and the size asked for; a smaller feed is the top of a
// larger one, so every size has the same newest post.
namespace FeedGen
{

enum Format { RSS, ATOM };

struct Feed
{
    std::string text;        // the whole document, at most the size asked for
    std::size_t posts = 0;
    std::string newestTitle; // as a reader shows it: entities decoded
    std::string newestLink;
};

// At least one post, even when it does not fit the size.
Feed Generate(Format format, std::size_t maxBytes);

// "rss" or "atom"; false for anything else.
bool ParseFormat(const std::string& name, Format& format);

} // namespace FeedGen

#endif
