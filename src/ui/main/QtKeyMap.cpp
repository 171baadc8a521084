#include "ui/main/QtKeyMap.h"

#include <QKeyEvent>

#include "machine/VirtualKeys.h"

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

uint8_t QtKeyMap::VirtualKey(const QKeyEvent& event) {
    return VirtualKey(event.key(), event.modifiers());
}
