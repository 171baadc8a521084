#pragma once

#include <array>
#include <atomic>
#include <cstdint>

// Which host keys are down, by virtual-key code: the window fills it from its key events and the
// keyboard scan reads it. Cells are atomic because the window and the emulation may sit on
// different threads.
class HostKeyboardState {
  public:
    static constexpr int kKeyCount = 256;
    using Snapshot = std::array<uint8_t, kKeyCount>;  // 1 = down

    HostKeyboardState();

    void Press(uint8_t virtualKey) { down_[virtualKey].store(1, std::memory_order_relaxed); }
    void Release(uint8_t virtualKey) { down_[virtualKey].store(0, std::memory_order_relaxed); }
    void ReleaseAll();
    bool IsDown(uint8_t virtualKey) const {
        return down_[virtualKey].load(std::memory_order_relaxed) != 0;
    }
    Snapshot Read() const;

  private:
    std::array<std::atomic<uint8_t>, kKeyCount> down_;
};
