#include "ui/main/QtKeyboardTracker.h"

#include <QKeyEvent>

#include "machine/HostKeyboardState.h"
#include "ui/main/QtKeyMap.h"

bool QtKeyboardTracker::KeyPressed(const QKeyEvent& event) {
    const uint8_t key = QtKeyMap::VirtualKey(event);
    if (key == 0) return false;
    if (event.nativeScanCode() != 0) pressedByScanCode_[event.nativeScanCode()] = key;
    state_.Press(key);
    return true;
}

bool QtKeyboardTracker::KeyReleased(const QKeyEvent& event) {
    // Auto-repeat sends release/press pairs while the key stays down.
    if (event.isAutoRepeat()) return QtKeyMap::VirtualKey(event) != 0;
    uint8_t key = 0;
    auto pressed = pressedByScanCode_.find(event.nativeScanCode());
    if (event.nativeScanCode() != 0 && pressed != pressedByScanCode_.end()) {
        key = pressed->second;
        pressedByScanCode_.erase(pressed);
    } else {
        key = QtKeyMap::VirtualKey(event);
    }
    if (key == 0) return false;
    state_.Release(key);
    return true;
}

void QtKeyboardTracker::ReleaseAll() {
    pressedByScanCode_.clear();
    state_.ReleaseAll();
}
