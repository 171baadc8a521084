#include "ui/main/QtKeyMap.h"

#include <QKeyEvent>

#include "frontend/VirtualKeys.h"

namespace {

struct KeyRow {
    int qtKey;
    uint8_t virtualKey;
};

constexpr KeyRow kKeypad[] = {
    {Qt::Key_Asterisk, vk::kMultiply}, {Qt::Key_Plus, vk::kAdd},
    {Qt::Key_Minus, vk::kSubtract},    {Qt::Key_Period, vk::kDecimal},
    {Qt::Key_Comma, vk::kDecimal},     {Qt::Key_Slash, vk::kDivide},
    {Qt::Key_Enter, vk::kReturn},      {Qt::Key_Clear, 0x0C},
};

constexpr KeyRow kKeys[] = {
    // Editing and navigation.
    {Qt::Key_Escape, vk::kEscape},
    {Qt::Key_Tab, vk::kTab},
    {Qt::Key_Backtab, vk::kTab},
    {Qt::Key_Backspace, vk::kBack},
    {Qt::Key_Return, vk::kReturn},
    {Qt::Key_Enter, vk::kReturn},
    {Qt::Key_Insert, vk::kInsert},
    {Qt::Key_Delete, vk::kDelete},
    {Qt::Key_Pause, vk::kPause},
    {Qt::Key_Print, 0x2C},
    {Qt::Key_Home, vk::kHome},
    {Qt::Key_End, vk::kEnd},
    {Qt::Key_Left, vk::kLeft},
    {Qt::Key_Up, vk::kUp},
    {Qt::Key_Right, vk::kRight},
    {Qt::Key_Down, vk::kDown},
    {Qt::Key_PageUp, vk::kPrior},
    {Qt::Key_PageDown, vk::kNext},
    {Qt::Key_Space, vk::kSpace},
    {Qt::Key_Menu, vk::kApps},
    {Qt::Key_Clear, 0x0C},
    // Modifiers and locks.
    {Qt::Key_Shift, vk::kShift},
    {Qt::Key_Control, vk::kControl},
    {Qt::Key_Alt, vk::kMenu},
    {Qt::Key_AltGr, vk::kMenu},
    {Qt::Key_Meta, 0x5B},
    {Qt::Key_CapsLock, vk::kCapital},
    {Qt::Key_NumLock, 0x90},
    {Qt::Key_ScrollLock, 0x91},
    // The digit row's shifted characters on a US keyboard.
    {Qt::Key_Exclam, '1'},
    {Qt::Key_At, '2'},
    {Qt::Key_NumberSign, '3'},
    {Qt::Key_Dollar, '4'},
    {Qt::Key_Percent, '5'},
    {Qt::Key_AsciiCircum, '6'},
    {Qt::Key_Ampersand, '7'},
    {Qt::Key_Asterisk, '8'},
    {Qt::Key_ParenLeft, '9'},
    {Qt::Key_ParenRight, '0'},
    // OEM punctuation keys, both characters of each.
    {Qt::Key_Semicolon, vk::kOem1},
    {Qt::Key_Colon, vk::kOem1},
    {Qt::Key_Equal, vk::kOemPlus},
    {Qt::Key_Plus, vk::kOemPlus},
    {Qt::Key_Comma, vk::kOemComma},
    {Qt::Key_Less, vk::kOemComma},
    {Qt::Key_Minus, vk::kOemMinus},
    {Qt::Key_Underscore, vk::kOemMinus},
    {Qt::Key_Period, vk::kOemPeriod},
    {Qt::Key_Greater, vk::kOemPeriod},
    {Qt::Key_Slash, vk::kOem2},
    {Qt::Key_Question, vk::kOem2},
    {Qt::Key_QuoteLeft, vk::kOem3},
    {Qt::Key_AsciiTilde, vk::kOem3},
    {Qt::Key_BracketLeft, vk::kOem4},
    {Qt::Key_BraceLeft, vk::kOem4},
    {Qt::Key_Backslash, vk::kOem5},
    {Qt::Key_Bar, vk::kOem5},
    {Qt::Key_BracketRight, vk::kOem6},
    {Qt::Key_BraceRight, vk::kOem6},
    {Qt::Key_Apostrophe, vk::kOem7},
    {Qt::Key_QuoteDbl, vk::kOem7},
};

// The main block by XKB key code (Linux input code + 8), named as on a US keyboard.
struct PlaceRow {
    quint32 keyCode;
    uint8_t virtualKey;
};
constexpr PlaceRow kPlaces[] = {
    {10, '1'},
    {11, '2'},
    {12, '3'},
    {13, '4'},
    {14, '5'},
    {15, '6'},
    {16, '7'},
    {17, '8'},
    {18, '9'},
    {19, '0'},
    {20, vk::kOemMinus},
    {21, vk::kOemPlus},
    {24, 'Q'},
    {25, 'W'},
    {26, 'E'},
    {27, 'R'},
    {28, 'T'},
    {29, 'Y'},
    {30, 'U'},
    {31, 'I'},
    {32, 'O'},
    {33, 'P'},
    {34, vk::kOem4},
    {35, vk::kOem6},
    {38, 'A'},
    {39, 'S'},
    {40, 'D'},
    {41, 'F'},
    {42, 'G'},
    {43, 'H'},
    {44, 'J'},
    {45, 'K'},
    {46, 'L'},
    {47, vk::kOem1},
    {48, vk::kOem7},
    {49, vk::kOem3},
    {51, vk::kOem5},
    {52, 'Z'},
    {53, 'X'},
    {54, 'C'},
    {55, 'V'},
    {56, 'B'},
    {57, 'N'},
    {58, 'M'},
    {59, vk::kOemComma},
    {60, vk::kOemPeriod},
    {61, vk::kOem2},
    // The extra key of ISO keyboards (left of Z) carries the backslash on UK keyboards.
    {94, vk::kOem5},
};

bool xkbKeyCodes = false;

template <size_t N>
uint8_t Find(const KeyRow (&table)[N], int qtKey) {
    for (const KeyRow& row : table) {
        if (row.qtKey == qtKey) return row.virtualKey;
    }
    return 0;
}

}  // namespace

