// A feed document as it arrives: bytes to document to the newest post.

#include "fuzzsetup.h"

#include "feed/feedreader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    SetUpFuzzing();
    FeedReader reader("");
    if ( reader.LoadDocument(reinterpret_cast<const char*>(data), size) == FEED_OK
         && reader.ParseDocument() == FEED_OK
         && (reader.GetTitle().empty() || reader.GetLink().empty()) )
        __builtin_trap();  // a post is only ever found whole
    return 0;
}
