#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz/MovieCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (fuzzcheck::CheckMovie({reinterpret_cast<const char*>(data), size}) != nullptr) {
        std::abort();
    }
    return 0;
}
