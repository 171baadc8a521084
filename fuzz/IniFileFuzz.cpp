// Any bytes as a language file: the reader must not crash, hand on only valid UTF-8, and answer
// lookups consistently with what it read.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "fuzz/IniFileCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (fuzzcheck::CheckIniFile({reinterpret_cast<const char*>(data), size}) != nullptr) {
        std::abort();
    }
    return 0;
}
