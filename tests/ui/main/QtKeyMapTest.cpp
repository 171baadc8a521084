#include <gtest/gtest.h>

#include <QKeyEvent>

#include "frontend/HostKeyboard.h"
#include "frontend/KeyTable.h"
#include "frontend/VirtualKeys.h"
#include "ui/main/QtKeyMap.h"
#include "ui/main/QtKeyboardTracker.h"

namespace {

uint8_t Map(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    return QtKeyMap::VirtualKey(key, modifiers);
}

TEST(QtKeyMap, LettersDigitsAndFunctionKeys) {
    for (int i = 0; i < 26; ++i) EXPECT_EQ(Map(Qt::Key_A + i), 'A' + i);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(Map(Qt::Key_0 + i), '0' + i);
        EXPECT_EQ(Map(Qt::Key_0 + i, Qt::KeypadModifier), vk::Numpad(i));
    }
    for (int i = 1; i <= 14; ++i) EXPECT_EQ(Map(Qt::Key_F1 + i - 1), vk::Function(i));
}

TEST(QtKeyMap, KeypadOperatorsAreTheirOwnKeys) {
    EXPECT_EQ(Map(Qt::Key_Asterisk, Qt::KeypadModifier), vk::kMultiply);
    EXPECT_EQ(Map(Qt::Key_Asterisk, Qt::ShiftModifier), '8');
    EXPECT_EQ(Map(Qt::Key_Plus, Qt::KeypadModifier), vk::kAdd);
    EXPECT_EQ(Map(Qt::Key_Plus, Qt::ShiftModifier), vk::kOemPlus);
    EXPECT_EQ(Map(Qt::Key_Minus, Qt::KeypadModifier), vk::kSubtract);
    EXPECT_EQ(Map(Qt::Key_Slash, Qt::KeypadModifier), vk::kDivide);
    EXPECT_EQ(Map(Qt::Key_Period, Qt::KeypadModifier), vk::kDecimal);
    EXPECT_EQ(Map(Qt::Key_Enter, Qt::KeypadModifier), vk::kReturn);
    // Num Lock off: the keypad's navigation keys.
    EXPECT_EQ(Map(Qt::Key_Home, Qt::KeypadModifier), vk::kHome);
}

TEST(QtKeyMap, PunctuationAnswersToBothCharactersOfItsKey) {
    const std::pair<int, int> pairs[] = {
        {Qt::Key_Semicolon, Qt::Key_Colon},      {Qt::Key_Equal, Qt::Key_Plus},
        {Qt::Key_Comma, Qt::Key_Less},           {Qt::Key_Minus, Qt::Key_Underscore},
        {Qt::Key_Period, Qt::Key_Greater},       {Qt::Key_Slash, Qt::Key_Question},
        {Qt::Key_QuoteLeft, Qt::Key_AsciiTilde}, {Qt::Key_BracketLeft, Qt::Key_BraceLeft},
        {Qt::Key_Backslash, Qt::Key_Bar},        {Qt::Key_BracketRight, Qt::Key_BraceRight},
        {Qt::Key_Apostrophe, Qt::Key_QuoteDbl},
    };
    for (const auto& [plain, shifted] : pairs) {
        EXPECT_NE(Map(plain), 0) << plain;
        EXPECT_EQ(Map(plain), Map(shifted, Qt::ShiftModifier)) << plain;
    }
    EXPECT_EQ(Map(Qt::Key_Exclam, Qt::ShiftModifier), '1');
    EXPECT_EQ(Map(Qt::Key_ParenRight, Qt::ShiftModifier), '0');
    EXPECT_EQ(Map(Qt::Key_unknown), 0);
}

// Every machine key can be reached from some Qt key, so no key of the table is dead on Linux.
TEST(QtKeyMap, EveryMatrixKeyHasAQtKey) {
    std::array<bool, 256> reachable{};
    for (int key = 0x20; key < 0x7F; ++key) {
        reachable[Map(key)] = true;
        reachable[Map(key, Qt::KeypadModifier)] = true;
    }
    for (int key = Qt::Key_Escape; key <= Qt::Key_F35; ++key) {
        reachable[Map(key)] = true;
        reachable[Map(key, Qt::KeypadModifier)] = true;
    }
    reachable[Map(Qt::Key_Menu)] = true;
    for (const KeyTableRow& row : keytable::kRows) {
        EXPECT_TRUE(reachable[row.virtualKey]) << "virtual key " << int(row.virtualKey);
    }
    for (uint8_t key : {vk::kShift, vk::kControl, vk::kMenu, vk::kBack, vk::kInsert, vk::kEnd}) {
        EXPECT_TRUE(reachable[key]) << int(key);
    }
}

