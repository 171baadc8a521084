#include "frontend/TapeListText.h"

#include <cstdio>

namespace tapelist {

namespace {

std::string Hex2(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", value & 0xFF);
    return text;
}

}  // namespace

Row RowOf(const tagTapeRecord& record) {
    Row row;
    if (record.recordType != tape::kTypeData) {
        row.record = record.infoText;
        if (record.recordType == tape::kTypeInfo) row.tipText = record.infoText;
        return row;
    }
    row.record = Hex2(record.number);
    row.type = Hex2(record.fileType) + " - " + tape::FileTypeName(record.fileType);
    row.blocks = std::to_string(record.blockCount);
    if (record.incomplete) {
        row.mark = Mark::Incomplete;
        row.tipKey = "err.ListViewTape.NotComplete";
    } else if (record.badSize) {
        row.mark = Mark::BadSize;
        row.tipKey = "err.ListViewTape.InvalidSize";
    } else if (record.crcError) {
        row.mark = Mark::CrcError;
        row.tipKey = "err.ListViewTape.CrcError";
    }
    return row;
}

std::string Caption(const std::string& base, const TapeRecordList& records) {
    if (records.empty()) return base;
    const std::string& source = records.front().sourcePath;
    const size_t slash = source.find_last_of('/');
    return base + " - " + (slash == std::string::npos ? source : source.substr(slash + 1));
}

}  // namespace tapelist
