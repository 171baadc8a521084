#include "media/files/FileReplace.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace media {

namespace {

// A name beside the target that no one else is using; O_EXCL makes the claim safe.
int CreateTemporary(const std::string& path, std::string& temporary) {
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = path + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(counter++);
        int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

bool WriteAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t written = write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

}  // namespace

bool WriteFileReplacing(const std::string& path, const uint8_t* data, size_t size) {
    if (path.empty()) {
        errno = ENOENT;
        return false;
    }
    std::string temporary;
    int fd = CreateTemporary(path, temporary);
    if (fd < 0) return false;
    bool written = WriteAll(fd, data, size);
    int error = errno;
    if (close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (written && std::rename(temporary.c_str(), path.c_str()) == 0) return true;
    if (written) error = errno;
    unlink(temporary.c_str());
    errno = error;
    return false;
}

}  // namespace media
