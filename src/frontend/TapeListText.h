#pragma once

#include <string>

#include "media/tape/TapeRecord.h"

// What the tape browser's list shows of a record, worked out without the widgets.
namespace tapelist {

// The picture in the third column: what is wrong with a data record, worst first. A block with
// no good copy has damaged bytes; a checksum error alone only spoilt a spare copy.
enum class Mark { None, Incomplete, BadSize, NoGoodCopy, CrcError };

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

// `held`: a recording the deck holds in no file yet (its tooltip says so when nothing is wrong).
Row RowOf(const tagTapeRecord& record, bool held = false);

// The window's caption: the base text, and " - " with the tape's file name (no folder), which
// stays when the file gave no record; `unsavedNote` follows when recordings are held in no file.
std::string Caption(const std::string& base, const std::string& tapePath, bool unsaved,
                    const std::string& unsavedNote);

}  // namespace tapelist
