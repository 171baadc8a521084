#include "emulator/Snapshot.h"

#include <array>

namespace snapshot {

namespace {
std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}
}  // namespace

uint32_t Crc32(const uint8_t* data, size_t length) {
    static const std::array<uint32_t, 256> table = MakeCrcTable();
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < length; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
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
