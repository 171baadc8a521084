#include "media/tape/TapeImage.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "host/files/AtomicFile.h"
#include "host/lang/TextDecoding.h"

namespace tape {
namespace {

constexpr int kHeadSize = 5;  // length field and type byte
constexpr size_t kMaxInfoBytes = kWorkBufferSize - kHeadSize;
constexpr const char* kUnknownType = "Unknown Record Type: ";
constexpr const char* kTemporarySuffix = "-tmp.tmp";

uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
int Le16(const uint8_t* p) {
    return p[0] | p[1] << 8;
}

void PutLe32(std::string& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
}

std::string HexByte(uint8_t value) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", value);
    return text;
}

void EnsureSize(WorkBuffer& work) {
    if (work.size() < kWorkBufferSize) work.resize(kWorkBufferSize);
}

// Walks a data record's blocks the way the reader checks them.
// `expected` starts at the first block's number + 1.
void CheckBlocks(TapeSource& source, int64_t dataStart, int64_t dataLength, int32_t expected,
                 tagTapeRecord& r) {
    uint8_t block[kBlockSize];
    // Whether the block being walked (number `expected`) has a copy that passes; true before
    // the first one.
    bool goodCopy = true;
    auto endOfBlock = [&] {
        if (!goodCopy) r.blocksWithoutGoodCopy.push_back(static_cast<uint16_t>(expected));
    };
    // Only whole blocks inside the record: a short tail never takes bytes of the next record.
    for (int64_t used = 0; used + kBlockSize <= dataLength; used += kBlockSize) {
        if (source.ReadAt(dataStart + used, block, kBlockSize) < kBlockSize) break;
        if ((block[2] & 0x7F) != r.number) {
            r.incomplete = true;
            break;
        }
        const int number = Le16(block);
        if (number != expected) {
            if (number != expected - 1) {
                r.incomplete = true;
                break;
            }
            endOfBlock();
            expected = number;
            goodCopy = false;
        }
        if (BlockChecksum(block)) {
            goodCopy = true;
        } else {
            r.crcError = true;
        }
    }
    endOfBlock();
    if (expected != 0) r.incomplete = true;
}

bool EndsWith(const std::string& text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The longest prefix of at most `limit` bytes that does not split a UTF-8 sequence.
std::string_view Utf8Prefix(std::string_view text, size_t limit) {
    if (text.size() <= limit) return text;
    size_t end = limit;
    while (end > 0 && (static_cast<uint8_t>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

// Up to `count` bytes of `path` from `offset`; false when the file cannot be opened.
bool ReadRange(const std::string& path, int64_t offset, int64_t count, std::string& out) {
    FileTapeSource source(path);
    if (!source.IsOpen()) return false;
    const int64_t size = source.Size();
    int64_t available = size < 0 ? count : std::max<int64_t>(0, size - offset);
    out.resize(static_cast<size_t>(std::min(count, available)));
    out.resize(source.ReadAt(offset, reinterpret_cast<uint8_t*>(out.data()), out.size()));
    return true;
}

void AppendBlock(std::string& out, const uint8_t* block, bool twice) {
    out.append(reinterpret_cast<const char*>(block), kBlockSize);
    if (twice) out.append(reinterpret_cast<const char*>(block), kBlockSize);
}

void AppendRawSource(const tagTapeRecord& r, const std::string& data, std::string& out) {
    std::string body(1, static_cast<char>(kTypeData));
    uint8_t block[kBlockSize];
    for (int i = 0; i < r.blockCount; ++i) {
        std::fill(block, block + kBlockSize, 0);
        const int number = r.blockCount - 1 - i;
        block[0] = static_cast<uint8_t>(number);
        block[1] = static_cast<uint8_t>(number >> 8);
        block[2] = static_cast<uint8_t>(r.number | (i == 0 ? kFirstBlockFlag : 0));
        block[3] = r.fileType;
        const size_t from = static_cast<size_t>(i) * kPayloadSize;
        if (from < data.size()) {
            const size_t n = std::min<size_t>(kPayloadSize, data.size() - from);
            std::copy_n(reinterpret_cast<const uint8_t*>(data.data()) + from, n, block + 4);
        }
        BlockChecksum(block, &block[kBlockSize - 1]);
        AppendBlock(body, block, !r.singleBlocks);
    }
    PutLe32(out, static_cast<uint32_t>(body.size()));
    out += body;
}

// A good data record with a changed number or file type: every block once or twice, from its
// good copy where the first one is damaged.
void AppendRebuilt(const tagTapeRecord& r, const std::string& stored, std::string& out) {
    const auto* data = reinterpret_cast<const uint8_t*>(stored.data()) + kHeadSize;
    const int64_t length = static_cast<int64_t>(stored.size()) - kHeadSize;
    const bool keepChecksums = r.crcError && !r.fixCrc;
    std::string body(1, static_cast<char>(kTypeData));
    int32_t expected = r.blockCount;
    int64_t at = 0;
    while (at + kBlockSize <= length) {
        const int number = Le16(data + at);
        if (number == expected - 1) {
            expected = number;
        } else if (number != expected) {
            break;
        }
        // This block and the copies of it that follow: the first good one is written.
        const uint8_t* chosen = data + at;
        bool good = BlockChecksum(chosen);
        for (at += kBlockSize; at + kBlockSize <= length && Le16(data + at) == number;
             at += kBlockSize) {
            if (!good && BlockChecksum(data + at)) {
                chosen = data + at;
                good = true;
            }
        }
        uint8_t block[kBlockSize];
        std::copy_n(chosen, kBlockSize, block);
        block[2] = static_cast<uint8_t>(r.number | (number + 1 == r.blockCount ? 0x80 : 0));
        block[3] = r.fileType;
        if (!keepChecksums) BlockChecksum(block, &block[kBlockSize - 1]);
        AppendBlock(body, block, !r.singleBlocks);
    }
    PutLe32(out, static_cast<uint32_t>(body.size()));
    out += body;
}

void AppendInfo(const tagTapeRecord& r, std::string& out) {
    const std::string_view text = Utf8Prefix(r.infoText, kMaxInfoBytes);
    PutLe32(out, static_cast<uint32_t>(text.size() + 1));
    out.push_back(static_cast<char>(kTypeInfo));
    out += text;
}

}  // namespace

const char* FileTypeName(uint8_t fileType) {
    switch (fileType) {
        case kFileBasic: return "BASIC";
        case kFileData: return "DATA";
        case kFileMonitor: return "MONIT";
        default: return "CUSTOM";
    }
}

std::string BlockNumbersText(const std::vector<uint16_t>& blocks) {
    std::string text;
    char number[8];
    for (uint16_t block : blocks) {
        std::snprintf(number, sizeof number, "%04u", static_cast<unsigned>(block));
        text += (text.empty() ? "" : ", ") + std::string(number);
    }
    return text;
}

bool BlockChecksum(const uint8_t* block, uint8_t* checksum) {
    uint8_t sum = 0;
    for (int i = 0; i < kBlockSize - 1; ++i) sum = static_cast<uint8_t>(sum + block[i]);
    const uint8_t value = static_cast<uint8_t>(0xFF ^ sum);
    const bool matches = block[kBlockSize - 1] == value;
    if (checksum != nullptr) *checksum = value;
    return matches;
}

ReadResult ReadTape(const std::string& path) {
    FileTapeSource source(path);
    if (!source.IsOpen()) return {{}, true};
    return ReadTapeFrom(source, path);
}

ReadResult ReadTapeFrom(TapeSource& source, const std::string& path) {
    ReadResult result;
    const int64_t size = source.Size();
    if (size < 6) {
        result.failed = true;
        return result;
    }
    int64_t pos = 0;
    while (true) {
        uint8_t head[9] = {};
        const size_t got = source.ReadAt(pos, head, sizeof head);
        // Five bytes make a record's head: a short info record at the end is still one.
        if (got < kHeadSize) break;
        tagTapeRecord r;
        r.length = Le32(head);
        r.recordType = head[4];
        r.offset = pos;
        r.sourcePath = path;
        const int64_t dataLength = static_cast<int64_t>(r.length) - 1;
        const int64_t end = pos + 4 + static_cast<int64_t>(r.length);
        if (r.recordType == kTypeData) {
            r.badSize = dataLength % kBlockSize != 0;
            if (got < sizeof head || dataLength < 4) {
                r.incomplete = true;
            } else {
                r.incomplete = (head[7] & kFirstBlockFlag) == 0;
                r.blockCount = static_cast<uint16_t>(Le16(head + 5) + 1);
                r.number = head[7] & 0x7F;
                r.fileType = head[8];
                CheckBlocks(source, pos + kHeadSize, dataLength, Le16(head + 5) + 1, r);
            }
            if (end > size || static_cast<int64_t>(r.length) > kMaxRecordLength) {
                r.incomplete = true;
            }
        } else if (r.recordType == kTypeInfo) {
            const size_t want = static_cast<size_t>(
                std::clamp<int64_t>(dataLength, 0, static_cast<int64_t>(kWorkBufferSize)));
            std::string bytes(want, '\0');
            if (want > 0 && source.ReadAt(pos + kHeadSize, reinterpret_cast<uint8_t*>(bytes.data()),
                                          want) < want) {
                break;
            }
            r.infoText = text::DecodeToUtf8(bytes);
        } else {
            r.infoText = kUnknownType + HexByte(r.recordType);
        }
        result.records.push_back(std::move(r));
        pos = end;
        if (!(pos < size - 4)) break;
    }
    result.failed = pos != size;
    return result;
}

TapeMessage WriteTape(const std::string& path, const TapeRecordList& records, WorkBuffer& work,
                      bool removeImporterFiles) {
    EnsureSize(work);
    std::string out;
    for (const tagTapeRecord& r : records) {
        std::string stored;
        if (r.rawSource) {
            if (!ReadRange(r.sourcePath, 0, std::min<int64_t>(r.length, kMaxAddedFileSize),
                           stored)) {
                return TapeMessage::Make("OpenTape", {r.sourcePath});
            }
            AppendRawSource(r, stored, out);
            continue;
        }
        // A changed or new info record is made from its text alone (a new one has no source).
        if (r.recordType == kTypeInfo && r.modified) {
            AppendInfo(r, out);
            continue;
        }
        if (!ReadRange(r.sourcePath, r.offset, static_cast<int64_t>(r.length) + 4, stored) ||
            stored.size() < static_cast<size_t>(kHeadSize)) {
            return TapeMessage::Make("OpenTape", {r.sourcePath});
        }
        if (r.recordType == kTypeData && !r.badSize && !r.incomplete && r.modified) {
            AppendRebuilt(r, stored, out);
        } else {
            // As stored. A record cut short by the end of its file gets the length it has, so
            // that the records after it stay readable.
            PutLe32(out, static_cast<uint32_t>(stored.size() - 4));
            out.append(stored, 4);
        }
    }
    if (!files::WriteFileAtomically(path, out)) return TapeMessage::Make("CreateFile", {path});
    for (const tagTapeRecord& r : records) {
        if (removeImporterFiles && r.rawSource && r.sourcePath.size() >= 9 &&
            EndsWith(r.sourcePath, kTemporarySuffix)) {
            std::error_code ignored;
            std::filesystem::remove(r.sourcePath, ignored);
        }
    }
    return {};
}

size_t ExtractRawData(const tagTapeRecord& record, WorkBuffer& work) {
    FileTapeSource source(record.sourcePath);
    if (!source.IsOpen()) return 0;
    return ExtractRawDataFrom(source, record, work);
}

size_t ExtractRawDataFrom(TapeSource& source, const tagTapeRecord& record, WorkBuffer& work) {
    EnsureSize(work);
    int64_t pos = record.offset + kHeadSize;
    const int64_t end = record.offset + 4 + static_cast<int64_t>(record.length);
    int32_t expected = record.blockCount;
    bool taken = true;  // nothing is owed before the first block
    size_t appended = 0;
    uint8_t block[kBlockSize];
    uint8_t firstCopy[kBlockSize];
    // A block none of whose copies passes still holds its place, so that the bytes after it
    // stay where the program expects them: its first copy stands in.
    auto keepFirstCopy = [&] {
        if (taken || appended + kPayloadSize > work.size()) return;
        std::copy_n(firstCopy + 4, kPayloadSize, work.begin() + static_cast<long>(appended));
        appended += kPayloadSize;
        taken = true;
    };
    while (pos + kBlockSize <= end && appended + kPayloadSize <= work.size() &&
           source.ReadAt(pos, block, kBlockSize) == static_cast<size_t>(kBlockSize)) {
        pos += kBlockSize;
        const int number = Le16(block);
        if (number != expected) {
            if (number != expected - 1) break;
            keepFirstCopy();
            expected = number;
            taken = false;
            std::copy_n(block, kBlockSize, firstCopy);
        } else if (taken) {
            continue;
        }
        if (!BlockChecksum(block)) continue;
        std::copy_n(block + 4, kPayloadSize, work.begin() + static_cast<long>(appended));
        appended += kPayloadSize;
        taken = true;
    }
    keepFirstCopy();
    return appended;
}

int64_t ReadPlayData(const tagTapeRecord& record, WorkBuffer& work) {
    EnsureSize(work);
    FileTapeSource source(record.sourcePath);
    if (!source.IsOpen()) return -1;
    // A file of the added-file limit stored with doubled blocks is twice the work buffer.
    const int64_t want =
        std::clamp<int64_t>(static_cast<int64_t>(record.length) - 1, 0, kMaxRecordLength - 1);
    if (work.size() < static_cast<size_t>(want)) work.resize(static_cast<size_t>(want));
    return static_cast<int64_t>(
        source.ReadAt(record.offset + kHeadSize, work.data(), static_cast<size_t>(want)));
}

TapeMessage MakeFileRecord(const std::string& path, uint8_t number, uint8_t fileType,
                           bool singleBlocks, tagTapeRecord& record) {
    FileTapeSource source(path);
    if (!source.IsOpen() || source.Size() < 0) {
        return TapeMessage::Make("OpenTape", {path}, true);
    }
    const int64_t size = source.Size();
    if (size > kMaxAddedFileSize) {
        return TapeMessage::Make("AddFile", {path, std::to_string(kMaxAddedFileSize)}, true);
    }
    record = tagTapeRecord{};
    record.length = static_cast<uint32_t>(size);
    record.recordType = kTypeData;
    // An empty file still makes one (zero-filled) block: a record without blocks reads back
    // as damaged.
    record.blockCount = static_cast<uint16_t>(std::max<int64_t>(1, (size + 127) / 128));
    record.number = number & 0x7F;
    record.fileType = fileType;
    record.rawSource = true;
    record.modified = true;
    record.singleBlocks = singleBlocks;
    record.sourcePath = path;
    return {};
}

TapeMessage ExportRawData(const tagTapeRecord& record, const std::string& target,
                          WorkBuffer& work) {
    size_t count = ExtractRawData(record, work);
    if (record.fileType == kFileBasic && count >= 2) {
        count = std::min<size_t>(count, static_cast<size_t>(Le16(work.data())) + 5);
    }
    const std::string_view bytes(reinterpret_cast<const char*>(work.data()), count);
    if (!files::WriteFileAtomically(target, bytes)) {
        return TapeMessage::Make("CreateFile", {target});
    }
    return {};
}

}  // namespace tape
