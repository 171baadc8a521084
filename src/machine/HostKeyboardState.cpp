#include "machine/HostKeyboardState.h"

HostKeyboardState::HostKeyboardState() {
    ReleaseAll();
}

void HostKeyboardState::ReleaseAll() {
    for (auto& key : down_) key.store(0, std::memory_order_relaxed);
}

HostKeyboardState::Snapshot HostKeyboardState::Read() const {
    Snapshot snapshot{};
    for (int i = 0; i < kKeyCount; ++i) snapshot[i] = down_[i].load(std::memory_order_relaxed);
    return snapshot;
}
