#include "host/files/FileDialogStart.h"

#include <filesystem>

#include "host/files/ProgramPaths.h"

namespace {

struct SplitPath {
    std::string folder;
    std::string name;
};

SplitPath Split(const std::string& absolute) {
    size_t slash = absolute.rfind('/');
    return {absolute.substr(0, slash + 1), absolute.substr(slash + 1)};
}

bool FolderExists(const std::string& folder) {
    std::error_code ec;
    return !folder.empty() && std::filesystem::is_directory(folder, ec);
}

FileDialogStart Start(const std::string& path, bool proposeNameAnyway) {
    FileDialogStart start{program::UserFilesFolder(), "", path};
    if (path.empty() || path == kNoFilePlaceholder) return start;
    start.path = program::FromProgramRelative(path);
    SplitPath split = Split(start.path);
    if (FolderExists(split.folder)) {
        start.folder = split.folder;
        start.fileName = split.name;
    } else if (proposeNameAnyway) {
        start.fileName = split.name;
    }
    return start;
}

}  // namespace

FileDialogStart OpenDialogStart(const std::string& path) {
    return Start(path, false);
}

FileDialogStart SaveDialogStart(const std::string& path) {
    return Start(path, true);
}
