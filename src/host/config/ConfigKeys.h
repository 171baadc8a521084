#pragma once

#include <array>
#include <climits>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Every setting of the program: where it lives in the configuration document, its type, its
// default and how a value out of range reads. This is the only place that knows them; code reads
// and writes settings through `Settings` with these keys and never repeats a default.
namespace config {

// Where a setting lives: an attribute of the section element (or of a child element below it),
// or, without an attribute, the text of that element.
struct KeyPlace {
    std::string_view section;
    std::string_view child;      // "/"-separated child element names; empty: the section itself
    std::string_view attribute;  // empty: the element's text
};

struct BoolKey {
    KeyPlace place;
    bool fallback;
};

struct IntKey {
    KeyPlace place;
    int fallback;  // missing or unreadable
    int min = INT_MIN;
    int max = INT_MAX;
    int outOfRange = 0;  // what a readable value outside min..max reads as
};

// A setting that is one of a few fixed words, compared case-sensitively. words[i] stands for
// the enumerator with value i; any other text (or none) reads as fallback.
template <typename E, std::size_t N>
struct WordKey {
    KeyPlace place;
    std::array<std::string_view, N> words;
    E fallback;
};

// Free text, empty when missing.
struct TextKey {
    KeyPlace place;
};

// A file or folder in the stored form: relative to the program folder when inside it.
struct PathKey {
    KeyPlace place;
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
enum class FullScreenFit { Fill, Fit, Stretch, Center };
enum class ResetPattern { Random, Grid, Snow, Rainbow, Cleared };
enum class SoundOutType { DSound, WaveOut };
enum class JoystickSource { Keys, Axes, Pov, Buttons, None };
enum class NumberBase { Decimal, Hexadecimal };
enum class Notation { I8080, Z80 };
enum class ListSource { Mem1, Mem2, Mem3, AF, BC, DE, HL, PC, SP };
enum class ListingType { Dump, Ascii, Disassembly };
enum class MemorySource { Memory, Blocks };

namespace keys {

// General
inline constexpr TextKey kLanguage{{"General", "", "language"}};
inline constexpr BoolKey kPauseOnFocusLost{{"General", "", "pause-on-focus-lost"}, false};
inline constexpr BoolKey kShowHintInDebugger{{"General", "", "show-hint-in-debugger"}, false};
inline constexpr BoolKey kShowPlaceBar{{"General", "", "show-place-bar-on-file-dialog"}, true};
inline constexpr BoolKey kShowInfoOnFullScreen{{"General", "", "show-info-on-enter-full-screen"},
                                               true};
inline constexpr BoolKey kShowNotFoundInDebugger{
    {"General", "", "show-not-found-message-in-debugger"}, true};

// Screen
inline constexpr WindowPosKey kScreenPos{"Screen"};
inline constexpr WordKey<ScreenSize, 2> kScreenSize{
    {"Screen", "", "size"}, {"normal", "double"}, ScreenSize::Double};
inline constexpr IntKey kScreenBorder{{"Screen", "", "border"}, 8, 0, 32, 8};
inline constexpr WordKey<ColorProfile, 2> kColorProfile{
    {"Screen", "", "color-profile"}, {"color", "grey-scale"}, ColorProfile::Color};
inline constexpr WordKey<FullScreenSize, 2> kFullScreenSize{
    {"Screen", "", "full-screen-size"}, {"100", "200"}, FullScreenSize::Size200};
inline constexpr WordKey<FullScreenFit, 4> kFullScreenFit{
    {"Screen", "", "full-screen-fit"}, {"fill", "fit", "stretch", "center"}, FullScreenFit::Center};
// Never written by the program; Cleared has no word.
inline constexpr WordKey<ResetPattern, 4> kResetPattern{
    {"Screen", "", "reset-pattern"}, {"random", "grid", "snow", "rainbow"}, ResetPattern::Cleared};

// Options (the settings dialog)
inline constexpr WindowPosKey kOptionsPos{"Options"};
inline constexpr IntKey kOptionsPage{{"Options", "", "page"}, 0};

// Hardware
inline constexpr BoolKey kMultiplier{{"Hardware", "", "multiplier"}, false};
inline constexpr BoolKey kClockTimer0{{"Hardware", "", "clock-timer0"}, false};
inline constexpr BoolKey kClockTimer1{{"Hardware", "", "clock-timer1"}, false};
inline constexpr BoolKey kChainTimer01{{"Hardware", "", "chain-timer01"}, false};
inline constexpr BoolKey kInteOnPb0{{"Hardware", "", "inte-on-pb0"}, false};
inline constexpr PathKey kRomFile{{"Hardware", "RomFile", ""}};
inline constexpr PathKey kRomModuleFile{{"Hardware", "RomModule", ""}};
inline constexpr BoolKey kRomModuleInserted{{"Hardware", "RomModule", "inserted"}, false};
inline constexpr BoolKey kSdRomConnected{{"Hardware", "RomSD", "connected"}, false};
inline constexpr PathKey kSdRomRootPath{{"Hardware", "RomSD/RootPath", ""}};
// Folder below RootPath, parts separated by "/"; not a stored path of its own.
inline constexpr TextKey kSdRomCurrentFolder{{"Hardware", "RomSD/SdPath", ""}};

// Sound
inline constexpr WordKey<SoundOutType, 2> kSoundOutType{
    {"Sound", "", "out-type"}, {"dsound", "waveout"}, SoundOutType::WaveOut};
inline constexpr IntKey kSoundDeviceIndex{{"Sound", "", "device-index"}, -1};
inline constexpr IntKey kVolumeSpeaker{{"Sound", "", "volume-speaker"}, 90, 0, 100, 90};
inline constexpr IntKey kVolumeTape{{"Sound", "", "volume-tape"}, 50, 0, 100, 90};
inline constexpr IntKey kVolumeMuse{{"Sound", "", "volume-muse"}, 50, 0, 100, 90};
inline constexpr BoolKey kMuse{{"Sound", "", "muse"}, false};
inline constexpr BoolKey kMute{{"Sound", "", "mute"}, false};

// Controls
inline constexpr BoolKey kChangeZy{{"Controls", "Keyboard", "change-zy"}, false};
inline constexpr BoolKey kJoystickConnected{{"Controls", "Joystick", "connected"}, false};
inline constexpr WordKey<JoystickSource, 5> kJoystickType{
    {"Controls", "Joystick", "type"},
    {"keys", "axes", "pov", "buttons", "none"},
    JoystickSource::None};
inline constexpr TextKey kJoystickGuid{{"Controls", "Joystick", "guid"}};
inline constexpr IntKey kJoystickLeft{{"Controls", "Joystick", "left"}, -1};
inline constexpr IntKey kJoystickRight{{"Controls", "Joystick", "right"}, -1};
inline constexpr IntKey kJoystickUp{{"Controls", "Joystick", "up"}, -1};
inline constexpr IntKey kJoystickDown{{"Controls", "Joystick", "down"}, -1};
inline constexpr IntKey kJoystickFire{{"Controls", "Joystick", "fire"}, -1};
inline constexpr IntKey kJoystickPov{{"Controls", "Joystick", "pov"}, -1};
inline constexpr IntKey kJoystickSensitivity{
    {"Controls", "Joystick", "sensitivity"}, 60, 0, 100, 60};

// Debugger
inline constexpr WindowPosKey kDebuggerPos{"Debugger"};
inline constexpr WordKey<NumberBase, 2> kDebuggerRadix{
    {"Debugger", "", "radix"}, {"dec", "hex"}, NumberBase::Hexadecimal};
inline constexpr WordKey<Notation, 2> kDebuggerNotation{
    {"Debugger", "", "notation"}, {"i8080", "z80"}, Notation::I8080};
// Red in the low byte, green in the next, blue in the third; never written by the program.
inline constexpr IntKey kHighlightColor{{"Debugger", "", "highlight-color"}, 15714740};
inline constexpr WordKey<ListSource, 9> kListSource{
    {"Debugger", "", "list-source"},
    {"mem1", "mem2", "mem3", "af", "bc", "de", "hl", "pc", "sp"},
    ListSource::SP};

inline constexpr std::array<std::string_view, 3> kMemViewElements{"Mem1", "Mem2", "Mem3"};
// n = 1..3: base address and listing type of the memory view MEMn.
constexpr IntKey DebuggerMemAddress(int n) {
    return {{"Debugger", kMemViewElements.at(static_cast<size_t>(n - 1)), ""}, 0, 0, 65535, 0};
}
constexpr WordKey<ListingType, 3> DebuggerMemType(int n) {
    return {{"Debugger", kMemViewElements.at(static_cast<size_t>(n - 1)), "type"},
            {"dump", "ascii", "disassembly"},
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

// MemReadWrite (memory load and save dialog)
inline constexpr WindowPosKey kMemReadWritePos{"MemReadWrite"};
inline constexpr PathKey kMemReadWriteFile{{"MemReadWrite", "", ""}};
inline constexpr IntKey kMemReadWriteStart{{"MemReadWrite", "", "start"}, 0};
inline constexpr IntKey kMemReadWriteLength{{"MemReadWrite", "", "length"}, 1};
inline constexpr IntKey kMemReadWriteFrom{{"MemReadWrite", "", "from"}, 224};
inline constexpr IntKey kMemReadWriteTo{{"MemReadWrite", "", "to"}, 224};
inline constexpr IntKey kMemReadWriteRunAddress{{"MemReadWrite", "", "runadr"}, 0};
inline constexpr BoolKey kMemReadWriteRun{{"MemReadWrite", "", "run"}, false};
inline constexpr WordKey<MemorySource, 2> kMemReadWriteSource{
    {"MemReadWrite", "", "source"}, {"memory", "blocks"}, MemorySource::Memory};
inline constexpr WordKey<NumberBase, 2> kMemReadWriteRadix{
    {"MemReadWrite", "", "radix"}, {"dec", "hex"}, NumberBase::Decimal};

// TapeBrowser
inline constexpr WindowPosKey kTapeBrowserPos{"TapeBrowser"};
inline constexpr PathKey kTapeFile{{"TapeBrowser", "", ""}};
// 0 lets the window's minimum height apply.
inline constexpr IntKey kTapeBrowserHeight{{"TapeBrowser", "", "height"}, 0};
inline constexpr BoolKey kTapeMonitoring{{"TapeBrowser", "", "monitoring"}, false};
inline constexpr BoolKey kTapeFlash{{"TapeBrowser", "", "flash"}, false};

// Starting places of the open command's snapshot and action-recording filters; never written.
inline constexpr PathKey kSnapshotPath{{"Snapshot", "", ""}};
inline constexpr PathKey kActionRecordingPath{{"ActionRecording", "", ""}};

}  // namespace keys

// One line of the key table, for listings and checks of the whole table.
struct KeyDescription {
    KeyPlace place;
    std::string type;      // "bool", "int", "int a..b", "word w1|w2|…", "text", "path"
    std::string fallback;  // the default as it would be written
};

// Every key above, window positions as their x and y attributes, the repeated children once
// per element; the recent-file list is not a key.
const std::vector<KeyDescription>& AllKeys();

}  // namespace config
