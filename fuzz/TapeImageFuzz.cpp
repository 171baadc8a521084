// Any bytes as a tape image: the reader must not crash or read outside what it was given, must
// account for every byte it lists, and extraction must stay inside the work buffer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "media/tape/TapeImage.h"
#include "media/tape/TapeSource.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

bool IsValidUtf8(std::string_view s) {
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    MemoryTapeSource source(bytes);
    tape::ReadResult read = tape::ReadTapeFrom(source, "fuzz.pta");
    static tape::WorkBuffer work(tape::kWorkBufferSize);
    int64_t next = 0;
    for (const tagTapeRecord& r : read.records) {
        // Records follow each other exactly; only the last may reach past the end.
        Check(r.offset == next);
        next = r.offset + 4 + static_cast<int64_t>(r.length);
        Check(r.offset + 5 <= static_cast<int64_t>(size));
        Check(IsValidUtf8(r.infoText));
        if (r.recordType != tape::kTypeData) {
            Check(r.blockCount == 0 && r.number == 0 && r.fileType == 0);
            continue;
        }
        if (next > static_cast<int64_t>(size)) Check(r.incomplete);
        const size_t extracted = tape::ExtractRawDataFrom(source, r, work);
        Check(extracted % tape::kPayloadSize == 0 && extracted <= work.size());
        if (!r.badSize && !r.incomplete && !r.crcError) {
            Check(extracted == static_cast<size_t>(r.blockCount) * tape::kPayloadSize);
        }
    }
    Check(read.failed == (next != static_cast<int64_t>(size)) || read.records.empty());
    return 0;
}
