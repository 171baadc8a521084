#pragma once

#include <QtGlobal>

#include <cstdint>
#include <unordered_map>

class HostKeyboardState;
class QKeyEvent;

// Keeps the host key-state table from the window's key events. A key is released under the code
// it was pressed with: Qt reports a different key for the same physical key once Shift changes
// (1 and !), and looking the release up afresh would leave keys stuck. Each physical key counts
// once (auto-repeat presses are not new presses), so releasing one Shift while the other is held
// keeps Shift down.
class QtKeyboardTracker {
  public:
    explicit QtKeyboardTracker(HostKeyboardState& state) : state_(state) {}

    // Each returns whether the key is one the machine knows.
    bool KeyPressed(const QKeyEvent& event);
    bool KeyReleased(const QKeyEvent& event);
    // When the window loses the keyboard no release events arrive.
    void ReleaseAll();

  private:
    // The physical key: its scan code, or (where the platform gives none) the virtual key.
    static quint32 PhysicalKey(const QKeyEvent& event, uint8_t virtualKey);

    HostKeyboardState& state_;
    std::unordered_map<quint32, uint8_t> pressed_;
};
