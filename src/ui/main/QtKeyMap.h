#pragma once

#include <QtCore/qnamespace.h>

#include <cstdint>

class QKeyEvent;

// The one place where host keys meet the Windows virtual-key numbering that the machine's key
// tables use. The machine's keyboard is mapped by key, not by the character a layout puts on it:
// Shift+2 is Shift held and the 2 key on every layout. Where the platform reports XKB key codes
// (X11, Wayland) the keys of the main block are found by their place, as on a US keyboard, and
// letters by the letter the active layout gives them (so Z is the key marked Z on a German
// keyboard, and the change-zy option keeps its meaning). Elsewhere, and for every other key, the
// Qt key decides; punctuation then follows the US layout, each OEM key answering to both
// characters printed on it.
class QtKeyMap {
  public:
    // The virtual key for a Qt key, or 0 when the machine has no use for it. Keypad keys are
    // told apart by Qt::KeypadModifier.
    static uint8_t VirtualKey(int qtKey, Qt::KeyboardModifiers modifiers);
    // The virtual key for a key of the main block by its XKB key code and the key symbol the
    // layout gives it; 0 when the key code is not one of the main block.
    static uint8_t PhysicalVirtualKey(quint32 xkbKeyCode, quint32 keySym);
    static uint8_t VirtualKey(const QKeyEvent& event);
    // Whether the platform's native scan codes are XKB key codes; the window sets it once from
    // the platform's name (tests set it to try either way).
    static void SetXkbKeyCodes(bool xkb);
};
