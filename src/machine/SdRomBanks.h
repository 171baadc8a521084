#pragma once

#include <array>
#include <atomic>
#include <cstdint>

class ChipMemory;
class StateArchive;

// The module's 16 KiB ROM window (physical pages F8-FB) and the two banks that can fill it: the
// image bank ("M": the firmware in its first 12 KiB, the data window that file reads land in
// in its last 4 KiB) and the load bank ("R", files loaded whole). The window is a copy of the
// selected bank, written into the memory's pages whenever the bank changes under it; the
// memory must hold those pages (the owner allocates them), else the copy is skipped.
class SdRomBanks {
  public:
    static constexpr int kFirstPage = 0xF8;
    static constexpr int kBankSize = 0x4000;
    static constexpr int kDataWindow = 0x3000;  // in the image bank; page FB when shown
    static constexpr int kDataWindowSize = 0x1000;

    explicit SdRomBanks(ChipMemory& memory);

    uint8_t* Image() { return image_.data(); }
    uint8_t* Load() { return load_.data(); }
    uint8_t* DataWindow() { return image_.data() + kDataWindow; }

    bool ImageSelected() const { return imageSelected_.load(std::memory_order_relaxed); }
    // Selects a bank and shows it in the window.
    void Select(bool image);
    // Shows the selected bank again after it changed.
    void ShowSelected();
    // Shows the image bank's data window again, when the image bank is the one shown.
    void ShowDataWindow();

    // For snapshots: both banks and the selection (the window's pages are memory's).
    void Serialize(StateArchive& a);

  private:
    ChipMemory& memory_;
    std::array<uint8_t, kBankSize> image_{};
    std::array<uint8_t, kBankSize> load_{};
    // Read by the window's status bar.
    std::atomic<bool> imageSelected_{true};
};
