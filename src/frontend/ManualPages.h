#pragma once

#include <string>
#include <string_view>

// The user's manual delivered with the program: Markdown files in the program folder's doc/
// (MANUAL.md in English, translations beside it), their pictures in doc/manual/.
namespace manual {

inline constexpr const char* kFolder = "doc/";
inline constexpr const char* kEnglishFile = "MANUAL.md";
// The anchor the keyboard map's heading carries, in every translation.
inline constexpr const char* kKeyboardAnchor = "keyboard";

// The manual to show from `folder` (ending with "/"): the translation a language file names
// when it is there, else the English one; empty when neither exists. A name with a folder part
// is not taken: a language file says which file, never where.
std::string ManualPath(const std::string& folder, std::string_view translation);

// The section of a Markdown text whose heading carries <a name="anchor">, up to the next
// heading of the same or a higher level (lines in code blocks are not headings); empty when no
// heading carries it.
std::string Section(std::string_view markdown, std::string_view anchor);

}  // namespace manual
