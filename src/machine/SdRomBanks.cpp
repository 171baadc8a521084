#include "machine/SdRomBanks.h"

#include <algorithm>

#include "machine/ChipMemory.h"

SdRomBanks::SdRomBanks(ChipMemory& memory) : memory_(memory) {
    load_.fill(0xFF);
    // An image that is missing leaves erased ROM; the data window starts empty.
    image_.fill(0xFF);
    std::fill(image_.begin() + kDataWindow, image_.end(), 0x00);
}

void SdRomBanks::Select(bool image) {
    imageSelected_.store(image, std::memory_order_relaxed);
    ShowSelected();
}

void SdRomBanks::ShowSelected() {
    memory_.LoadPages(kFirstPage, ImageSelected() ? image_.data() : load_.data(), kBankSize);
}

void SdRomBanks::ShowDataWindow() {
    if (!ImageSelected()) return;
    memory_.LoadPages(kFirstPage + kDataWindow / ChipMemory::kPageSize, DataWindow(),
                      kDataWindowSize);
}
