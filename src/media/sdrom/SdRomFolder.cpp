#include "media/sdrom/SdRomFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <utility>

#include "host/files/AtomicFile.h"
#include "machine/SdRomNames.h"

namespace media {
namespace {

using Outcome = SdRomStorage::Outcome;

// The host's own resolution of every link and "..": empty when the path cannot be resolved.
std::string RealPath(const std::string& path, int* error = nullptr) {
    std::unique_ptr<char, decltype(&::free)> real(::realpath(path.c_str(), nullptr), &::free);
    if (error != nullptr) *error = real ? 0 : errno;
    return real ? std::string(real.get()) : std::string();
}

bool Inside(const std::string& real, const std::string& root) {
    if (real == root) return true;
    const std::string prefix = root == "/" ? root : root + "/";
    return real.compare(0, prefix.size(), prefix) == 0;
}

uint8_t AttributesOf(const struct stat& info, const std::string& machineName) {
    uint8_t attributes = 0;
    if (S_ISDIR(info.st_mode)) {
        attributes |= SdRomStorage::kFolder;
    } else if (S_ISREG(info.st_mode)) {
        attributes |= SdRomStorage::kArchive;
    } else {
        attributes |= SdRomStorage::kSystem;
    }
    if (!(info.st_mode & S_IWUSR)) attributes |= SdRomStorage::kReadOnly;
    if (!machineName.empty() && machineName.front() == '.') attributes |= SdRomStorage::kHidden;
    return attributes;
}

uint64_t SizeOf(const struct stat& info) {
    return S_ISREG(info.st_mode) && info.st_size > 0 ? static_cast<uint64_t>(info.st_size) : 0;
}

}  // namespace

SdRomFolder::SdRomFolder(const std::string& rootPath, const std::string& programFolder) {
    std::string root = rootPath;
    std::replace(root.begin(), root.end(), '\\', '/');
    if (root.empty() || root.front() != '/') root = programFolder + root;
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    root_ = root;
}

SdRomFolder::~SdRomFolder() {
    CloseWrite();
}

size_t SdRomFolder::RootLength() const {
    // Characters, not bytes: UTF-8 continuation bytes do not count.
    return static_cast<size_t>(std::count_if(root_.begin(), root_.end(), [](char c) {
        return (static_cast<uint8_t>(c) & 0xC0) != 0x80;
    }));
}

SdRomFolder::Resolved SdRomFolder::Resolve(const std::string& path, bool followLast) const {
    Resolved resolved;
    // What the module hands over is checked again: no empty, ".", ".." or NUL-holding name.
    std::vector<std::string> names;
    if (!path.empty()) {
        size_t start = 0;
        for (;;) {
            const size_t end = std::min(path.find('/', start), path.size());
            std::string name = path.substr(start, end - start);
            if (name.empty() || name == "." || name == ".." ||
                name.find('\0') != std::string::npos) {
                resolved.outcome = Outcome::Refused;
                return resolved;
            }
            names.push_back(std::move(name));
            if (end == path.size()) break;
            start = end + 1;
        }
    }
    int error = 0;
    const std::string root = RealPath(root_, &error);
    if (root.empty()) {
        resolved.outcome = error == ENOENT || error == ENOTDIR ? Outcome::Missing : Outcome::Failed;
        return resolved;
    }
    if (names.empty()) {
        resolved.outcome = Outcome::Ok;
        resolved.host = root;
        resolved.exists = true;
        return resolved;
    }
    std::string folder = root;
    for (size_t i = 0; i + 1 < names.size(); ++i) folder += "/" + sdrom::Latin1ToUtf8(names[i]);
    const std::string realFolder = names.size() > 1 ? RealPath(folder, &error) : root;
    if (realFolder.empty()) {
        resolved.outcome = error == ENOENT || error == ENOTDIR ? Outcome::Missing : Outcome::Failed;
        return resolved;
    }
    if (!Inside(realFolder, root)) {
        resolved.outcome = Outcome::Refused;
        return resolved;
    }
    resolved.leafName = names.back();
    resolved.host = (realFolder == "/" ? "" : realFolder) + "/" + sdrom::Latin1ToUtf8(names.back());
    struct stat info {};
    if (::lstat(resolved.host.c_str(), &info) != 0) {
        resolved.outcome = errno == ENOENT ? Outcome::Ok : Outcome::Failed;
        return resolved;
    }
    resolved.exists = true;
    if (S_ISLNK(info.st_mode)) {
        // A link counts only when it leads to something inside the root.
        const std::string target = RealPath(resolved.host);
        if (target.empty() || !Inside(target, root)) {
            resolved.outcome = Outcome::Refused;
            return resolved;
        }
        if (followLast) resolved.host = target;
    }
    resolved.outcome = Outcome::Ok;
    return resolved;
}

SdRomStorage::Outcome SdRomFolder::Stat(const std::string& path, Entry& entry) {
    const Resolved resolved = Resolve(path, true);
    if (resolved.outcome != Outcome::Ok) return resolved.outcome;
    if (!resolved.exists) return Outcome::Missing;
    struct stat info {};
    if (::lstat(resolved.host.c_str(), &info) != 0) return Outcome::Missing;
    entry.name = resolved.leafName;
    entry.attributes = AttributesOf(info, resolved.leafName);
    entry.size = SizeOf(info);
    const Resolved own = Resolve(path, false);
    struct stat ownInfo {};
    entry.link = ::lstat(own.host.c_str(), &ownInfo) == 0 && S_ISLNK(ownInfo.st_mode);
    return Outcome::Ok;
}

SdRomStorage::Outcome SdRomFolder::List(const std::string& folder, std::vector<Entry>& entries) {
    entries.clear();
    const Resolved resolved = Resolve(folder, true);
    if (resolved.outcome != Outcome::Ok) return resolved.outcome;
    if (!resolved.exists) return Outcome::Missing;
    const std::string root = RealPath(root_);
    const int fd = ::open(resolved.host.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return Outcome::Failed;
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        ::close(fd);
        return Outcome::Failed;
    }
    std::vector<std::pair<std::string, Entry>> found;
    while (const dirent* item = ::readdir(dir)) {
        const std::string host = item->d_name;
        if (host == "." || host == "..") continue;
        if (found.size() >= kMaxEntries) break;
        struct stat info {};
        if (::fstatat(fd, host.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISLNK(info.st_mode)) {
            // Links that lead out of the root (or nowhere) are not shown at all.
            const std::string target = RealPath(resolved.host + "/" + host);
            if (target.empty() || !Inside(target, root) || ::stat(target.c_str(), &info) != 0) {
                continue;
            }
        }
        Entry entry;
        entry.name = sdrom::Utf8ToLatin1(host);
        entry.attributes = AttributesOf(info, entry.name);
        entry.size = SizeOf(info);
        found.emplace_back(host, std::move(entry));
    }
    ::closedir(dir);
    // The host gives no order; the machine gets the same listing on every run.
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& item : found) entries.push_back(std::move(item.second));
    return Outcome::Ok;
}

SdRomStorage::Outcome SdRomFolder::Read(const std::string& path, uint64_t offset, uint8_t* out,
                                        size_t capacity, size_t& got) {
    got = 0;
    const Resolved resolved = Resolve(path, true);
    if (resolved.outcome != Outcome::Ok) return resolved.outcome;
    if (!resolved.exists) return Outcome::Missing;
    // Not blocking, so that a pipe put into the folder cannot stop the machine.
    const int fd = ::open(resolved.host.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? Outcome::Missing : Outcome::Failed;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return Outcome::Failed;
    }
    Outcome outcome = Outcome::Ok;
    if (offset < static_cast<uint64_t>(INT64_MAX)) {
        while (got < capacity) {
            const uint64_t at = offset + got;
            if (at >= static_cast<uint64_t>(INT64_MAX)) break;
            const ssize_t n = ::pread(fd, out + got, capacity - got, static_cast<off_t>(at));
            if (n < 0) {
                if (errno == EINTR) continue;
                outcome = Outcome::Failed;
                break;
            }
            if (n == 0) break;
            got += static_cast<size_t>(n);
        }
    }
    ::close(fd);
    return outcome;
}

SdRomStorage::Outcome SdRomFolder::MakeFolder(const std::string& path) {
    const Resolved resolved = Resolve(path, false);
    if (resolved.outcome != Outcome::Ok) return resolved.outcome;
    if (resolved.exists) return Outcome::Exists;
    if (::mkdir(resolved.host.c_str(), 0777) != 0) {
        return errno == EEXIST ? Outcome::Exists : Outcome::Failed;
    }
    return Outcome::Ok;
}

SdRomStorage::Outcome SdRomFolder::RemoveFolder(const std::string& path) {
    const Resolved resolved = Resolve(path, false);
    if (resolved.outcome != Outcome::Ok) return resolved.outcome;
    if (!resolved.exists) return Outcome::Missing;
    if (::rmdir(resolved.host.c_str()) != 0) {
        return errno == ENOTEMPTY || errno == EEXIST ? Outcome::NotEmpty : Outcome::Failed;
    }
    return Outcome::Ok;
}

SdRomStorage::Outcome SdRomFolder::DeleteFile(const std::string& path) {
    const Resolved resolved = Resolve(path, false);
    if (resolved.outcome != Outcome::Ok) return resolved.outcome;
    if (!resolved.exists) return Outcome::Missing;
    struct stat info {};
    if (::lstat(resolved.host.c_str(), &info) != 0) return Outcome::Missing;
    if (S_ISDIR(info.st_mode)) return Outcome::Failed;
    // A link goes, not what it leads to.
    if (::unlink(resolved.host.c_str()) != 0) {
        return errno == ENOENT ? Outcome::Missing : Outcome::Failed;
    }
    return Outcome::Ok;
}

SdRomStorage::Outcome SdRomFolder::Rename(const std::string& from, const std::string& to) {
    const Resolved source = Resolve(from, false);
    if (source.outcome != Outcome::Ok) return source.outcome;
    const Resolved target = Resolve(to, false);
    if (target.outcome != Outcome::Ok) return target.outcome;
    if (!source.exists) return Outcome::Missing;
    if (target.exists) return Outcome::Exists;
    // Never over an existing name, even one that appeared a moment ago.
    if (::renameat2(AT_FDCWD, source.host.c_str(), AT_FDCWD, target.host.c_str(),
                    RENAME_NOREPLACE) == 0) {
        return Outcome::Ok;
    }
    if (errno == EEXIST) return Outcome::Exists;
    if (errno != EINVAL && errno != ENOSYS) return Outcome::Failed;
    // A file system without the flag: the check above has to do.
    return ::rename(source.host.c_str(), target.host.c_str()) == 0 ? Outcome::Ok : Outcome::Failed;
}

SdRomStorage::Outcome SdRomFolder::SetAttributes(const std::string& path, uint8_t attributes) {
    const Resolved resolved = Resolve(path, true);
    if (resolved.outcome != Outcome::Ok) return resolved.outcome;
    if (!resolved.exists) return Outcome::Missing;
    struct stat info {};
    if (::lstat(resolved.host.c_str(), &info) != 0) return Outcome::Missing;
    const uint8_t now = AttributesOf(info, resolved.leafName);
    constexpr uint8_t kFixed = kHidden | kSystem;
    if ((now & kFixed) != (attributes & kFixed)) return Outcome::Failed;
    mode_t mode = info.st_mode & 07777;
    mode = (attributes & kReadOnly) ? (mode & ~static_cast<mode_t>(0222)) : (mode | S_IWUSR);
    if (mode == (info.st_mode & 07777)) return Outcome::Ok;
    return ::chmod(resolved.host.c_str(), mode) == 0 ? Outcome::Ok : Outcome::Failed;
}

SdRomStorage::Outcome SdRomFolder::Write(const std::string& path, uint64_t position,
                                         const uint8_t* data, size_t count, bool last) {
    if (position == 0) {
        CloseWrite();
        const Resolved resolved = Resolve(path, true);
        if (resolved.outcome != Outcome::Ok) return resolved.outcome;
        struct stat info {};
        if (resolved.exists &&
            (::stat(resolved.host.c_str(), &info) != 0 || !S_ISREG(info.st_mode))) {
            return Outcome::Failed;
        }
        writing_ = true;
        writePath_ = path;
        written_.clear();
    } else if (!writing_ || writePath_ != path || written_.size() != position) {
        return Outcome::Failed;
    }
    if (written_.size() + count > kMaxWriteSize) {
        Commit();
        return Outcome::Failed;
    }
    written_.append(reinterpret_cast<const char*>(data), count);
    return last ? Commit() : Outcome::Ok;
}

SdRomStorage::Outcome SdRomFolder::CloseWrite() {
    return writing_ ? Commit() : Outcome::Ok;
}

SdRomStorage::Outcome SdRomFolder::Commit() {
    writing_ = false;
    std::string contents;
    contents.swap(written_);
    // Resolved again now: the tree may have changed since the first block.
    const Resolved resolved = Resolve(writePath_, true);
    if (resolved.outcome != Outcome::Ok) return resolved.outcome;
    return files::WriteFileAtomically(resolved.host, contents) ? Outcome::Ok : Outcome::Failed;
}

}  // namespace media
