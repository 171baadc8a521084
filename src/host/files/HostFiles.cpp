#include "host/files/HostFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace hostfile {
namespace {

void SetError(std::string* error, const std::string& what) {
    if (error != nullptr) *error = what + ": " + std::strerror(errno);
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// The real file behind a chain of symbolic links; the path itself when it is not a link or
// does not exist yet.
std::string ResolveTarget(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, ec))) return path;
    auto resolved = std::filesystem::weakly_canonical(path, ec);
    return ec ? path : resolved.string();
}

}  // namespace

ReadResult ReadWholeFile(const std::string& path, std::size_t maxBytes, std::string& contents) {
    contents.clear();
    // Non-blocking, so that a named pipe given as a file cannot hang the program; such a file
    // is refused just below.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? ReadResult::Missing : ReadResult::Failed;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return ReadResult::Failed;
    }
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            contents.clear();
            return ReadResult::Failed;
        }
        if (n == 0) break;
        if (contents.size() + static_cast<size_t>(n) > maxBytes) {
            ::close(fd);
            contents.clear();
            return ReadResult::TooLarge;
        }
        contents.append(buffer.data(), static_cast<size_t>(n));
    }
    ::close(fd);
    return ReadResult::Ok;
}

bool WriteFileAtomically(const std::string& path, std::string_view contents, std::string* error) {
    const std::string target = ResolveTarget(path);
    const std::string folder = FolderOf(target);
    const size_t slash = target.rfind('/');
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string temp = folder + "/." + name + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        SetError(error, "cannot create a temporary file in " + folder);
        return false;
    }
    struct stat old {};
    mode_t mode = 0644;
    if (::stat(target.c_str(), &old) == 0) mode = old.st_mode & 07777;
    bool ok = ::fchmod(fd, mode) == 0 || errno == EPERM;
    if (!ok) SetError(error, "cannot set the permissions of " + temp);
    if (ok && !WriteAll(fd, contents)) {
        SetError(error, "cannot write " + temp);
        ok = false;
    }
    if (ok && ::fsync(fd) != 0) {
        SetError(error, "cannot flush " + temp);
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        SetError(error, "cannot close " + temp);
        ok = false;
    }
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
        SetError(error, "cannot replace " + target);
        ok = false;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // The rename is only durable once the folder's entry is on disk too.
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

}  // namespace hostfile
