#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "media/tape/TapeMessage.h"
#include "media/tape/TapeRecord.h"
#include "media/tape/TapeSource.h"

// The tape image (".pta"): records one after another, each a little-endian 32-bit length (of
// what follows it), a type byte and the data. A data record's data is a run of 133-byte blocks
// numbered down to 0, each normally stored twice.
namespace tape {

using WorkBuffer = std::vector<uint8_t>;  // kWorkBufferSize bytes

struct ReadResult {
    TapeRecordList records;
    bool failed = false;  // the file could not be read to its exact end
};

// Lists the records of the tape at `path`. What can be read is listed even when the file is
// damaged; a record whose length points past the end of the file, or is longer than any record
// the program writes (kMaxRecordLength), is listed as incomplete and never read beyond it.
ReadResult ReadTape(const std::string& path);
// The same for bytes already in memory, listed as coming from `path`.
ReadResult ReadTapeFrom(TapeSource& source, const std::string& path);

// Writes the records in list order as the new content of `path`. Every record's bytes are read
// before the target is replaced, so a tape can be written over the file it was read from; the
// target is replaced in one step and left as it was on any failure. Plain files made by the
// BASIC importer ("...-tmp.tmp") are removed once the tape is written, unless a list that
// still needs them (the browser's own, when only a selection is saved) is told to keep them.
TapeMessage WriteTape(const std::string& path, const TapeRecordList& records, WorkBuffer& work,
                      bool removeImporterFiles = true);

// The payloads of the record's blocks, one copy each, from the start of `work`: the first copy
// that passes its checksum, or the first copy of a block that has none (so every block keeps
// its place; the record's blocksWithoutGoodCopy names them). Returns the number of bytes (128
// for every block found).
size_t ExtractRawData(const tagTapeRecord& record, WorkBuffer& work);
size_t ExtractRawDataFrom(TapeSource& source, const tagTapeRecord& record, WorkBuffer& work);

// Block numbers as the tape numbers them: "0002" or "0002, 0001".
std::string BlockNumbersText(const std::vector<uint16_t>& blocks);

// The checksum of a block's bytes 0..131 (0xFF XOR their 8-bit sum); true when byte 132 holds it.
bool BlockChecksum(const uint8_t* block, uint8_t* checksum = nullptr);

// The bytes the tape interface plays for a data record: its data exactly as stored, both
// copies of every block, at most kMaxRecordLength - 1 bytes (`work` grows to hold them, so call
// it only while nothing plays from `work`). -1 when the source cannot be read.
int64_t ReadPlayData(const tagTapeRecord& record, WorkBuffer& work);

// A record for a plain file, cut into blocks when the tape is saved.
TapeMessage MakeFileRecord(const std::string& path, uint8_t number, uint8_t fileType,
                           bool singleBlocks, tagTapeRecord& record);

// Saves the record's payload as a plain file: the extracted bytes, for BASIC only as many as
// the program's length word says (plus its five framing bytes).
TapeMessage ExportRawData(const tagTapeRecord& record, const std::string& target, WorkBuffer& work);

}  // namespace tape
