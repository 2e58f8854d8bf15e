// Addresses: a feed address, then after a line feed a Location to resolve against it.

#include "fuzzsetup.h"

#include "base/httpclient.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    SetUpFuzzing();
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find('\n');
    const std::string address = input.substr(0, split);
    std::string normalized;
    if ( NormalizeAddress(address, normalized) )
    {
        // What was accepted once is accepted again. libcurl may still rewrite it once more
        // ("http://%32/" becomes "http://2/", then "http://0.0.0.2/"), but then it settles.
        std::string again;
        std::string settled;
        if ( !NormalizeAddress(normalized, again) || !NormalizeAddress(again, settled)
             || settled != again )
            __builtin_trap();
    }
    if ( split != std::string::npos )
    {
        std::string resolved;
        if ( ResolveLocation(address, input.substr(split + 1), resolved)
             && resolved.compare(0, 4, "http") != 0 )
            __builtin_trap();
    }
    return 0;
}
