#include "media/memory/MemoryTransfer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "host/files/AtomicFile.h"

namespace media {

namespace {

constexpr int kPageSize = ChipMemory::kPageSize;

bool PagesValid(const MemoryArea& area) {
    return area.from >= 0 && area.to <= 0xFF && area.from <= area.to;
}

bool RangeValid(const MemoryArea& area) {
    return area.start >= 0 && area.length >= 1 && area.start + area.length <= 0x10000;
}

}  // namespace

size_t MemoryArea::Size() const {
    if (pages) return PagesValid(*this) ? static_cast<size_t>(to - from + 1) * kPageSize : 0;
    return RangeValid(*this) ? static_cast<size_t>(length) : 0;
}

std::vector<uint8_t> CollectMemory(const ChipMemory& memory, const MemoryArea& area) {
    std::vector<uint8_t> bytes(area.Size(), 0xFF);
    if (bytes.empty()) return bytes;
    if (area.pages) {
        for (int page = area.from; page <= area.to; ++page) {
            if (const uint8_t* source = memory.PagePointer(page)) {
                std::memcpy(bytes.data() + static_cast<size_t>(page - area.from) * kPageSize,
                            source, kPageSize);
            }
        }
    } else {
        for (int i = 0; i < area.length; ++i)
            bytes[static_cast<size_t>(i)] = memory.Peek(static_cast<uint16_t>(area.start + i));
    }
    return bytes;
}

size_t StoreInMemory(ChipMemory& memory, const MemoryArea& area, std::span<const uint8_t> data) {
    const size_t count = std::min(data.size(), area.Size());
    size_t stored = 0;
    if (area.pages) {
        for (size_t at = 0; at < count; at += kPageSize) {
            const int page = area.from + static_cast<int>(at / kPageSize);
            const size_t chunk = std::min<size_t>(kPageSize, count - at);
            if (uint8_t* target = memory.PagePointer(page)) {
                std::memcpy(target, data.data() + at, chunk);
                stored += chunk;
            }
        }
        return stored;
    }
    for (size_t i = 0; i < count; ++i) {
        const auto address = static_cast<uint16_t>(area.start + static_cast<int>(i));
        const int page = memory.Organizer().MapPage(address);
        // The processor would fault here; a load just passes such bytes by.
        if (memory.PagePointer(page) == nullptr || memory.IsReadOnly(page)) continue;
        memory.Write(address, data[i]);
        ++stored;
    }
    return stored;
}

bool ReadFileStart(const std::string& path, size_t maxBytes, std::vector<uint8_t>& out) {
    out.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    out.resize(maxBytes);
    size_t got = 0;
    while (got < maxBytes) {
        const ssize_t n = ::read(fd, out.data() + got, maxBytes - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    out.resize(got);
    return got > 0;
}

int64_t RegularFileSize(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
    return static_cast<int64_t>(info.st_size);
}

bool SaveMemoryToFile(const ChipMemory& memory, const MemoryArea& area, const std::string& path,
                      std::string* error) {
    const std::vector<uint8_t> bytes = CollectMemory(memory, area);
    if (bytes.empty()) {
        if (error != nullptr) *error = "the memory range is empty";
        errno = EINVAL;
        return false;
    }
    return files::WriteFileAtomically(path, bytes, error);
}

bool LoadFileIntoMemory(ChipMemory& memory, const MemoryArea& area, const std::string& path) {
    std::vector<uint8_t> data;
    if (area.Size() == 0 || !ReadFileStart(path, area.Size(), data)) return false;
    StoreInMemory(memory, area, data);
    return true;
}

}  // namespace media
