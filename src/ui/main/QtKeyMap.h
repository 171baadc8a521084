#pragma once

#include <QtCore/qnamespace.h>

#include <cstdint>

class QKeyEvent;

// The one place where Qt's key codes meet the Windows virtual-key numbering that the machine's
// key tables use. Punctuation follows the US layout: each OEM key answers to both characters
// printed on it, so a key still maps when Shift changes the character Qt reports.
class QtKeyMap {
  public:
    // The virtual key for a Qt key, or 0 when the machine has no use for it. Keypad keys are
    // told apart by Qt::KeypadModifier.
    static uint8_t VirtualKey(int qtKey, Qt::KeyboardModifiers modifiers);
    static uint8_t VirtualKey(const QKeyEvent& event);
};