QKeyEvent Event(QEvent::Type type, int key, Qt::KeyboardModifiers modifiers, quint32 scanCode,
                bool autoRepeat = false) {
    return QKeyEvent(type, key, modifiers, scanCode, 0, 0, QString(), autoRepeat);
}

// From the Qt key to the machine's matrix, for the keys whose virtual key is least obvious: the
// places are the board's, written out here, not looked up in the program's table.
TEST(QtKeyMap, KeysReachTheirPlaceInTheMachinesMatrix) {
    QtKeyMap::SetXkbKeyCodes(false);
    struct Place {
        int key;
        Qt::KeyboardModifiers modifiers;
        int column, bit;
    };
    const Place places[] = {
        {Qt::Key_Equal, Qt::NoModifier, 0, 4},        {Qt::Key_Escape, Qt::NoModifier, 0, 1},
        {Qt::Key_Plus, Qt::KeypadModifier, 9, 1},     {Qt::Key_Tab, Qt::NoModifier, 9, 0},
        {Qt::Key_F13, Qt::NoModifier, 7, 1},          {Qt::Key_F14, Qt::NoModifier, 7, 0},
        {Qt::Key_PageUp, Qt::NoModifier, 10, 0},      {Qt::Key_Apostrophe, Qt::NoModifier, 10, 3},
        {Qt::Key_CapsLock, Qt::NoModifier, 11, 1},    {Qt::Key_Semicolon, Qt::NoModifier, 11, 3},
        {Qt::Key_BracketLeft, Qt::NoModifier, 11, 5}, {Qt::Key_Asterisk, Qt::KeypadModifier, 12, 0},
        {Qt::Key_Minus, Qt::KeypadModifier, 12, 1},   {Qt::Key_Comma, Qt::NoModifier, 12, 3},
        {Qt::Key_Backslash, Qt::NoModifier, 12, 5},   {Qt::Key_Home, Qt::NoModifier, 13, 1},
        {Qt::Key_Minus, Qt::NoModifier, 13, 3},       {Qt::Key_BracketRight, Qt::NoModifier, 13, 5},
        {Qt::Key_Slash, Qt::KeypadModifier, 14, 0},   {Qt::Key_Menu, Qt::NoModifier, 14, 1},
        {Qt::Key_Period, Qt::KeypadModifier, 14, 2},  {Qt::Key_Period, Qt::NoModifier, 14, 3},
        {Qt::Key_QuoteLeft, Qt::NoModifier, 14, 5},   {Qt::Key_Delete, Qt::NoModifier, 15, 0},
        {Qt::Key_PageDown, Qt::NoModifier, 15, 1},    {Qt::Key_Slash, Qt::NoModifier, 15, 3},
    };
    HostKeyboard keyboard;
    QtKeyboardTracker tracker(keyboard.Keys());
    for (const Place& place : places) {
        ASSERT_TRUE(tracker.KeyPressed(Event(QEvent::KeyPress, place.key, place.modifiers, 0)));
        KeyMatrix expected;
        expected.columns[static_cast<size_t>(place.column)] = static_cast<uint8_t>(1 << place.bit);
        EXPECT_EQ(keyboard.Scan(), expected) << "Qt key " << place.key;
        tracker.KeyReleased(Event(QEvent::KeyRelease, place.key, place.modifiers, 0));
        EXPECT_EQ(keyboard.Scan(), KeyMatrix{});
    }
}

