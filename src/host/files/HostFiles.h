#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Whole-file reads and writes for the small files the program keeps (configuration, language
// files, tape images written in one go).
namespace hostfile {

enum class ReadResult { Ok, Missing, TooLarge, Failed };

// Reads the whole file into `contents` (cleared first). A file larger than maxBytes is not
// read at all: these files are small, and a huge one is a mistake, not a setting.
ReadResult ReadWholeFile(const std::string& path, std::size_t maxBytes, std::string& contents);

// Writes `contents` to a new file in the target's folder and then renames it over the target,
// so the target is either the old file or the complete new one, never a truncated mix (a full
// disk or a crash mid-write leaves the old file intact). A symbolic link is followed, so the
// file it points to is replaced and the link stays. The new file keeps the old one's
// permissions. Returns false (with a reason in `error` when given) and leaves the target alone
// on any failure.
bool WriteFileAtomically(const std::string& path, std::string_view contents,
                         std::string* error = nullptr);

}  // namespace hostfile
