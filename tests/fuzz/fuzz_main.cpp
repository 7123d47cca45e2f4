// The libFuzzer entry of one target; ZUKA_FUZZ_ENTRY names it (see CMakeLists.txt).
#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return zuka::ZUKA_FUZZ_ENTRY(data, size);
}
