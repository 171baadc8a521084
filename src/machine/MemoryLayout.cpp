#include "machine/MemoryLayout.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace layout {

std::string PageName(int page) {
    char text[16];
    if (page == 0xE6 || page == 0xE7) return "VRAM-R";
    if (page == 0xEA || page == 0xEB) return "VRAM-G";
    if (page == 0xEE || page == 0xEF) return "VRAM-B";
    if (page >= kRamFirstPage && page < kRamFirstPage + kRamPages) {
        std::snprintf(text, sizeof text, "IntRAM[%d]", page - kRamFirstPage);
        return text;
    }
    if (page >= kExtRomFirstPage && page < kExtRomFirstPage + kRomPages) {
        std::snprintf(text, sizeof text, "ExtROM[%d]", page - kExtRomFirstPage);
        return text;
    }
    if (page >= kIntRomFirstPage && page < kIntRomFirstPage + kRomPages) {
        std::snprintf(text, sizeof text, "IntROM[%d]", page - kIntRomFirstPage);
        return text;
    }
    return "I41";
}

RomImage ReadRomImage(const std::string& path, RomRead* read) {
    RomImage rom;
    rom.fill(0xFF);
    RomRead result;
    // Non-blocking, so that a named pipe given as the ROM cannot hang the machine's build.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        result.status = RomRead::Status::Unreadable;
        result.error = fd < 0 ? errno : 0;
    } else {
        while (result.bytes < rom.size()) {
            const ssize_t n = ::read(fd, rom.data() + result.bytes, rom.size() - result.bytes);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                result.status = RomRead::Status::Unreadable;
                result.error = errno;
                break;
            }
            if (n == 0) break;
            result.bytes += static_cast<size_t>(n);
        }
        if (result.status != RomRead::Status::Unreadable && result.bytes < rom.size()) {
            result.status = RomRead::Status::Short;
        }
    }
    if (fd >= 0) ::close(fd);
    if (result.status == RomRead::Status::Unreadable) {
        rom.fill(0xFF);
        result.bytes = 0;
    }
    if (read != nullptr) *read = result;
    return rom;
}

bool BuildInternalMemory(ChipMemory& memory, const RomImage& rom) {
    if (!memory.AllocatePages(kIntRomFirstPage, kRomPages, true)) return false;
    if (!memory.AllocatePages(kRamFirstPage, kRamPages, false)) return false;
    return memory.LoadPages(kIntRomFirstPage, rom.data(), kRomSize);
}

void InstallBlankExternalRom(ChipMemory& memory) {
    memory.FreePages(kExtRomFirstPage, kRomPages);
    memory.AllocatePages(kExtRomFirstPage, kRomPages, true);
}

bool InstallExternalRom(ChipMemory& memory, const RomImage& rom) {
    if (memory.PagePointer(kExtRomFirstPage) == nullptr &&
        !memory.AllocatePages(kExtRomFirstPage, kRomPages, true)) {
        return false;
    }
    return memory.LoadPages(kExtRomFirstPage, rom.data(), kRomSize);
}

namespace {

// Colour number bits: 1 red, 2 green, 0 blue.
void PutColour(uint8_t* red, int offset, unsigned colour) {
    red[offset] = (colour & 2) ? 0xFF : 0x00;
    red[kGreenPlaneOffset + offset] = (colour & 4) ? 0xFF : 0x00;
    red[kBluePlaneOffset + offset] = (colour & 1) ? 0xFF : 0x00;
}

}  // namespace

void FillVideoPlanes(uint8_t* redPlane, ResetPattern pattern, std::mt19937& rng) {
    if (redPlane == nullptr) return;
    if (pattern == ResetPattern::Random) {
        static constexpr ResetPattern kChoices[] = {ResetPattern::Clear, ResetPattern::Rainbow,
                                                    ResetPattern::Snow, ResetPattern::Grid};
        pattern = kChoices[rng() & 3];
    }
    switch (pattern) {
        case ResetPattern::Rainbow:
            // Eight bands of 32 pixel rows.
            for (int i = 0; i < kPlaneSize; ++i)
                PutColour(redPlane, i, static_cast<unsigned>(i / 1024));
            break;
        case ResetPattern::Snow:
            for (int plane = 0; plane < 3; ++plane) {
                for (int i = 0; i < kPlaneSize; ++i) {
                    redPlane[plane * kPlaneStride + i] = static_cast<uint8_t>(rng());
                }
            }
            break;
        case ResetPattern::Grid:
            // 32-pixel groups, the colour stepping once per group and once more per 1 KB block so
            // that neighbouring rows are offset.
            for (int i = 0; i < kPlaneSize; ++i) {
                unsigned colour = static_cast<unsigned>(i / 4 + i / 1024) & 0xFF;
                PutColour(redPlane, i, colour);
            }
            break;
        default:
            for (int plane = 0; plane < 3; ++plane) {
                std::memset(redPlane + plane * kPlaneStride, 0, kPlaneSize);
            }
            break;
    }
}

}  // namespace layout