uint8_t QtKeyMap::VirtualKey(int qtKey, Qt::KeyboardModifiers modifiers) {
    const bool keypad = modifiers.testFlag(Qt::KeypadModifier);
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) {
        return keypad ? vk::Numpad(qtKey - Qt::Key_0) : static_cast<uint8_t>(qtKey);
    }
    // Qt's letter codes are the upper-case ASCII codes, as the virtual keys are.
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return static_cast<uint8_t>(qtKey);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return vk::Function(qtKey - Qt::Key_F1 + 1);
    if (keypad) {
        // With Num Lock off the keypad sends the navigation keys, found in the main table.
        if (uint8_t key = Find(kKeypad, qtKey)) return key;
    }
    return Find(kKeys, qtKey);
}

uint8_t QtKeyMap::PhysicalVirtualKey(quint32 xkbKeyCode, quint32 keySym) {
    for (const PlaceRow& row : kPlaces) {
        if (row.keyCode != xkbKeyCode) continue;
        // Latin letters follow the layout (QWERTZ, AZERTY); X key symbols of Latin letters are
        // their ASCII codes.
        if (keySym >= 'a' && keySym <= 'z') return static_cast<uint8_t>(keySym - 'a' + 'A');
        if (keySym >= 'A' && keySym <= 'Z') return static_cast<uint8_t>(keySym);
        return row.virtualKey;
    }
    return 0;
}

uint8_t QtKeyMap::VirtualKey(const QKeyEvent& event) {
    if (xkbKeyCodes && event.nativeScanCode() != 0) {
        const uint8_t key = PhysicalVirtualKey(event.nativeScanCode(), event.nativeVirtualKey());
        if (key != 0) return key;
    }
    return VirtualKey(event.key(), event.modifiers());
}

void QtKeyMap::SetXkbKeyCodes(bool xkb) {
    xkbKeyCodes = xkb;
}
