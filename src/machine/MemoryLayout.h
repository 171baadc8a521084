#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <string>

#include "machine/ChipMemory.h"
#include "machine/ResetPattern.h"

// The Tevrin's physical page plan and what is done with it when the machine is built or reset.
namespace layout {

inline constexpr int kRamFirstPage = 0xE0;
inline constexpr int kRamPages = 16;
inline constexpr int kExtRomFirstPage = 0xF8;
inline constexpr int kIntRomFirstPage = 0xFC;
inline constexpr int kRomPages = 4;
inline constexpr int kRomSize = kRomPages * ChipMemory::kPageSize;  // 16 KB

// The three colour planes live inside the RAM block, 0x4000 bytes apart, starting with red at
// page 0xE6; the screen addresses them all from the red plane's start.
inline constexpr int kRedPlanePage = 0xE6;
inline constexpr int kPlaneSize = 0x2000;
inline constexpr int kPlaneStride = 0x4000;
inline constexpr int kGreenPlaneOffset = kPlaneStride;
inline constexpr int kBluePlaneOffset = 2 * kPlaneStride;

using RomImage = std::array<uint8_t, kRomSize>;

// The name the debugger shows for a physical page ("IntRAM[3]", "VRAM-G", "I41" …).
std::string PageName(int page);

// How a ROM file read: completely, short (the rest reads as erased ROM), or not at all.
struct RomRead {
    enum class Status { Complete, Short, Unreadable } status = Status::Complete;
    size_t bytes = 0;  // bytes the file supplied, at most kRomSize
    int error = 0;     // errno when unreadable (0: a folder or other non-file)
};

// The first 16 KB of a ROM file. Whatever the file does not supply (it is missing, unreadable or
// short) reads as erased ROM, 0xFF; `read`, when given, says which it was.
RomImage ReadRomImage(const std::string& path, RomRead* read = nullptr);

// Internal ROM (read-only pages FC-FF) and the zeroed RAM block (E0-EF), then the ROM image.
// False when the pages could not be allocated (they are already in use).
bool BuildInternalMemory(ChipMemory& memory, const RomImage& rom);

// External ROM slot (F8-FB): a blank, erased ROM module, freeing whatever was there.
void InstallBlankExternalRom(ChipMemory& memory);
// External ROM slot holding an image (a ROM module).
bool InstallExternalRom(ChipMemory& memory, const RomImage& rom);

// Fills the three planes starting at the red plane. Random patterns draw from `rng`.
void FillVideoPlanes(uint8_t* redPlane, ResetPattern pattern, std::mt19937& rng);

}  // namespace layout
