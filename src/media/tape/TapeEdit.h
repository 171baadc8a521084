#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "media/tape/TapeMessage.h"
#include "media/tape/TapeRecord.h"

// Changes to a tape's record list: the operations of the browser's edit mode and of the
// command-line tool. Nothing here writes a tape; the list is saved with WriteTape. A selection
// is a list of item indices in ascending order.
namespace tape {

// Which records of the list a selection may move.
bool IsContiguous(const std::vector<int>& selection);
bool CanMoveUp(const std::vector<int>& selection);
bool CanMoveDown(const std::vector<int>& selection, size_t count);

// Moves the selected block one place: the record before it (up) or after it (down) goes to
// the block's other side. Returns the block's new indices; an empty result moved nothing.
std::vector<int> MoveRecords(TapeRecordList& records, const std::vector<int>& selection, bool down);
// Removes the selected records; plain files made by the BASIC importer go with them.
void DeleteRecords(TapeRecordList& records, const std::vector<int>& selection);
// Copies of the selected records (every field, the info text and the source included).
TapeRecordList CopyRecords(const TapeRecordList& records, const std::vector<int>& selection);
// Appends every record of the tape at `path`; a file that yields none is refused with the
// open-tape message, and the list is left as it was.
TapeMessage AppendTape(TapeRecordList& records, const std::string& path);

tagTapeRecord MakeInfoRecord(const std::string& text);
// Whether a record can be edited: a data record needs whole blocks in an unbroken sequence.
bool CanEditRecord(const tagTapeRecord& record);

// What the header dialog shows and returns.
struct RecordHeader {
    uint8_t number = 0x01;
    uint8_t fileType = kFileMonitor;
    bool fixCrcEnabled = false;  // only a record with checksum errors can be repaired
    bool fixCrc = false;
    bool singleBlocks = false;
};
RecordHeader HeaderOf(const tagTapeRecord& record);
// Applies the dialog's answer; true when the record is now to be rebuilt on saving.
bool ApplyHeader(tagTapeRecord& record, const RecordHeader& header);
// A changed info text; true when it differs.
bool ApplyInfoText(tagTapeRecord& record, const std::string& text);

// The type box's items: 0 BASIC, 1 DATA, 2 MONIT, 3 custom; and the field text each gives.
int TypeItemOf(uint8_t fileType);
std::string TypeFieldOf(int item);

}  // namespace tape
