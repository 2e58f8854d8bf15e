// Addresses: a feed address, then after a line feed a Location to resolve against it.

#include "fuzzsetup.h"

#include "feed/httpclient.h"

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
        // What was accepted once is accepted again, unchanged.
        std::string again;
        if ( !NormalizeAddress(normalized, again) || again != normalized )
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
