#include "machine/ChipMemory.h"
#include "machine/MemoryOrganizer.h"
#include "machine/StateStream.h"

namespace {
constexpr uint8_t kAbsent = 0, kRam = 1, kRom = 2;
}

// Every present page is kept, ROM too: the SD-ROM module rewrites its bank pages, and a ROM
// image on disk may have changed since. Which pages exist is the hardware configuration: a
// state saved with another one is refused rather than forced onto this memory.
void ChipMemory::SaveState(StateWriter& out) const {
    for (int p = 0; p < kPageCount; ++p) {
        out.U8(page_[p] == nullptr ? kAbsent : readOnly_[p] ? kRom : kRam);
    }
    for (int p = 0; p < kPageCount; ++p) {
        if (page_[p] != nullptr) out.Bytes(page_[p], kPageSize);
    }
}

bool ChipMemory::LoadState(StateReader& in) {
    uint8_t kinds[kPageCount];
    in.Bytes(kinds, kPageCount);
    if (in.Failed()) return false;
    for (int p = 0; p < kPageCount; ++p) {
        const uint8_t kind = page_[p] == nullptr ? kAbsent : readOnly_[p] ? kRom : kRam;
        if (kinds[p] != kind) return false;
    }
    if (in.Remaining() < SavedPageBytes()) return false;
    for (int p = 0; p < kPageCount; ++p) {
        if (page_[p] != nullptr) in.Bytes(page_[p], kPageSize);
    }
    ClearFault();
    return !in.Failed();
}

size_t ChipMemory::SavedPageBytes() const {
    size_t bytes = 0;
    for (int p = 0; p < kPageCount; ++p) {
        if (page_[p] != nullptr) bytes += kPageSize;
    }
    return bytes;
}

void MemoryOrganizer::SaveState(StateWriter& out) const {
    out.Bool(pagingOn_);
    out.Bytes(pageRegister_.data(), pageRegister_.size());
}

bool MemoryOrganizer::LoadState(StateReader& in) {
    const bool on = in.Bool();
    std::array<uint8_t, 16> registers{};
    in.Bytes(registers.data(), registers.size());
    if (in.Failed()) return false;
    pagingOn_ = on;
    pageRegister_ = registers;
    MappingChanged();
    return true;
}
