#include "media/tape/TapeSource.h"

#include <sys/stat.h>

#include <cstring>

size_t MemoryTapeSource::ReadAt(int64_t position, uint8_t* out, size_t count) {
    if (position < 0 || position >= Size()) return 0;
    const size_t available = bytes_.size() - static_cast<size_t>(position);
    const size_t n = count < available ? count : available;
    std::memcpy(out, bytes_.data() + position, n);
    return n;
}

FileTapeSource::FileTapeSource(const std::string& path) {
    file_ = std::fopen(path.c_str(), "rb");
    if (file_ == nullptr) return;
    struct stat info {};
    if (::fstat(::fileno(file_), &info) == 0 && S_ISREG(info.st_mode)) {
        size_ = static_cast<int64_t>(info.st_size);
    }
}

FileTapeSource::~FileTapeSource() {
    if (file_ != nullptr) std::fclose(file_);
}

size_t FileTapeSource::ReadAt(int64_t position, uint8_t* out, size_t count) {
    if (file_ == nullptr || position < 0) return 0;
    if (::fseeko(file_, static_cast<off_t>(position), SEEK_SET) != 0) return 0;
    return std::fread(out, 1, count, file_);
}