TEST(QtKeyboardTracker, ReleasesTheKeyThatWasPressedWhateverShiftDidMeanwhile) {
    HostKeyboardState state;
    QtKeyboardTracker tracker(state);
    EXPECT_TRUE(tracker.KeyPressed(Event(QEvent::KeyPress, Qt::Key_1, Qt::NoModifier, 10)));
    EXPECT_TRUE(state.IsDown('1'));
    tracker.KeyPressed(Event(QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier, 50));
    state.ScanDone();  // the machine has seen both: releases now go through at once
    // Still down during auto-repeat.
    tracker.KeyReleased(Event(QEvent::KeyRelease, Qt::Key_Exclam, Qt::ShiftModifier, 10, true));
    EXPECT_TRUE(state.IsDown('1'));
    tracker.KeyReleased(Event(QEvent::KeyRelease, Qt::Key_Exclam, Qt::ShiftModifier, 10));
    EXPECT_FALSE(state.IsDown('1'));
    EXPECT_TRUE(state.IsDown(vk::kShift));
    tracker.ReleaseAll();
    EXPECT_FALSE(state.IsDown(vk::kShift));
    EXPECT_FALSE(tracker.KeyPressed(Event(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, 99)));
}

TEST(QtKeyboardTracker, ShiftStaysDownWhileEitherShiftKeyIsHeld) {
    HostKeyboardState state;
    QtKeyboardTracker tracker(state);
    constexpr quint32 kLeftShift = 50, kRightShift = 62;
    tracker.KeyPressed(Event(QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier, kLeftShift));
    tracker.KeyPressed(Event(QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier, kRightShift));
    // Auto-repeat presses of a held key are no new presses.
    tracker.KeyPressed(Event(QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier, kLeftShift, true));
    state.ScanDone();
    tracker.KeyReleased(Event(QEvent::KeyRelease, Qt::Key_Shift, Qt::ShiftModifier, kLeftShift));
    EXPECT_TRUE(state.IsDown(vk::kShift));
    tracker.KeyReleased(Event(QEvent::KeyRelease, Qt::Key_Shift, Qt::NoModifier, kRightShift));
    EXPECT_FALSE(state.IsDown(vk::kShift));
}

// XKB key codes of a pc105 keyboard and the key symbols the layouts put on them (X11's keysym
// values: Latin letters and ASCII punctuation are their codes; section sign 0xA7, o with
// diaeresis 0xF6, sharp s 0xDF).
TEST(QtKeyMap, KeysAreMappedByWhatTheyAreNotByTheCharacterTheyGive) {
    QtKeyMap::SetXkbKeyCodes(true);
    auto key = [](quint32 code, quint32 sym, Qt::KeyboardModifiers modifiers, int qtKey) {
        return QtKeyMap::VirtualKey(
            QKeyEvent(QEvent::KeyPress, qtKey, modifiers, code, sym, 0, QString()));
    };
    // German: Shift+2 gives '"', Shift+3 '§', Shift+6 '&'; each is Shift and that digit.
    EXPECT_EQ(key(11, 0x22, Qt::ShiftModifier, Qt::Key_QuoteDbl), '2');
    EXPECT_EQ(key(12, 0xA7, Qt::ShiftModifier, Qt::Key_section), '3');
    EXPECT_EQ(key(15, 0x26, Qt::ShiftModifier, Qt::Key_Ampersand), '6');
    // QWERTZ: the key marked Z is Z, the one marked Y is Y.
    EXPECT_EQ(key(29, 'z', Qt::NoModifier, Qt::Key_Z), 'Z');
    EXPECT_EQ(key(52, 'Y', Qt::ShiftModifier, Qt::Key_Y), 'Y');
    // Keys with letters a US keyboard lacks are the US keys in their place.
    EXPECT_EQ(key(47, 0xF6, Qt::NoModifier, Qt::Key_Odiaeresis), vk::kOem1);
    EXPECT_EQ(key(20, 0xDF, Qt::NoModifier, Qt::Key_ssharp), vk::kOemMinus);
    // The ISO '#' key (right of the German A-row) is no 3.
    EXPECT_EQ(key(51, '#', Qt::NoModifier, Qt::Key_NumberSign), vk::kOem5);
    // Outside the main block the Qt key still decides.
    EXPECT_EQ(key(36, 0xFF0D, Qt::NoModifier, Qt::Key_Return), vk::kReturn);
    EXPECT_EQ(key(87, 0xFFB1, Qt::KeypadModifier, Qt::Key_1), vk::Numpad(1));
    // Without XKB key codes the US reading of the Qt key remains.
    QtKeyMap::SetXkbKeyCodes(false);
    EXPECT_EQ(key(11, 0x22, Qt::ShiftModifier, Qt::Key_QuoteDbl), vk::kOem7);
}

}  // namespace
