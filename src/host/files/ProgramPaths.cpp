#include "host/files/ProgramPaths.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "Version.h"

namespace program {
namespace {

std::string& FolderCell() {
    static std::string folder;
    return folder;
}

bool& InstalledCell() {
    static bool installed = false;
    return installed;
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return "./";
    return path.substr(0, slash + 1);
}

std::string ComputeExecutableFolder() {
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

// Every program folder holds the language files. The configuration says nothing: a user may
// put one beside an installed executable, whose resources stay where they were installed.
bool HoldsResources(const std::string& folder) {
    std::error_code ec;
    return std::filesystem::is_directory(folder + "Lang", ec);
}

std::once_flag folderOnce;

}  // namespace

const std::string& ExecutableFolder() {
    static const std::string folder = ComputeExecutableFolder();
    return folder;
}

std::string ResolveProgramFolder(const std::string& executableFolder) {
    if (HoldsResources(executableFolder)) return executableFolder;
    const std::filesystem::path installed =
        (std::filesystem::path(executableFolder) / ".." / "share" / kInstalledDataFolder)
            .lexically_normal();
    std::string folder = installed.string();
    if (folder.empty() || folder.back() != '/') folder.push_back('/');
    return HoldsResources(folder) ? folder : executableFolder;
}

const std::string& ProgramFolder() {
    std::call_once(folderOnce, [] {
        if (!FolderCell().empty()) return;
        FolderCell() = ResolveProgramFolder(ExecutableFolder());
        InstalledCell() = FolderCell() != ExecutableFolder();
    });
    return FolderCell();
}

bool IsInstalled() {
    ProgramFolder();
    return InstalledCell();
}

std::string UserFilesFolder() {
    if (!IsInstalled()) return ProgramFolder();
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') return ProgramFolder();
    std::string folder = home;
    if (folder.back() != '/') folder.push_back('/');
    return folder;
}

void SetProgramFolder(const std::string& folder, bool installed) {
    std::call_once(folderOnce, [] {});
    InstalledCell() = installed;
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
