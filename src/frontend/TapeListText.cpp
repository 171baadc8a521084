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

Row RowOf(const tagTapeRecord& record, bool held) {
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
    } else if (!record.blocksWithoutGoodCopy.empty()) {
        row.mark = Mark::NoGoodCopy;
        row.tipKey = "err.ListViewTape.NoGoodCopy";
    } else if (record.crcError) {
        row.mark = Mark::CrcError;
        row.tipKey = "err.ListViewTape.CrcError";
    } else if (held) {
        row.tipKey = "text.ListViewTape.Unsaved";
    }
    return row;
}

std::string Caption(const std::string& base, const std::string& tapePath, bool unsaved,
                    const std::string& unsavedNote) {
    const size_t slash = tapePath.find_last_of('/');
    std::string name = slash == std::string::npos ? tapePath : tapePath.substr(slash + 1);
    if (unsaved) name += (name.empty() ? "" : " ") + unsavedNote;
    return name.empty() ? base : base + " - " + name;
}

}  // namespace tapelist
