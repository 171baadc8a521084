#include "machine/ScreenTevrin.h"

#include <cstdint>

#include "machine/MemoryLayout.h"

namespace {

void ApplyColourBit(uint8_t& planeByte, uint8_t value, bool on) {
    if (on) {
        planeByte |= value;
    } else {
        planeByte &= static_cast<uint8_t>(~value);
    }
}

}  // namespace

void ScreenTevrin::PortWrite(uint8_t /*port*/, uint8_t value, int32_t /*ticks*/) {
    colourRegister_.store(value & 0x0F, std::memory_order_relaxed);
    ArmColourWrite();
}

// Outside colour-write mode the hook stores nothing itself, so the memory may leave it out.
void ScreenTevrin::ArmColourWrite() {
    if (memory_ != nullptr) memory_->SetWriteHookArmed((ColourRegister() & kColourWriteMode) != 0);
}

uint8_t ScreenTevrin::PortRead(uint8_t /*port*/, int32_t /*ticks*/) {
    return 0xFF;
}

void ScreenTevrin::Reset(int32_t /*ticks*/) {
    colourRegister_.store(0, std::memory_order_relaxed);
    scrollRegister_.store(0, std::memory_order_relaxed);
    ArmColourWrite();
}

// In colour-write mode one store paints the set bits of the value in the register's colour on
// all three planes at once, and clears them on the planes whose colour bit is off; pixels whose
// bit is clear in the value keep their colour.
bool ScreenTevrin::ColourWriteHook(uint8_t* page, uint16_t offset, uint8_t value) {
    uint8_t colour = ColourRegister();
    if ((colour & kColourWriteMode) == 0) return false;
    uint8_t* green = page + offset;
    ApplyColourBit(*(green - layout::kPlaneStride), value, (colour & kRedBit) != 0);
    ApplyColourBit(*green, value, (colour & kGreenBit) != 0);
    ApplyColourBit(*(green + layout::kPlaneStride), value, (colour & kBlueBit) != 0);
    return true;
}

bool ScreenTevrin::InstallColourWrite(ChipMemory& memory) {
    constexpr int kFirstPage = layout::kRedPlanePage;
    constexpr int kLastPage = layout::kRedPlanePage +
                              2 * layout::kPlaneStride / ChipMemory::kPageSize +
                              layout::kPlaneSize / ChipMemory::kPageSize - 1;
    auto start = reinterpret_cast<uintptr_t>(memory.PagePointer(kFirstPage));
    if (start == 0) return false;
    for (int page = kFirstPage + 1; page <= kLastPage; ++page) {
        auto expected = start + static_cast<uintptr_t>(page - kFirstPage) * ChipMemory::kPageSize;
        if (reinterpret_cast<uintptr_t>(memory.PagePointer(page)) != expected) return false;
    }
    memory.SetWriteHook(ChipMemory::WriteHook::Bind<&ScreenTevrin::ColourWriteHook>(this));
    memory_ = &memory;
    ArmColourWrite();
    return true;
}
