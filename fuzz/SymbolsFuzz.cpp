#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz/SymbolsCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (fuzzcheck::CheckSymbols({reinterpret_cast<const char*>(data), size}) != nullptr) {
        std::abort();
    }
    return 0;
}
