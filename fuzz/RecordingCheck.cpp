#include "fuzz/RecordingCheck.h"

#include <cmath>
#include <iterator>

#include "media/tape/TapeImage.h"
#include "media/tape/TapeRecord.h"
#include "media/tape/TapeRecording.h"
#include "media/tape/TapeSource.h"

namespace fuzzcheck {

// Any bytes as a WAV recording: the decoder must not crash or read outside them, a refused file
// yields no record, and every record found is whole blocks that fit the work buffer and make a
// tape image the reader takes back record for record.
const char* CheckRecording(std::string_view bytes) {
    MemoryTapeSource source(bytes);
    const tape::RecordingResult result = tape::DecodeRecording(source);
    if (!result.error.empty())
        return result.records.empty() ? nullptr : "a refused file has records";
    for (const tape::DecodedRecord& r : result.records) {
        if (r.data.empty() || r.data.size() % tape::kBlockSize != 0)
            return "a record splits a block";
        if (r.data.size() + 5 > tape::kWorkBufferSize) return "a record overfills the work buffer";
        if (r.blocksWithoutGoodCopy < 0 || r.blocksWithoutGoodCopy > r.blocks)
            return "more blocks with no good copy than blocks";
        if (!std::isfinite(r.bitsPerSecond) || r.bitsPerSecond < 0) return "a speed is no number";
    }
    if (result.records.empty()) return nullptr;
    const std::string image = tape::RecordingImage(result);
    MemoryTapeSource imageSource(image);
    const tape::ReadResult read = tape::ReadTapeFrom(imageSource, "decoded.pta");
    if (read.failed) return "the tape image is not read to its end";
    if (read.records.size() != result.records.size()) return "the tape image lists other records";
    auto decoded = result.records.begin();
    for (const tagTapeRecord& r : read.records) {
        if (r.recordType != tape::kTypeData || r.badSize) return "a record is listed as damaged";
        if (r.number != decoded->number || r.fileType != decoded->fileType)
            return "a record's number or type changed";
        ++decoded;
    }
    return nullptr;
}

}  // namespace fuzzcheck
