// Any bytes as the configuration file: loading must not crash, every setting must read, the
// writers must keep the document well-formed, and what is written must load again unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "fuzz/ConfigDocumentCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (fuzzcheck::CheckConfigDocument({reinterpret_cast<const char*>(data), size}) != nullptr) {
        std::abort();
    }
    return 0;
}
