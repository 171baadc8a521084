#pragma once

#include <cstddef>
#include <string_view>

namespace fuzzcheck {

// Whether the bytes are well-formed UTF-8 by their lead and continuation bytes: what every text
// the readers hand on must be.
inline bool IsValidUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        auto c = static_cast<unsigned char>(s[i]);
        size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (size_t k = 1; k < n; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        }
        i += n;
    }
    return true;
}

}  // namespace fuzzcheck
