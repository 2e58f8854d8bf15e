#ifndef FEEDQUILL_FUZZ_FUZZSETUP_H
#define FEEDQUILL_FUZZ_FUZZSETUP_H

// What every fuzz target needs once: wxWidgets without a display, a configuration in memory,
// and a data folder of its own, so that nothing a run does reaches the user's files.

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

void SetUpFuzzing();

#endif
