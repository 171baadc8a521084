#include "host/config/ConfigLocation.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "host/config/ConfigDocument.h"
#include "host/desktop/FileTypes.h"
#include "host/files/AtomicFile.h"
#include "host/files/ProgramPaths.h"

namespace config {
namespace {

namespace fs = std::filesystem;

std::string WithSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder.push_back('/');
    return folder;
}

// Lets only the user into a configuration folder the program makes, as the base-directory
// rules ask; folders that already exist keep their permissions.
bool MakeFolders(const fs::path& folder, std::string& why) {
    std::error_code ec;
    if (fs::is_directory(folder, ec)) return true;
    if (folder.has_parent_path() && folder.parent_path() != folder &&
        !MakeFolders(folder.parent_path(), why)) {
        return false;
    }
    if (::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST) {
        if (fs::is_directory(folder, ec)) return true;
        why = folder.string() + " is not a folder";
        return false;
    }
    why = folder.string() + ": " + std::strerror(errno);
    return false;
}

}  // namespace

ConfigPlace ChooseConfigPlace(const std::string& executableFolder, const std::string& programFolder,
                              const std::string& configHome) {
    const std::string name(ConfigDocument::kFileName);
    const std::string beside = WithSlash(executableFolder) + name;
    std::error_code ec;
    // Anything by that name beside the executable counts, even a file that cannot be read:
    // the user put it there, so it is reported rather than passed over.
    if (fs::exists(fs::symlink_status(beside, ec)) || configHome.empty()) return {beside, {}};
    return {WithSlash(configHome) + program::kInstalledDataFolder + "/" + name,
            WithSlash(programFolder) + name};
}

ConfigPlace DefaultConfigPlace() {
    return ChooseConfigPlace(program::ExecutableFolder(), program::ProgramFolder(),
                             desktop::XdgPlaces::FromEnvironment().configHome);
}

ConfigPlace GivenConfigPlace(const std::string& path) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(path, ec);
    return {ec ? path : absolute.lexically_normal().string(), {}};
}

bool PrepareConfigFile(const ConfigPlace& place, std::string& error) {
    std::error_code ec;
    if (place.delivered.empty() || fs::exists(fs::symlink_status(place.path, ec))) return true;
    std::string contents;
    if (files::ReadWholeFile(place.delivered, ConfigDocument::kMaxFileSize, contents) !=
        files::ReadResult::Ok) {
        error = "the delivered configuration " + place.delivered + " cannot be read";
        return false;
    }
    std::string why;
    if (!MakeFolders(fs::path(place.path).parent_path(), why) ||
        !files::WriteFileAtomically(place.path, contents, &why)) {
        error = "the configuration " + place.path + " cannot be made: " + why;
        return false;
    }
    return true;
}

}  // namespace config
