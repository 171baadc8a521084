#include "media/tape/TapeEdit.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <iterator>
#include <system_error>

#include "media/tape/TapeImage.h"

namespace tape {
namespace {

bool IsImporterFile(const std::string& path) {
    constexpr std::string_view kSuffix = "-tmp.tmp";
    return path.size() >= kSuffix.size() &&
           path.compare(path.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0;
}

}  // namespace

bool IsContiguous(const std::vector<int>& selection) {
    if (selection.empty()) return false;
    for (size_t i = 1; i < selection.size(); ++i) {
        if (selection[i] != selection[i - 1] + 1) return false;
    }
    return true;
}

bool CanMoveUp(const std::vector<int>& selection) {
    return IsContiguous(selection) && selection.front() > 0;
}

bool CanMoveDown(const std::vector<int>& selection, size_t count) {
    return IsContiguous(selection) && selection.back() + 1 < static_cast<int>(count);
}

std::vector<int> MoveRecords(TapeRecordList& records, const std::vector<int>& selection,
                             bool down) {
    if (down ? !CanMoveDown(selection, records.size()) : !CanMoveUp(selection)) return {};
    const int first = selection.front(), last = selection.back();
    if (down) {
        // The record after the block goes before it.
        auto moved = std::next(records.begin(), last + 1);
        records.splice(std::next(records.begin(), first), records, moved);
    } else {
        auto moved = std::next(records.begin(), first - 1);
        records.splice(std::next(records.begin(), last + 1), records, moved);
    }
    std::vector<int> now = selection;
    for (int& index : now) index += down ? 1 : -1;
    return now;
}

void DeleteRecords(TapeRecordList& records, const std::vector<int>& selection) {
    int index = 0;
    for (auto it = records.begin(); it != records.end(); ++index) {
        if (!std::binary_search(selection.begin(), selection.end(), index)) {
            ++it;
            continue;
        }
        if (it->rawSource && IsImporterFile(it->sourcePath)) {
            std::error_code ignored;
            std::filesystem::remove(it->sourcePath, ignored);
        }
        it = records.erase(it);
    }
}

TapeRecordList CopyRecords(const TapeRecordList& records, const std::vector<int>& selection) {
    TapeRecordList copies;
    int index = 0;
    for (const tagTapeRecord& r : records) {
        if (std::binary_search(selection.begin(), selection.end(), index++)) copies.push_back(r);
    }
    return copies;
}

TapeMessage AppendTape(TapeRecordList& records, const std::string& path) {
    ReadResult read = ReadTape(path);
    if (read.records.empty()) {
        return TapeMessage::Make("OpenTape", {std::filesystem::path(path).filename().string()});
    }
    records.splice(records.end(), read.records);
    return {};
}

tagTapeRecord MakeInfoRecord(const std::string& text) {
    tagTapeRecord r;
    r.recordType = kTypeInfo;
    r.infoText = text;
    r.modified = true;
    r.length = static_cast<uint32_t>(text.size() + 1);
    return r;
}

bool CanEditRecord(const tagTapeRecord& record) {
    return !record.badSize && !record.incomplete;
}

RecordHeader HeaderOf(const tagTapeRecord& record) {
    RecordHeader h;
    h.number = record.number;
    h.fileType = record.fileType;
    h.fixCrcEnabled = record.crcError;
    h.fixCrc = record.crcError && record.fixCrc;
    h.singleBlocks = record.singleBlocks;
    return h;
}

bool ApplyHeader(tagTapeRecord& record, const RecordHeader& header) {
    const uint8_t number = header.number & 0x7F;
    if (number != record.number) {
        record.number = number;
        record.modified = true;
    }
    if (header.fileType != record.fileType) {
        record.fileType = header.fileType;
        record.modified = true;
    }
    record.fixCrc = header.fixCrcEnabled && header.fixCrc;
    if (record.fixCrc) record.modified = true;
    record.singleBlocks = header.singleBlocks;
    if (record.singleBlocks) record.modified = true;
    return record.modified;
}

bool ApplyInfoText(tagTapeRecord& record, const std::string& text) {
    if (text == record.infoText) return false;
    record.infoText = text;
    record.modified = true;
    return true;
}

int TypeItemOf(uint8_t fileType) {
    switch (fileType) {
        case kFileBasic: return 0;
        case kFileData: return 1;
        case kFileMonitor: return 2;
        default: return 3;
    }
}

std::string TypeFieldOf(int item) {
    switch (item) {
        case 0: return "02";
        case 1: return "04";
        case 2: return "08";
        default: return "01";
    }
}

}  // namespace tape
