#pragma once

#include <string>
#include <string_view>
#include <vector>

// One choice of a file dialog's type list.
struct FileFilter {
    std::string description;
    std::vector<std::string> patterns;  // never empty
};

// Reads the filter texts of the language files: description and pattern pairs separated by
// "|" ("Tape images|*.pta|All files|*.*"); several patterns of one entry are separated by ";".
// "*.*" means every file, as it does where these texts come from (it becomes "*", since a Linux
// file name need not have a dot). A description without pattern gets "*"; a pattern without
// description is described by itself; empty text gives no filters.
std::vector<FileFilter> ParseFileFilter(std::string_view text);
