#include "fuzz/TapeImageCheck.h"

#include <cstddef>
#include <cstdint>

#include "fuzz/Utf8Check.h"
#include "media/tape/TapeImage.h"
#include "media/tape/TapeSource.h"

namespace fuzzcheck {

// Any bytes as a tape image: the reader must not crash or read outside what it was given, must
// account for every byte it lists, and extraction must stay inside the work buffer.
const char* CheckTapeImage(std::string_view bytes) {
    const size_t size = bytes.size();
    MemoryTapeSource source(bytes);
    tape::ReadResult read = tape::ReadTapeFrom(source, "fuzz.pta");
    static tape::WorkBuffer work(tape::kWorkBufferSize);
    int64_t next = 0;
    for (const tagTapeRecord& r : read.records) {
        // Records follow each other exactly; only the last may reach past the end.
        if (r.offset != next) return "records do not follow each other exactly";
        next = r.offset + 4 + static_cast<int64_t>(r.length);
        if (r.offset + 5 > static_cast<int64_t>(size)) return "a record head lies past the end";
        if (!IsValidUtf8(r.infoText)) return "an info text is not UTF-8";
        if (r.recordType != tape::kTypeData) {
            if (r.blockCount != 0 || r.number != 0 || r.fileType != 0)
                return "an info record carries data fields";
            continue;
        }
        if (next > static_cast<int64_t>(size) && !r.incomplete)
            return "a record reaching past the end is not marked incomplete";
        const size_t extracted = tape::ExtractRawDataFrom(source, r, work);
        if (extracted % tape::kPayloadSize != 0 || extracted > work.size())
            return "extraction left the work buffer or split a block";
        if (!r.badSize && !r.incomplete && !r.crcError) {
            if (extracted != static_cast<size_t>(r.blockCount) * tape::kPayloadSize)
                return "a sound record did not extract whole";
        }
    }
    if (read.failed != (next != static_cast<int64_t>(size)) && !read.records.empty())
        return "a failure and the bytes listed disagree";
    return nullptr;
}

}  // namespace fuzzcheck
