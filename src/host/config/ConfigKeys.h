#pragma once

#include <array>
#include <climits>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/audio/SoundOutputType.h"
#include "host/config/GroupSet.h"
#include "machine/ResetPattern.h"
#include "machine/ScreenGeometry.h"

// Every setting of the program: where it lives in the configuration document, its type, its
// default, how a value out of range reads and which groups a change of it triggers. This is the
// only place that knows them; code reads and writes settings through `Settings` with these keys
// and never repeats a default.
namespace config {

// Where a setting lives: an attribute of the section element (or of a child element below it),
// or, without an attribute, the text of that element.
struct KeyPlace {
    std::string_view section;
    std::string_view child;      // "/"-separated child element names; empty: the section itself
    std::string_view attribute;  // empty: the element's text
    bool operator==(const KeyPlace&) const = default;
};

// Every key carries the groups a change of it makes the machine redo (none for settings that
// are read where they are used).

struct BoolKey {
    KeyPlace place;
    bool fallback;
    GroupSet groups = {};
};

struct IntKey {
    KeyPlace place;
    int fallback;  // missing or unreadable
    int min = INT_MIN;
    int max = INT_MAX;
    int outOfRange = 0;  // what a readable value outside min..max reads as
    GroupSet groups = {};
};

// One value of an enumeration and the word the file stores for it.
template <typename E>
struct Word {
    E value;
    std::string_view text;
};

// A setting that is one of a few fixed words, compared case-sensitively; any other text (or
// none) reads as fallback. The words are the one table of their enumeration.
template <typename E>
struct WordKey {
    KeyPlace place;
    std::span<const Word<E>> words;
    E fallback;
    GroupSet groups = {};
};

// Free text, empty when missing.
struct TextKey {
    KeyPlace place;
    GroupSet groups = {};
};

// A file or folder in the stored form: relative to the program folder when inside it.
struct PathKey {
    KeyPlace place;
    GroupSet groups = {};
};

// The remembered left and top edge of a window (attributes x and y of the section).
struct WindowPosKey {
    std::string_view section;
};

inline constexpr int kMaxRecentFiles = 20;
inline constexpr std::string_view kRecentSection = "Recent";
inline constexpr std::string_view kRecentFileElement = "RecentFile";

// Every section the delivered file holds, in its order.
inline constexpr std::array<std::string_view, 13> kSections{
    "General",  "Screen",          "Options",     "Hardware",     "Sound",
    "Controls", "Debugger",        "BreakPoints", "MemReadWrite", "TapeBrowser",
    "Snapshot", "ActionRecording", "Recent"};

enum class ScreenSize { Normal, Double };
enum class ColorProfile { Color, GreyScale };
enum class FullScreenSize { Size100, Size200 };
enum class JoystickSource { Keys, Axes, Pov, Buttons, None };
enum class NumberBase { Decimal, Hexadecimal };
enum class Notation { I8080, Z80 };
enum class ListSource { Mem1, Mem2, Mem3, AF, BC, DE, HL, PC, SP };
enum class ListingType { Dump, Ascii, Disassembly };
enum class MemorySource { Memory, Blocks };

// The stored words, one table per enumeration; the order is the one the settings pages list.
inline constexpr auto kScreenSizeWords = std::to_array<Word<ScreenSize>>(
    {{ScreenSize::Normal, "normal"}, {ScreenSize::Double, "double"}});
inline constexpr auto kColorProfileWords = std::to_array<Word<ColorProfile>>(
    {{ColorProfile::Color, "color"}, {ColorProfile::GreyScale, "grey-scale"}});
inline constexpr auto kFullScreenSizeWords = std::to_array<Word<FullScreenSize>>(
    {{FullScreenSize::Size100, "100"}, {FullScreenSize::Size200, "200"}});
inline constexpr auto kFullScreenFitWords =
    std::to_array<Word<screen::Fit>>({{screen::kFitFill, "fill"},
                                      {screen::kFitFit, "fit"},
                                      {screen::kFitStretch, "stretch"},
                                      {screen::kFitCentre, "center"}});
// Clearing the video memory has no word: it is what any other text means.
inline constexpr auto kResetPatternWords =
    std::to_array<Word<layout::ResetPattern>>({{layout::ResetPattern::Random, "random"},
                                               {layout::ResetPattern::Grid, "grid"},
                                               {layout::ResetPattern::Snow, "snow"},
                                               {layout::ResetPattern::Rainbow, "rainbow"}});
inline constexpr auto kSoundOutTypeWords = std::to_array<Word<SoundOutputType>>(
    {{SoundOutputType::DSound, "dsound"}, {SoundOutputType::WaveOut, "waveout"}});
inline constexpr auto kJoystickSourceWords =
    std::to_array<Word<JoystickSource>>({{JoystickSource::Keys, "keys"},
                                         {JoystickSource::Axes, "axes"},
                                         {JoystickSource::Pov, "pov"},
                                         {JoystickSource::Buttons, "buttons"},
                                         {JoystickSource::None, "none"}});
inline constexpr auto kNumberBaseWords = std::to_array<Word<NumberBase>>(
    {{NumberBase::Decimal, "dec"}, {NumberBase::Hexadecimal, "hex"}});
inline constexpr auto kNotationWords =
    std::to_array<Word<Notation>>({{Notation::I8080, "i8080"}, {Notation::Z80, "z80"}});
inline constexpr auto kListSourceWords =
    std::to_array<Word<ListSource>>({{ListSource::Mem1, "mem1"},
                                     {ListSource::Mem2, "mem2"},
                                     {ListSource::Mem3, "mem3"},
                                     {ListSource::AF, "af"},
                                     {ListSource::BC, "bc"},
                                     {ListSource::DE, "de"},
                                     {ListSource::HL, "hl"},
                                     {ListSource::PC, "pc"},
                                     {ListSource::SP, "sp"}});
inline constexpr auto kListingTypeWords =
    std::to_array<Word<ListingType>>({{ListingType::Dump, "dump"},
                                      {ListingType::Ascii, "ascii"},
                                      {ListingType::Disassembly, "disassembly"}});
inline constexpr auto kMemorySourceWords = std::to_array<Word<MemorySource>>(
    {{MemorySource::Memory, "memory"}, {MemorySource::Blocks, "blocks"}});

// Every key but the repeated children, once: KEY(name, definition). The list declares the
// constants of namespace keys and builds AllKeys(), so a key cannot be left out of the checks
// of the whole table.
// clang-format off
#define TEVRIN_CONFIG_KEYS(KEY)                                                                    \
    /* General */                                                                                  \
    KEY(kLanguage, TextKey{{"General", "", "language"}})                                           \
    KEY(kPauseOnFocusLost, BoolKey{{"General", "", "pause-on-focus-lost"}, false})                 \
    KEY(kShowHintInDebugger, BoolKey{{"General", "", "show-hint-in-debugger"}, false,              \
                                     {Group::DebuggerHints}})                                      \
    KEY(kShowPlaceBar, BoolKey{{"General", "", "show-place-bar-on-file-dialog"}, true})            \
    KEY(kShowInfoOnFullScreen, BoolKey{{"General", "", "show-info-on-enter-full-screen"}, true})   \
    KEY(kShowNotFoundInDebugger,                                                                   \
        BoolKey{{"General", "", "show-not-found-message-in-debugger"}, true})                      \
    /* Seconds of emulated time the machine's history reaches back (rewind, step back). */     \
    KEY(kRewindDepth, IntKey{{"General", "", "rewind-depth"}, 60, 1, 600, 60})                     \
    /* Screen */                                                                                   \
    KEY(kScreenPos, WindowPosKey{"Screen"})                                                        \
    KEY(kScreenSize, WordKey<ScreenSize>{{"Screen", "", "size"}, kScreenSizeWords,                 \
                                         ScreenSize::Double})                                      \
    KEY(kScreenBorder, IntKey{{"Screen", "", "border"}, 8, 0, 32, 8, {Group::Border}})             \
    KEY(kColorProfile, WordKey<ColorProfile>{{"Screen", "", "color-profile"}, kColorProfileWords,  \
                                             ColorProfile::Color, {Group::ColourProfile}})         \
    KEY(kFullScreenSize,                                                                           \
        WordKey<FullScreenSize>{{"Screen", "", "full-screen-size"}, kFullScreenSizeWords,          \
                                FullScreenSize::Size200, {Group::FullScreen}})                     \
    KEY(kFullScreenFit, WordKey<screen::Fit>{{"Screen", "", "full-screen-fit"},                    \
                                             kFullScreenFitWords, screen::kFitCentre,              \
                                             {Group::FullScreen}})                                 \
    /* Never written by the program. */                                                            \
    KEY(kResetPattern, WordKey<layout::ResetPattern>{{"Screen", "", "reset-pattern"},              \
                                                     kResetPatternWords,                           \
                                                     layout::ResetPattern::Clear})                 \
    /* Options (the settings dialog) */                                                            \
    KEY(kOptionsPos, WindowPosKey{"Options"})                                                      \
    KEY(kOptionsPage, IntKey{{"Options", "", "page"}, 0})                                          \
    /* Hardware */                                                                                 \
    KEY(kMultiplier, BoolKey{{"Hardware", "", "multiplier"}, false, {Group::Multiplier}})          \
    KEY(kClockTimer0, BoolKey{{"Hardware", "", "clock-timer0"}, false, {Group::Timers}})           \
    KEY(kClockTimer1, BoolKey{{"Hardware", "", "clock-timer1"}, false, {Group::Timers}})           \
    KEY(kChainTimer01, BoolKey{{"Hardware", "", "chain-timer01"}, false, {Group::Timers}})         \
    KEY(kInteOnPb0, BoolKey{{"Hardware", "", "inte-on-pb0"}, false, {Group::InteOnPb0}})           \
    KEY(kRomFile, PathKey{{"Hardware", "RomFile", ""}, {Group::MainRom}})                          \
    KEY(kRomModuleFile, PathKey{{"Hardware", "RomModule", ""}, {Group::RomModuleFile}})            \
    KEY(kRomModuleInserted, BoolKey{{"Hardware", "RomModule", "inserted"}, false,                  \
                                    {Group::RomModuleInserted}})                                   \
    KEY(kSdRomConnected, BoolKey{{"Hardware", "RomSD", "connected"}, false,                        \
                                 {Group::SdRomConnected}})                                         \
    KEY(kSdRomRootPath, PathKey{{"Hardware", "RomSD/RootPath", ""}, {Group::SdRomFolder}})         \
    /* Folder below RootPath, parts separated by "/"; not a stored path of its own. The module */  \
    /* writes it as the machine changes folder. */                                                 \
    KEY(kSdRomCurrentFolder, TextKey{{"Hardware", "RomSD/SdPath", ""}})                            \
    /* Sound. The Muse changes the driver's channel count, so it rebuilds the driver first. */     \
    KEY(kSoundOutType, WordKey<SoundOutputType>{{"Sound", "", "out-type"}, kSoundOutTypeWords,     \
                                                SoundOutputType::WaveOut, {Group::SoundDevice}})   \
    KEY(kSoundDeviceIndex, IntKey{.place = {"Sound", "", "device-index"}, .fallback = -1,          \
                                  .groups = {Group::SoundDevice}})                                 \
    KEY(kVolumeSpeaker, IntKey{{"Sound", "", "volume-speaker"}, 90, 0, 100, 90,                    \
                               {Group::SoundVolumes}})                                             \
    KEY(kVolumeTape, IntKey{{"Sound", "", "volume-tape"}, 50, 0, 100, 90, {Group::SoundVolumes}})  \
    KEY(kVolumeMuse, IntKey{{"Sound", "", "volume-muse"}, 50, 0, 100, 90, {Group::SoundVolumes}})  \
    KEY(kMuse, BoolKey{{"Sound", "", "muse"}, false,                                               \
                       {Group::SoundDevice, Group::SoundVolumes, Group::Muse}})                    \
    KEY(kMute, BoolKey{{"Sound", "", "mute"}, false, {Group::SoundVolumes}})                       \
    /* Controls. The joystick dialog writes the Joystick keys when it is confirmed, and its */     \
    /* confirmation always rebuilds the game controller. */                                        \
    KEY(kChangeZy, BoolKey{{"Controls", "Keyboard", "change-zy"}, false, {Group::Keyboard}})       \
    KEY(kJoystickConnected, BoolKey{{"Controls", "Joystick", "connected"}, false,                  \
                                    {Group::Joystick}})                                            \
    KEY(kJoystickType, WordKey<JoystickSource>{{"Controls", "Joystick", "type"},                   \
                                               kJoystickSourceWords, JoystickSource::None,         \
                                               {Group::Joystick}})                                 \
    KEY(kJoystickGuid, TextKey{{"Controls", "Joystick", "guid"}, {Group::Joystick}})               \
    KEY(kJoystickLeft, IntKey{.place = {"Controls", "Joystick", "left"}, .fallback = -1,           \
                              .groups = {Group::Joystick}})                                        \
    KEY(kJoystickRight, IntKey{.place = {"Controls", "Joystick", "right"}, .fallback = -1,         \
                               .groups = {Group::Joystick}})                                       \
    KEY(kJoystickUp, IntKey{.place = {"Controls", "Joystick", "up"}, .fallback = -1,               \
                            .groups = {Group::Joystick}})                                          \
    KEY(kJoystickDown, IntKey{.place = {"Controls", "Joystick", "down"}, .fallback = -1,           \
                              .groups = {Group::Joystick}})                                        \
    KEY(kJoystickFire, IntKey{.place = {"Controls", "Joystick", "fire"}, .fallback = -1,           \
                              .groups = {Group::Joystick}})                                        \
    KEY(kJoystickPov, IntKey{.place = {"Controls", "Joystick", "pov"}, .fallback = -1,             \
                             .groups = {Group::Joystick}})                                         \
    KEY(kJoystickSensitivity, IntKey{{"Controls", "Joystick", "sensitivity"}, 60, 0, 100, 60,      \
                                     {Group::Joystick}})                                           \
    /* Debugger */                                                                                 \
    KEY(kDebuggerPos, WindowPosKey{"Debugger"})                                                    \
    KEY(kDebuggerRadix, WordKey<NumberBase>{{"Debugger", "", "radix"}, kNumberBaseWords,           \
                                            NumberBase::Hexadecimal})                              \
    KEY(kDebuggerNotation, WordKey<Notation>{{"Debugger", "", "notation"}, kNotationWords,         \
                                             Notation::I8080})                                     \
    /* Red in the low byte, green in the next, blue in the third; never written. */                \
    KEY(kHighlightColor, IntKey{{"Debugger", "", "highlight-color"}, 15714740})                    \
    KEY(kListSource, WordKey<ListSource>{{"Debugger", "", "list-source"}, kListSourceWords,        \
                                         ListSource::SP})                                          \
    /* MemReadWrite (memory load and save dialog) */                                               \
    KEY(kMemReadWritePos, WindowPosKey{"MemReadWrite"})                                            \
    KEY(kMemReadWriteFile, PathKey{{"MemReadWrite", "", ""}})                                      \
    KEY(kMemReadWriteStart, IntKey{{"MemReadWrite", "", "start"}, 0})                              \
    KEY(kMemReadWriteLength, IntKey{{"MemReadWrite", "", "length"}, 1})                            \
    KEY(kMemReadWriteFrom, IntKey{{"MemReadWrite", "", "from"}, 224})                              \
    KEY(kMemReadWriteTo, IntKey{{"MemReadWrite", "", "to"}, 224})                                  \
    KEY(kMemReadWriteRunAddress, IntKey{{"MemReadWrite", "", "runadr"}, 0})                        \
    KEY(kMemReadWriteRun, BoolKey{{"MemReadWrite", "", "run"}, false})                             \
    KEY(kMemReadWriteSource, WordKey<MemorySource>{{"MemReadWrite", "", "source"},                 \
                                                   kMemorySourceWords, MemorySource::Memory})      \
    KEY(kMemReadWriteRadix, WordKey<NumberBase>{{"MemReadWrite", "", "radix"}, kNumberBaseWords,   \
                                                NumberBase::Decimal})                              \
    /* TapeBrowser; a height of 0 lets the window's minimum height apply. */                       \
    KEY(kTapeBrowserPos, WindowPosKey{"TapeBrowser"})                                              \
    KEY(kTapeFile, PathKey{{"TapeBrowser", "", ""}})                                               \
    KEY(kTapeBrowserHeight, IntKey{{"TapeBrowser", "", "height"}, 0})                              \
    KEY(kTapeMonitoring, BoolKey{{"TapeBrowser", "", "monitoring"}, false})                        \
    KEY(kTapeFlash, BoolKey{{"TapeBrowser", "", "flash"}, false})                                  \
    /* Starting places of the open command's snapshot and action-recording filters; never */       \
    /* written. */                                                                                 \
    KEY(kSnapshotPath, PathKey{{"Snapshot", "", ""}})                                              \
    KEY(kActionRecordingPath, PathKey{{"ActionRecording", "", ""}})
// clang-format on

namespace keys {

#define TEVRIN_DECLARE_KEY(name, ...) inline constexpr auto name = __VA_ARGS__;
TEVRIN_CONFIG_KEYS(TEVRIN_DECLARE_KEY)
#undef TEVRIN_DECLARE_KEY

inline constexpr std::array<std::string_view, 3> kMemViewElements{"Mem1", "Mem2", "Mem3"};
// n = 1..3: base address and listing type of the memory view MEMn.
constexpr IntKey DebuggerMemAddress(int n) {
    return {{"Debugger", kMemViewElements.at(static_cast<size_t>(n - 1)), ""}, 0, 0, 65535, 0};
}
constexpr WordKey<ListingType> DebuggerMemType(int n) {
    return {{"Debugger", kMemViewElements.at(static_cast<size_t>(n - 1)), "type"},
            kListingTypeWords,
            ListingType::Disassembly};
}

// BreakPoints: n = 1..6
inline constexpr std::array<std::string_view, 6> kBreakpointElements{"BP1", "BP2", "BP3",
                                                                     "BP4", "BP5", "BP6"};
constexpr IntKey BreakpointAddress(int n) {
    return {
        {"BreakPoints", kBreakpointElements.at(static_cast<size_t>(n - 1)), ""}, 0, 0, 65535, 0};
}
constexpr BoolKey BreakpointActive(int n) {
    return {{"BreakPoints", kBreakpointElements.at(static_cast<size_t>(n - 1)), "active"}, false};
}

}  // namespace keys

// One line of the key table, for listings and checks of the whole table.
struct KeyDescription {
    KeyPlace place;
    std::string type;      // "bool", "int", "int a..b", "word w1|w2|…", "text", "path"
    std::string fallback;  // the default as it would be written
    GroupSet groups;
};

// Every key above, window positions as their x and y attributes, the repeated children once
// per element; the recent-file list is not a key.
const std::vector<KeyDescription>& AllKeys();

// The groups to apply after the keys at these places changed; places that are no key, or whose
// key has no groups, add none.
GroupSet GroupsChangedBy(const std::vector<KeyPlace>& changed);

}  // namespace config
