#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>

// Which host keys the machine is shown as down, by virtual-key code: the window (or the headless
// typist) reports presses and releases, the keyboard scan reads the shown state and then calls
// ScanDone.
//
// The scan copies the state only every 20 ms, so a tap shorter than that (a release before the
// next copy) would never reach the machine. A key whose shown state changed since the last scan
// keeps it until a scan has seen it; a further change of that key, and every change reported
// after it, wait in order until then. Two host keys may stand for one virtual key (left and right
// Shift): the key reads released only when the last of them is.
class HostKeyboardState {
  public:
    static constexpr int kKeyCount = 256;
    using Snapshot = std::array<uint8_t, kKeyCount>;  // 1 = down

    HostKeyboardState();

    void Press(uint8_t virtualKey);
    void Release(uint8_t virtualKey);
    // Focus went elsewhere: every key up at once, nothing pending.
    void ReleaseAll();
    // What the machine is shown now.
    bool IsDown(uint8_t virtualKey) const {
        return shown_[virtualKey].load(std::memory_order_relaxed) != 0;
    }
    Snapshot Read() const;
    // The scan has copied Read(): what waited behind a key seen since then may follow now.
    void ScanDone();

  private:
    struct Change {
        uint8_t key;
        bool down;
    };
    // Caller holds mutex_.
    void Apply(const Change& change);

    std::array<std::atomic<uint8_t>, kKeyCount> shown_;
    std::mutex mutex_;
    std::array<uint8_t, kKeyCount> held_{};  // host keys holding each virtual key down
    std::array<bool, kKeyCount> changedSinceScan_{};
    std::deque<Change> pending_;
};
