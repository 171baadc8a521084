#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <vector>

// One record of a tape image as the tape deck lists it. The record does not hold its bytes:
// whoever needs them reads them again from sourcePath at offset.
struct tagTapeRecord {
    uint32_t length = 0;      // the stored length field; for an added plain file, its size
    uint8_t recordType = 0;   // 0xFF data, 0x00 info, anything else unknown
    uint16_t blockCount = 0;  // distinct blocks: the first block's number + 1
    uint8_t number = 0;       // record number, bit 7 cleared
    uint8_t fileType = 0;     // 0x02 BASIC, 0x04 DATA, 0x08 MONIT, else custom
    int64_t offset = 0;       // where the length field is in the source file
    bool badSize = false;     // the data is not a whole number of blocks
    bool crcError = false;    // some block copy failed its checksum
    // The numbers of the blocks none of whose copies passes its checksum, in tape order: their
    // bytes cannot be trusted, where a crcError alone only means that a spare copy is spoilt.
    std::vector<uint16_t> blocksWithoutGoodCopy;
    bool incomplete = false;    // the block sequence is broken, or the record is cut short
    bool rawSource = false;     // the source is a plain file, cut into blocks on saving
    bool fixCrc = false;        // recompute checksums on saving despite errors
    bool modified = false;      // rebuilt when the tape is saved
    bool singleBlocks = false;  // on rebuilding, each block once instead of twice
    std::string infoText;
    std::string sourcePath;
};

using TapeRecordList = std::list<tagTapeRecord>;

namespace tape {

inline constexpr uint8_t kTypeData = 0xFF, kTypeInfo = 0x00;
inline constexpr uint8_t kFileBasic = 0x02, kFileData = 0x04, kFileMonitor = 0x08;
inline constexpr int kBlockSize = 133, kPayloadSize = 128;
inline constexpr uint8_t kFirstBlockFlag = 0x80;
// Every byte operation goes through one buffer of this size (one record's bytes).
inline constexpr size_t kWorkBufferSize = 131072;
// A plain file may fill at most 985 blocks, so that one copy of each fits the buffer.
inline constexpr int64_t kMaxAddedFileSize = 126080;
// The largest record the program itself writes: a file of that size with every block doubled
// (the default), plus the type byte. Larger records are listed as damaged and never read.
inline constexpr int64_t kMaxRecordLength = 1 + 2 * (kMaxAddedFileSize / kPayloadSize) * kBlockSize;

// "BASIC", "DATA", "MONIT" or "CUSTOM".
const char* FileTypeName(uint8_t fileType);

}  // namespace tape
