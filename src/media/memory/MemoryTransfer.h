#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "machine/ChipMemory.h"

// Moving bytes between host files and the machine's memory, either through the processor's
// address space (with the mapping in force) or by whole physical pages, whatever the mapping.
namespace media {

inline constexpr int kDefaultTransferPage = 0xE0;

struct MemoryArea {
    bool pages = false;  // whole 4 KB pages from..to, else start and length in the address space
    int start = 0;
    int length = 1;
    int from = kDefaultTransferPage;
    int to = kDefaultTransferPage;

    // Bytes the area covers; 0 when its numbers are out of range.
    size_t Size() const;
};

// The area's bytes for a save. Pages the memory does not have give 0xFF; the address space is
// read like a processor read but never raises the memory's fault, so saving an unmapped range
// does not stop the machine.
std::vector<uint8_t> CollectMemory(const ChipMemory& memory, const MemoryArea& area);

// Writes `data` (at most the area's size) into the area. Pages the memory does not have are
// skipped; in the address space read-only and unmapped addresses keep their contents and raise
// no fault, and the screen's colour-write hook sees the writes as it would the processor's.
// Returns the number of bytes that reached memory.
size_t StoreInMemory(ChipMemory& memory, const MemoryArea& area, std::span<const uint8_t> data);

// Reads at most `maxBytes` from the start of a regular file. A pipe or device is refused (it
// could block the program or never end). False when nothing could be read.
bool ReadFileStart(const std::string& path, size_t maxBytes, std::vector<uint8_t>& out);

// The file's size, -1 when it is missing or not a regular file.
int64_t RegularFileSize(const std::string& path);

// CollectMemory written through files::WriteFileAtomically: an old file is replaced only once
// the new one is complete. False with the reason in `error`.
bool SaveMemoryToFile(const ChipMemory& memory, const MemoryArea& area, const std::string& path,
                      std::string* error = nullptr);

// ReadFileStart for the area's size, then StoreInMemory. False (memory untouched) when nothing
// could be read.
bool LoadFileIntoMemory(ChipMemory& memory, const MemoryArea& area, const std::string& path);

}  // namespace media
