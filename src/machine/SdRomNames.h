#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The SD-ROM module's rules for the names and paths the machine's software sends, and the
// conversion between its one-byte characters (Latin-1) and the host's UTF-8.
namespace sdrom {

enum class NameKind {
    Plain,          // one name: no separators, no wildcards
    PlainWildcard,  // one name that may hold "*" and "?" (delete, listing patterns)
    Path,           // names joined by "/" or "\", no wildcards
};

// No character the card's file system refuses: separators (except in a path), : " < > |,
// wildcards where they are not allowed, and control characters, NUL among them, which the
// host would take as the end of the name or which no file system of the card can hold.
bool ValidCharacters(std::string_view name, NameKind kind);

// A path as the machine's software wrote it, made relative to the card's root: "\" is a
// separator too, empty and "." components vanish, ".." goes up one. False for an absolute
// path and for one whose ".." would leave the root. The result holds no "." or "..".
bool NormalisePath(std::string_view path, std::string& normalised);

// folder + "/" + name, or name alone below the root.
std::string JoinPath(const std::string& folder, const std::string& name);

std::string Latin1ToUtf8(std::string_view latin1);
// Characters beyond Latin-1 and bytes that are not UTF-8 become '?'; `exact` (when given)
// says whether none did.
std::string Utf8ToLatin1(std::string_view utf8, bool* exact = nullptr);

// Lower case of a Latin-1 character (A-Z and the accented capitals).
uint8_t LowerLatin1(uint8_t c);

}  // namespace sdrom
