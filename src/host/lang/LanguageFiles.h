#pragma once

#include <string>
#include <string_view>
#include <vector>

// Finding language files: "Lang/" in the program folder holds name + ".ini" and an optional
// flag picture name + ".bmp". The stored language name is lower case while the files may be
// written in any case, so every look-up ignores case (the exact name is tried first).
namespace lang {

struct LanguageEntry {
    std::string name;       // lower case: what is stored in the configuration and loaded
    std::string shownText;  // the file's name with only its first letter upper case
    std::string filePath;   // the .ini file
    std::string flagPath;   // the .bmp of the same name; empty when there is none
};

// Program folder + "Lang/" (or the folder's name in another case, when only that exists).
std::string LanguageFolder();

// The entry of `folder` named `name` ignoring case (the exact name preferred); empty when none.
std::string FindIgnoringCase(const std::string& folder, std::string_view name);

// The language file for a stored name. Empty when there is none, and for a name that could
// reach outside the folder (one holding "/" or a NUL).
std::string FindLanguageFile(const std::string& folder, std::string_view name);

// Every "*.ini" file of the folder (extension in any case), sorted by shown text.
std::vector<LanguageEntry> ListLanguages(const std::string& folder);

// The entry whose shown text equals the stored name ignoring case; -1 when none does.
int FindLanguageEntry(const std::vector<LanguageEntry>& entries, std::string_view storedName);

}  // namespace lang
