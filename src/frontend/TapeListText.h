#pragma once

#include <string>

#include "media/tape/TapeRecord.h"

// What the tape browser's list shows of a record, worked out without the widgets.
namespace tapelist {

// The picture in the third column: what is wrong with a data record, worst first.
enum class Mark { None, Incomplete, BadSize, CrcError };

struct Row {
    std::string record;  // data: the number as two hex digits; info or unknown: its text
    std::string type;    // data: "08 - MONIT"; otherwise empty
    std::string blocks;  // data: the block count; otherwise empty
    Mark mark = Mark::None;
    // The tooltip: an info record's text, else the language key (FormTapeBrowser) of the mark;
    // both empty when there is nothing to say.
    std::string tipText;
    std::string tipKey;
};

Row RowOf(const tagTapeRecord& record);

// The window's caption: the base text, and " - " with the file name (no folder) of the first
// record's source when the list is not empty.
std::string Caption(const std::string& base, const TapeRecordList& records);

}  // namespace tapelist
