#include "host/files/ProgramPaths.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <mutex>

#include "Version.h"

namespace program {
namespace {

std::string& FolderCell() {
    static std::string folder;
    return folder;
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return "./";
    return path.substr(0, slash + 1);
}

std::string ComputeProgramFolder() {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n > 0) {
        buffer[n] = '\0';
        char* canonical = realpath(buffer, nullptr);
        if (canonical != nullptr) {
            std::string path(canonical);
            std::free(canonical);
            return FolderOf(path);
        }
        return FolderOf(std::string(buffer, static_cast<size_t>(n)));
    }
    // Without /proc the working folder is the best guess left.
    char* cwd = getcwd(buffer, sizeof buffer);
    return cwd != nullptr ? std::string(cwd) + "/" : "./";
}

std::once_flag folderOnce;

}  // namespace

const std::string& ProgramFolder() {
    std::call_once(folderOnce, [] {
        if (FolderCell().empty()) FolderCell() = ComputeProgramFolder();
    });
    return FolderCell();
}

void SetProgramFolder(const std::string& folder) {
    std::call_once(folderOnce, [] {});
    std::string f = folder;
    if (f.empty() || f.back() != '/') f.push_back('/');
    FolderCell() = f;
}

const std::string& ProgramVersion() {
    static const std::string version = TEVRIN_VERSION_STRING;
    return version;
}

std::string ToProgramRelative(const std::string& path) {
    const std::string& folder = ProgramFolder();
    if (path.size() >= folder.size() && path.compare(0, folder.size(), folder) == 0) {
        return path.substr(folder.size());
    }
    return path;
}

std::string FromProgramRelative(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    return ProgramFolder() + path;
}

}  // namespace program
