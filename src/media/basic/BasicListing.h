#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// BASIC programs between their tokenised form on tape and text listings.
//
// A program image is: the length of its lines (uint16, little-endian), 0x0D, the lines, and the
// end mark 0x00 0xFF. A line is its number (uint16), a link byte (the line's size - 2, the
// distance from the link to the next line), the statement bytes and 0x0D.
namespace basic {

// The largest program image: a tape record takes at most 126,080 bytes, but the length word is
// 16 bits, so the lines may fill at most 65,535 of them.
inline constexpr size_t kMaxProgramImage = 0xFFFF + 5;
// Longer lines do not fit the interpreter's input buffer (a warning only).
inline constexpr size_t kMaxLineCharacters = 96;

// The listing of a program image as UTF-8 text, one line per program line ended by CR LF.
// Walks no further than the length word says nor past the bytes given.
std::string ExportListing(const uint8_t* image, size_t size);

// One entry of the import log: a language key (FormTapeBrowser) and the values for %1 and %2.
struct LogEntry {
    std::string key;
    std::vector<std::string> values;
    bool operator==(const LogEntry&) const = default;
};

struct ImportResult {
    std::vector<uint8_t> image;  // the program image, always well-formed
    std::vector<LogEntry> log;   // empty when nothing is doubtful
};

// Tokenises a text listing (UTF-8; CR, LF or CR LF line ends). Doubtful lines are logged and
// converted all the same; only a line whose bytes cannot be linked is left out, and a program
// that would outgrow a tape record stops at the last line that fits.
ImportResult ImportListing(std::string_view text);

// The log as its file holds it: one message per line, CR LF line ends. `text` gives a key's
// language text with %1 and %2 filled in.
using LogText =
    std::function<std::string(const std::string& key, const std::string& a, const std::string& b)>;
std::string FormatLog(const std::vector<LogEntry>& log, const LogText& text);

}  // namespace basic
