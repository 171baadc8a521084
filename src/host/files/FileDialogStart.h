#pragma once

#include <string>

// Where the shared open and save dialogs start, computed from the caller's stored path.
struct FileDialogStart {
    std::string folder;    // absolute, with a trailing "/"
    std::string fileName;  // proposed in the name field; may be empty
    std::string path;  // the caller's path afterwards: made absolute unless it was empty or "..."
};

// "..." is what the settings page shows for a file that does not exist: no file.
inline constexpr const char* kNoFilePlaceholder = "...";

// Empty or "...": the program folder, no name. Otherwise the path is made absolute; when its
// folder exists the dialog starts there proposing the file name, else in the program folder
// with no name.
FileDialogStart OpenDialogStart(const std::string& path);

// As for opening, except that the file name part is proposed even when the folder no longer
// exists (the user may want the same name elsewhere). "..." proposes no name.
FileDialogStart SaveDialogStart(const std::string& path);
