// libFuzzer target over the engine's read path (built by scripts/fuzz.sh with
// clang's fuzzer, address and undefined-behaviour sanitizers).
#include "tests/fuzz/FuzzOne.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zorvane::fuzz::fuzzOne(data, size);
    return 0;
}
