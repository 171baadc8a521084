#include "emulator/Snapshot.h"

#include <array>

namespace snapshot {

namespace {
// Eight tables let the loop take eight bytes per step (table k is the CRC of a byte followed by
// k zero bytes); a snapshot of the whole machine is checked on every save and load, and the
// history saves one every few milliseconds at full speed.
using CrcTables = std::array<std::array<uint32_t, 256>, 8>;

constexpr CrcTables MakeCrcTables() {
    CrcTables tables{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        tables[0][n] = c;
    }
    for (uint32_t n = 0; n < 256; ++n) {
        for (size_t k = 1; k < 8; ++k) {
            const uint32_t previous = tables[k - 1][n];
            tables[k][n] = tables[0][previous & 0xFF] ^ (previous >> 8);
        }
    }
    return tables;
}

constexpr CrcTables kCrcTables = MakeCrcTables();
}  // namespace

uint32_t Crc32(const uint8_t* data, size_t length) {
    const auto& t = kCrcTables;
    uint32_t crc = 0xFFFFFFFFu;
    size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        const uint32_t low = crc ^ (uint32_t{data[i]} | uint32_t{data[i + 1]} << 8 |
                                    uint32_t{data[i + 2]} << 16 | uint32_t{data[i + 3]} << 24);
        crc = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^
              t[4][low >> 24] ^ t[3][data[i + 4]] ^ t[2][data[i + 5]] ^ t[1][data[i + 6]] ^
              t[0][data[i + 7]];
    }
    for (; i < length; ++i) crc = t[0][(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

std::string DescribeLoadError(LoadError error, uint32_t version) {
    switch (error) {
        case LoadError::None: return {};
        case LoadError::Unreadable: return "the snapshot file cannot be read";
        case LoadError::NotSnapshot: return "the file is not a Tevrin snapshot";
        case LoadError::NewerVersion:
            return "the snapshot has format version " + std::to_string(version) +
                   ", newer than this program reads (" + std::to_string(kFormatVersion) + ")";
        case LoadError::OlderVersion:
            return "the snapshot has format version " + std::to_string(version) +
                   ", which this program no longer reads";
        case LoadError::Damaged: return "the snapshot file is damaged";
        case LoadError::OtherHardware:
            return "the snapshot was saved with other hardware settings (memory, multiplier or "
                   "SD-ROM module)";
        case LoadError::NotBuilt: return "the machine is not built";
    }
    return {};
}

}  // namespace snapshot
