#include "host/files/AtomicFile.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

namespace files {
namespace {

// Linux gives up on a chain of links after 40 as well.
constexpr int kMaxLinkHops = 40;
// Room for the dot and the random suffix inside the 255 bytes a name may have.
constexpr size_t kMaxTemporaryStem = 200;

// Sets `error` to "what: reason" and keeps errno as the failing call left it.
bool Fail(std::string* error, const std::string& what, int code) {
    if (error != nullptr) *error = what + ": " + std::strerror(code);
    errno = code;
    return false;
}

bool Fail(std::string* error, const std::string& what) {
    return Fail(error, what, errno);
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a path names once every symbolic link on its end is followed; the path itself when
// it does not exist yet. A link that points nowhere gives where it points, so writing through
// it creates that file, as writing through a link always has.
bool FollowLinks(std::string path, std::string& target, std::string* error) {
    for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0) {
            if (errno != ENOENT) return Fail(error, "cannot look up " + path);
            target = path;
            return true;
        }
        if (!S_ISLNK(info.st_mode)) {
            target = path;
            return true;
        }
        std::vector<char> link(PATH_MAX + 1);
        ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n < 0) return Fail(error, "cannot read the symbolic link " + path);
        if (static_cast<size_t>(n) >= link.size()) {
            return Fail(error, "cannot read the symbolic link " + path, ENAMETOOLONG);
        }
        std::string next(link.data(), static_cast<size_t>(n));
        path = next.front() == '/' ? next : FolderOf(path) + "/" + next;
    }
    return Fail(error, "cannot follow the symbolic link " + path, ELOOP);
}

// Claims a new name beside the target; O_EXCL makes sure no one else's file is reused.
int CreateTemporary(const std::string& target, mode_t mode, std::string& temporary) {
    thread_local std::mt19937 random{std::random_device{}()};
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    const std::string stem =
        FolderOf(target) + "/." + NameOf(target).substr(0, kMaxTemporaryStem) + ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = stem;
        for (int i = 0; i < 8; ++i) temporary += kLetters[random() % (sizeof kLetters - 1)];
        int fd =
            ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
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

AtomicFile::~AtomicFile() {
    Discard();
}

AtomicFile::AtomicFile(AtomicFile&& other) noexcept
    : target_(std::move(other.target_)), temporary_(std::move(other.temporary_)) {
    other.temporary_.clear();
}

AtomicFile& AtomicFile::operator=(AtomicFile&& other) noexcept {
    if (this != &other) {
        Discard();
        target_ = std::move(other.target_);
        temporary_ = std::move(other.temporary_);
        other.temporary_.clear();
    }
    return *this;
}

void AtomicFile::Discard() {
    if (temporary_.empty()) return;
    int saved = errno;
    ::unlink(temporary_.c_str());
    errno = saved;
    temporary_.clear();
}

bool AtomicFile::Prepare(const std::string& path, std::string_view contents, std::string* error) {
    Discard();
    if (path.empty()) return Fail(error, "no file name given", ENOENT);
    std::string target;
    if (!FollowLinks(path, target, error)) return false;

    // Renaming over a device or a pipe would put a plain file in its place (root may do that
    // even in /dev), and over a folder cannot work; neither is what writing to it means.
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT) return Fail(error, "cannot look up " + target);
    if (exists && S_ISDIR(old.st_mode)) return Fail(error, target + " is a folder", EISDIR);
    if (exists && !S_ISREG(old.st_mode)) {
        return Fail(error, target + " is not a regular file", EINVAL);
    }

    std::string temporary;
    int fd = CreateTemporary(target, 0666, temporary);
    if (fd < 0) return Fail(error, "cannot create a temporary file in " + FolderOf(target));
    bool ok = true;
    if (exists) {
        // The owner first: changing it clears the set-user and set-group bits again.
        struct stat made {};
        if (::fstat(fd, &made) == 0 && (made.st_uid != old.st_uid || made.st_gid != old.st_gid)) {
            [[maybe_unused]] int ignored = ::fchown(fd, old.st_uid, old.st_gid);
        }
        ok = ::fchmod(fd, old.st_mode & 07777) == 0 || errno == EPERM;
        if (!ok) Fail(error, "cannot set the permissions of " + temporary);
    }
    if (ok && !WriteAll(fd, contents)) ok = Fail(error, "cannot write " + temporary);
    // Flushed now, before the rename: otherwise a crash soon after could leave the new name on
    // an empty file, with the old content gone.
    if (ok && ::fsync(fd) != 0) ok = Fail(error, "cannot flush " + temporary + " to the disk");
    if (::close(fd) != 0 && ok) ok = Fail(error, "cannot close " + temporary);
    if (!ok) {
        int saved = errno;
        ::unlink(temporary.c_str());
        errno = saved;
        return false;
    }
    target_ = std::move(target);
    temporary_ = std::move(temporary);
    return true;
}

bool AtomicFile::Commit(std::string* error) {
    if (temporary_.empty()) return Fail(error, "nothing prepared to write", EINVAL);
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
        Fail(error, "cannot replace " + target_);
        Discard();
        return false;
    }
    temporary_.clear();
    // The rename is only durable once the folder's entry is on disk too. The new file is in
    // place by now whatever this says, so a failure here cannot be reported as "nothing
    // written".
    int folder = ::open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

bool WriteFileAtomically(const std::string& path, std::string_view contents, std::string* error) {
    AtomicFile file;
    return file.Prepare(path, contents, error) && file.Commit(error);
}

}  // namespace files
