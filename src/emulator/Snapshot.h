#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The ".tvs" snapshot file: the whole machine at one moment between two periods of the run
// loop. Layout (all numbers little-endian), described for users in docs/SNAPSHOT.md:
//   "TEVRINSS"  8 bytes
//   version     u32
//   sections    tag (4 ASCII bytes), length u32, that many bytes; "END " (length 0) last
//   checksum    u32, CRC-32 (IEEE) of every byte before it
// A reader skips sections it does not know; each version names the ones it requires.
namespace snapshot {

inline constexpr char kMagic[8] = {'T', 'E', 'V', 'R', 'I', 'N', 'S', 'S'};
inline constexpr uint32_t kFormatVersion = 1;
// The oldest version this program still reads.
inline constexpr uint32_t kOldestVersion = 1;
inline constexpr const char* kExtension = ".tvs";
// Far above any machine's state (about 120 KiB plus a tape record); a larger file is refused
// before it is read.
inline constexpr size_t kMaxFileSize = 64u << 20;

enum class LoadError {
    None,
    Unreadable,     // the file could not be read
    NotSnapshot,    // no snapshot of ours (wrong start)
    NewerVersion,   // written by a newer program
    OlderVersion,   // an old format this program no longer reads
    Damaged,        // checksum, structure or a value out of range
    OtherHardware,  // saved with another memory, multiplier or SD-ROM setting
    NotBuilt,       // the machine has no board to restore into
};

uint32_t Crc32(const uint8_t* data, size_t length);

// What a load refused, in English for the command line (the window words it from the
// language file): `version` is the file's format version where that matters.
std::string DescribeLoadError(LoadError error, uint32_t version);

}  // namespace snapshot
