#include "host/config/ConfigKeys.h"

namespace config {
namespace {

void Add(std::vector<KeyDescription>& out, const BoolKey& key) {
    out.push_back({key.place, "bool", key.fallback ? "true" : "false"});
}

void Add(std::vector<KeyDescription>& out, const IntKey& key) {
    std::string type = "int";
    if (key.min != INT_MIN || key.max != INT_MAX) {
        type += " " + std::to_string(key.min) + ".." + std::to_string(key.max);
    }
    out.push_back({key.place, type, std::to_string(key.fallback)});
}

template <typename E, std::size_t N>
void Add(std::vector<KeyDescription>& out, const WordKey<E, N>& key) {
    std::string type = "word";
    for (std::size_t i = 0; i < N; ++i) type += (i == 0 ? " " : "|") + std::string(key.words[i]);
    auto index = static_cast<std::size_t>(key.fallback);
    out.push_back({key.place, type, index < N ? std::string(key.words[index]) : std::string()});
}

void Add(std::vector<KeyDescription>& out, const TextKey& key) {
    out.push_back({key.place, "text", ""});
}

void Add(std::vector<KeyDescription>& out, const PathKey& key) {
    out.push_back({key.place, "path", ""});
}

void Add(std::vector<KeyDescription>& out, const WindowPosKey& key) {
    out.push_back({{key.section, "", "x"}, "int", "0"});
    out.push_back({{key.section, "", "y"}, "int", "0"});
}

std::vector<KeyDescription> BuildTable() {
    using namespace keys;
    std::vector<KeyDescription> table;
    Add(table, kLanguage);
    Add(table, kPauseOnFocusLost);
    Add(table, kShowHintInDebugger);
    Add(table, kShowPlaceBar);
    Add(table, kShowInfoOnFullScreen);
    Add(table, kShowNotFoundInDebugger);
    Add(table, kScreenPos);
    Add(table, kScreenSize);
    Add(table, kScreenBorder);
    Add(table, kColorProfile);
    Add(table, kFullScreenSize);
    Add(table, kFullScreenFit);
    Add(table, kResetPattern);
    Add(table, kOptionsPos);
    Add(table, kOptionsPage);
    Add(table, kMultiplier);
    Add(table, kClockTimer0);
    Add(table, kClockTimer1);
    Add(table, kChainTimer01);
    Add(table, kInteOnPb0);
    Add(table, kRomFile);
    Add(table, kRomModuleFile);
    Add(table, kRomModuleInserted);
    Add(table, kSdRomConnected);
    Add(table, kSdRomRootPath);
    Add(table, kSdRomCurrentFolder);
    Add(table, kSoundOutType);
    Add(table, kSoundDeviceIndex);
    Add(table, kVolumeSpeaker);
    Add(table, kVolumeTape);
    Add(table, kVolumeMuse);
    Add(table, kMuse);
    Add(table, kMute);
    Add(table, kChangeZy);
    Add(table, kJoystickConnected);
    Add(table, kJoystickType);
    Add(table, kJoystickGuid);
    Add(table, kJoystickLeft);
    Add(table, kJoystickRight);
    Add(table, kJoystickUp);
    Add(table, kJoystickDown);
    Add(table, kJoystickFire);
    Add(table, kJoystickPov);
    Add(table, kJoystickSensitivity);
    Add(table, kDebuggerPos);
    Add(table, kDebuggerRadix);
    Add(table, kDebuggerNotation);
    Add(table, kHighlightColor);
    Add(table, kListSource);
    for (int n = 1; n <= 3; ++n) {
        Add(table, DebuggerMemAddress(n));
        Add(table, DebuggerMemType(n));
    }
    for (int n = 1; n <= 6; ++n) {
        Add(table, BreakpointAddress(n));
        Add(table, BreakpointActive(n));
    }
    Add(table, kMemReadWritePos);
    Add(table, kMemReadWriteFile);
    Add(table, kMemReadWriteStart);
    Add(table, kMemReadWriteLength);
    Add(table, kMemReadWriteFrom);
    Add(table, kMemReadWriteTo);
    Add(table, kMemReadWriteRunAddress);
    Add(table, kMemReadWriteRun);
    Add(table, kMemReadWriteSource);
    Add(table, kMemReadWriteRadix);
    Add(table, kTapeBrowserPos);
    Add(table, kTapeFile);
    Add(table, kTapeBrowserHeight);
    Add(table, kTapeMonitoring);
    Add(table, kTapeFlash);
    Add(table, kSnapshotPath);
    Add(table, kActionRecordingPath);
    return table;
}

}  // namespace

const std::vector<KeyDescription>& AllKeys() {
    static const std::vector<KeyDescription> table = BuildTable();
    return table;
}

}  // namespace config
