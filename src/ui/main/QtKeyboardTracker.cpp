#include "ui/main/QtKeyboardTracker.h"

#include <QKeyEvent>

#include "frontend/HostKeyboardState.h"
#include "ui/main/QtKeyMap.h"

namespace {
constexpr quint32 kNoScanCode = 0x80000000u;
}

quint32 QtKeyboardTracker::PhysicalKey(const QKeyEvent& event, uint8_t virtualKey) {
    return event.nativeScanCode() != 0 ? event.nativeScanCode() : kNoScanCode | virtualKey;
}

bool QtKeyboardTracker::KeyPressed(const QKeyEvent& event) {
    const uint8_t key = QtKeyMap::VirtualKey(event);
    if (key == 0) return false;
    if (pressed_.emplace(PhysicalKey(event, key), key).second) state_.Press(key);
    return true;
}

bool QtKeyboardTracker::KeyReleased(const QKeyEvent& event) {
    const uint8_t mapped = QtKeyMap::VirtualKey(event);
    // Auto-repeat sends release/press pairs while the key stays down.
    if (event.isAutoRepeat()) return mapped != 0;
    auto pressed = pressed_.find(PhysicalKey(event, mapped));
    if (pressed == pressed_.end()) return mapped != 0;  // pressed before the window had focus
    const uint8_t key = pressed->second;
    pressed_.erase(pressed);
    state_.Release(key);
    return true;
}

void QtKeyboardTracker::ReleaseAll() {
    pressed_.clear();
    state_.ReleaseAll();
}
