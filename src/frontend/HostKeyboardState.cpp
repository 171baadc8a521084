#include "frontend/HostKeyboardState.h"

HostKeyboardState::HostKeyboardState() {
    for (auto& key : shown_) key.store(0, std::memory_order_relaxed);
}

void HostKeyboardState::Press(uint8_t virtualKey) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (held_[virtualKey]++ != 0) return;  // the other of a pair (left and right Shift)
    const Change change{virtualKey, true};
    if (pending_.empty() && !changedSinceScan_[virtualKey]) {
        Apply(change);
    } else {
        pending_.push_back(change);
    }
}

void HostKeyboardState::Release(uint8_t virtualKey) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (held_[virtualKey] == 0 || --held_[virtualKey] != 0) return;
    const Change change{virtualKey, false};
    if (pending_.empty() && !changedSinceScan_[virtualKey]) {
        Apply(change);
    } else {
        pending_.push_back(change);
    }
}

void HostKeyboardState::ReleaseAll() {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_.clear();
    held_.fill(0);
    changedSinceScan_.fill(false);
    for (auto& key : shown_) key.store(0, std::memory_order_relaxed);
}

HostKeyboardState::Snapshot HostKeyboardState::Read() const {
    Snapshot snapshot{};
    for (int i = 0; i < kKeyCount; ++i) snapshot[i] = shown_[i].load(std::memory_order_relaxed);
    return snapshot;
}

void HostKeyboardState::ScanDone() {
    std::lock_guard<std::mutex> lock(mutex_);
    changedSinceScan_.fill(false);
    while (!pending_.empty()) {
        const Change change = pending_.front();
        // Each state of a key must be seen once: a tap, or the gap between two taps, would
        // otherwise vanish between two scans.
        if (changedSinceScan_[change.key]) break;
        Apply(change);
        pending_.pop_front();
    }
}

void HostKeyboardState::Apply(const Change& change) {
    shown_[change.key].store(change.down ? 1 : 0, std::memory_order_relaxed);
    changedSinceScan_[change.key] = true;
}
