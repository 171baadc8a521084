#include "machine/ChipMemory.h"
#include "machine/MemoryOrganizer.h"
#include "machine/StateArchive.h"

namespace {
constexpr uint8_t kAbsent = 0, kRam = 1, kRom = 2;
}

// Every present page is kept, ROM too: the SD-ROM module rewrites its bank pages, and a ROM
// image on disk may have changed since. Which pages exist is the hardware configuration: a
// state saved with another one is refused rather than forced onto this memory.
void ChipMemory::Serialize(StateArchive& a) {
    for (int p = 0; p < kPageCount; ++p) {
        const uint8_t kind = page_[p] == nullptr ? kAbsent : readOnly_[p] ? kRom : kRam;
        a.Require(a.Value(kind) == kind);
    }
    for (int p = 0; p < kPageCount; ++p) {
        if (page_[p] != nullptr) a.Bytes(page_[p], kPageSize);
    }
}

void ChipMemory::SaveState(StateWriter& out) const {
    StateArchive::Save(*this, out);
}

bool ChipMemory::LoadState(StateReader& in) {
    if (!StateArchive::Load(*this, in)) return false;
    ClearFault();
    return true;
}

size_t ChipMemory::SavedPageBytes() const {
    size_t bytes = 0;
    for (int p = 0; p < kPageCount; ++p) {
        if (page_[p] != nullptr) bytes += kPageSize;
    }
    return bytes;
}

void MemoryOrganizer::Serialize(StateArchive& a) {
    a.Field(pagingOn_);
    a.Bytes(pageRegister_.data(), pageRegister_.size());
}

void MemoryOrganizer::SaveState(StateWriter& out) const {
    StateArchive::Save(*this, out);
}

bool MemoryOrganizer::LoadState(StateReader& in) {
    if (!StateArchive::Load(*this, in)) return false;
    MappingChanged();
    return true;
}
