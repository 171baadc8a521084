#include "frontend/SettingsPages.h"

#include <algorithm>
#include <array>
#include <filesystem>

#include "frontend/RomMessage.h"
#include "host/config/ConfigTree.h"
#include "host/files/ProgramPaths.h"

namespace settingspages {
namespace {

namespace keys = config::keys;
using config::Group;
using Changes = std::vector<Group>;

struct Context {
    config::Settings& settings;
    PageControls& controls;
    bool devicesListed;
    bool joystickChanged;
};

void AddGroups(Changes& changes, config::GroupSet groups) {
    for (Group group : groups) changes.push_back(group);
}

bool FileExists(const std::string& stored) {
    std::error_code error;
    return !stored.empty() &&
           std::filesystem::is_regular_file(program::FromProgramRelative(stored), error);
}

bool FolderExists(const std::string& stored) {
    std::error_code error;
    return !stored.empty() &&
           std::filesystem::is_directory(program::FromProgramRelative(stored), error);
}

// One line of a page's table: the control (the radio buttons of a word, one per word), what it
// stands for, and how it loads and confirms. The groups are the key's own.
struct Binding {
    std::vector<std::string_view> controls;
    std::function<void(Context&)> load;
    std::function<void(Context&, Changes&)> confirm;
};

Binding Check(std::string_view control, const config::BoolKey& key) {
    return {{control},
            [control, &key](Context& c) { c.controls.SetChecked(control, c.settings.Get(key)); },
            [control, &key](Context& c, Changes& changes) {
                const bool checked = c.controls.Checked(control);
                if (checked == c.settings.Get(key)) return;
                c.settings.Set(key, checked);
                AddGroups(changes, key.groups);
            }};
}

// A spin box or a track bar. A volume outside its range is corrected in the file as the page
// loads, so the file says what the machine plays.
Binding Number(std::string_view control, const config::IntKey& key, bool correctOnLoad = false) {
    return {{control},
            [control, &key, correctOnLoad](Context& c) {
                const int value = c.settings.Get(key);
                c.controls.SetValue(control, value);
                if (!correctOnLoad) return;
                pugi::xml_node element = config::FindChildPath(
                    c.settings.Document().Section(key.place.section), key.place.child);
                const std::string raw = config::GetStrAttr(element, key.place.attribute);
                int stored = 0;
                if (config::ParseConfigInt(raw, stored) && stored != value) {
                    c.settings.Set(key, value);
                }
            },
            [control, &key](Context& c, Changes& changes) {
                const int value = c.controls.Value(control);
                if (value == c.settings.Get(key)) return;
                c.settings.Set(key, value);
                AddGroups(changes, key.groups);
            }};
}

// A drop-down list whose items are the key's words in their order. A stored text that is none
// of them shows as what it reads as.
template <typename E>
Binding Choice(std::string_view control, const config::WordKey<E>& key) {
    auto indexOf = [&key](E value) {
        for (std::size_t i = 0; i < key.words.size(); ++i) {
            if (key.words[i].value == value) return static_cast<int>(i);
        }
        return -1;
    };
    return {{control},
            [control, indexOf, &key](Context& c) {
                c.controls.SetValue(control, indexOf(c.settings.Get(key)));
            },
            [control, &key](Context& c, Changes& changes) {
                const int index = c.controls.Value(control);
                if (index < 0 || index >= static_cast<int>(key.words.size())) return;
                const E value = key.words[static_cast<std::size_t>(index)].value;
                if (value == c.settings.Get(key)) return;
                c.settings.Set(key, value);
                AddGroups(changes, key.groups);
            }};
}

// One radio button per word of the key. The button of what the stored text reads as is checked,
// so a misspelt colour profile shows (and stays) colour instead of turning grey on the next OK.
template <typename E>
Binding Radios(std::vector<std::string_view> radios, const config::WordKey<E>& key) {
    return {radios,
            [radios, &key](Context& c) {
                const E value = c.settings.Get(key);
                for (std::size_t i = 0; i < radios.size(); ++i) {
                    c.controls.SetChecked(radios[i], key.words[i].value == value);
                }
            },
            [radios, &key](Context& c, Changes& changes) {
                for (std::size_t i = 0; i < radios.size(); ++i) {
                    if (!c.controls.Checked(radios[i])) continue;
                    if (key.words[i].value == c.settings.Get(key)) return;
                    c.settings.Set(key, key.words[i].value);
                    AddGroups(changes, key.groups);
                    return;
                }
            }};
}

// A file: "..." for one that no longer exists, which keeps the stored name unless the user picks
// another.
Binding File(std::string_view control, const config::PathKey& key) {
    return {{control},
            [control, &key](Context& c) {
                const std::string stored = c.settings.GetStored(key);
                c.controls.SetText(control, FileExists(stored) ? stored : std::string(kNoFile));
            },
            [control, &key](Context& c, Changes& changes) {
                const std::string noted = c.settings.GetStored(key);
                const std::string text = c.controls.Text(control);
                if (text != kNoFile) c.settings.SetPath(key, text);
                if (c.settings.GetStored(key) != noted) AddGroups(changes, key.groups);
            }};
}

// A folder: empty for one that does not exist. An empty field keeps a stored folder that is
// missing (an unmounted drive must not lose the setting); it clears one that exists.
Binding Folder(std::string_view control, const config::PathKey& key) {
    return {{control},
            [control, &key](Context& c) {
                const std::string stored = c.settings.GetStored(key);
                c.controls.SetText(control, FolderExists(stored) ? stored : std::string());
            },
            [control, &key](Context& c, Changes& changes) {
                const std::string noted = c.settings.GetStored(key);
                const std::string text = c.controls.Text(control);
                if (text.empty() && !FolderExists(noted)) return;
                c.settings.SetPath(key, text);
                if (c.settings.GetStored(key) != noted) AddGroups(changes, key.groups);
            }};
}

// The device list is filled by the output type (SettingsPages::ListDevices); without an audio
// system there is nothing to choose and the stored device stays.
Binding Device(std::string_view control, const config::IntKey& key) {
    return {{control},
            [](Context&) {},
            [control, &key](Context& c, Changes& changes) {
                if (!c.devicesListed) return;
                const int index = c.controls.Value(control);
                if (index == c.settings.Get(key)) return;
                c.settings.Set(key, index);
                AddGroups(changes, key.groups);
            }};
}

// The joystick's confirmed dialog rebuilds the controller even when `connected` stays.
Binding Joystick(std::string_view control, const config::BoolKey& key) {
    return {{control},
            [control, &key](Context& c) { c.controls.SetChecked(control, c.settings.Get(key)); },
            [control, &key](Context& c, Changes& changes) {
                const bool checked = c.controls.Checked(control);
                if (!c.joystickChanged && checked == c.settings.Get(key)) return;
                c.settings.Set(key, checked);
                AddGroups(changes, key.groups);
            }};
}

using Table = std::vector<Binding>;

// The tables, in the order the dialog confirms them.
const std::array<Table, kPageCount>& Tables() {
    static const std::array<Table, kPageCount> tables{
        Table{Check("CheckHintDbg", keys::kShowHintInDebugger),
              Check("CheckShowPlaceBar", keys::kShowPlaceBar),
              Check("CheckMsgNotFoundDbg", keys::kShowNotFoundInDebugger),
              Number("SpinRewindDepth", keys::kRewindDepth)},
        Table{File("EditMainRom", keys::kRomFile), Check("CheckInsertRm", keys::kRomModuleInserted),
              File("EditRomModuleFile", keys::kRomModuleFile),
              Check("CheckConnSdRom", keys::kSdRomConnected),
              Folder("EditSdRomRootPath", keys::kSdRomRootPath),
              Check("CheckMultiplier", keys::kMultiplier), Check("CheckClkCT0", keys::kClockTimer0),
              Check("CheckClkCT1", keys::kClockTimer1),
              Check("CheckChainCT01", keys::kChainTimer01),
              Check("CheckInteOnPB0", keys::kInteOnPb0)},
        Table{Radios({"RbColor", "RbGrey"}, keys::kColorProfile),
              Number("SpinBorderSize", keys::kScreenBorder),
              Choice("CbSizeFS", keys::kFullScreenSize), Choice("CbFitFS", keys::kFullScreenFit),
              Check("CheckInfoFS", keys::kShowInfoOnFullScreen)},
        Table{Radios({"RadioDS", "RadioWO"}, keys::kSoundOutType),
              Device("CbAudioDevice", keys::kSoundDeviceIndex),
              Number("TrackVolumeSpeaker", keys::kVolumeSpeaker, true),
              Number("TrackVolumeTape", keys::kVolumeTape, true),
              Number("TrackVolumeMuse", keys::kVolumeMuse, true), Check("CheckMute", keys::kMute),
              // A change of the Muse rebuilds the driver (three channels) before the board.
              Check("CheckMuse", keys::kMuse)},
        Table{Check("CheckAZ", keys::kChangeZy), Joystick("CheckJoy", keys::kJoystickConnected)},
    };
    return tables;
}

const Table& TableOf(Page page) {
    return Tables()[static_cast<std::size_t>(page)];
}

}  // namespace

DeviceSource DeviceSource::Host() {
    return {[] { return SoundDevices::HostApi(SoundOutputType::WaveOut) >= 0; },
            [](SoundOutputType type) { return SoundDevices::List(type); },
            [](SoundOutputType type) { return SoundDevices::DefaultDevice(type); },
            [](SoundOutputType type) { return SoundDevices::HostApiName(type); }};
}

SettingsPages::SettingsPages(config::Settings& settings, PageControls& controls,
                             DeviceSource devices)
    : settings_(settings), controls_(controls), devices_(std::move(devices)) {}

void SettingsPages::LoadPage(Page page) {
    Context context{settings_, controls_, devicesListed_, false};
    for (const Binding& binding : TableOf(page)) binding.load(context);
    if (page == Page::Sound) LoadSoundPage();
    UpdateEnabling();
}

void SettingsPages::LoadAllPages() {
    for (int page = 0; page < kPageCount; ++page) LoadPage(static_cast<Page>(page));
}

void SettingsPages::LoadSoundPage() {
    rememberedDevice_ = settings_.Get(keys::kSoundDeviceIndex);
    ListDevices();
    // A fresh installation names no device: the one chosen for it is stored at once, so the
    // machine is heard even when the dialog is cancelled.
    if (devicesListed_) {
        const int selected = controls_.Value("CbAudioDevice");
        if (selected != rememberedDevice_) settings_.Set(keys::kSoundDeviceIndex, selected);
    }
}

void SettingsPages::ListDevices() {
    const SoundOutputType type =
        controls_.Checked("RadioDS") ? SoundOutputType::DSound : SoundOutputType::WaveOut;
    devicesListed_ = devices_.available && devices_.available();
    std::vector<SoundDeviceInfo> devices;
    if (devicesListed_ && devices_.list) devices = devices_.list(type);
    auto listed = [&devices](int index) {
        return index >= 0 &&
               std::any_of(devices.begin(), devices.end(),
                           [index](const SoundDeviceInfo& d) { return d.index == index; });
    };
    int selected = rememberedDevice_;
    if (!listed(selected)) {
        selected = devices_.defaultDevice ? devices_.defaultDevice(type) : -1;
        if (!listed(selected)) selected = -1;
    }
    controls_.SetDevices(devices, selected);
}

void SettingsPages::Clicked(std::string_view control) {
    const bool checked = controls_.Checked(control);
    if (control == "CheckInsertRm" && checked) controls_.SetChecked("CheckConnSdRom", false);
    if (control == "CheckConnSdRom" && checked) controls_.SetChecked("CheckInsertRm", false);
    if (control == "CheckClkCT0" && !checked) controls_.SetChecked("CheckChainCT01", false);
    if (control == "CheckClkCT1" && checked) controls_.SetChecked("CheckChainCT01", false);
    if (control == "CheckChainCT01" && checked) {
        // Chained, counter 0 clocks counter 1: no clock of its own, and no Muse to supply one.
        controls_.SetChecked("CheckClkCT0", true);
        controls_.SetChecked("CheckClkCT1", false);
        controls_.SetChecked("CheckMuse", false);
    }
    if (control == "CheckMuse") {
        // The Muse board supplies the clock of timer counter 1.
        controls_.SetChecked("CheckClkCT1", checked);
        if (checked) controls_.SetChecked("CheckChainCT01", false);
    }
    UpdateEnabling();
}

void SettingsPages::UpdateEnabling() {
    const auto enable = [this](std::initializer_list<std::string_view> names, bool enabled) {
        for (std::string_view name : names) controls_.SetEnabled(name, enabled);
    };
    enable({"LblRomModuleFile", "EditRomModuleFile", "BtnRomModuleOpen"},
           controls_.Checked("CheckInsertRm"));
    enable({"LblSdRomRootPath", "EditSdRomRootPath", "BtnSdRomRootPath"},
           controls_.Checked("CheckConnSdRom"));
    const bool sounding = !controls_.Checked("CheckMute");
    enable({"LblVolumeSpeaker", "TrackVolumeSpeaker", "LblVolumeTape", "TrackVolumeTape"},
           sounding);
    enable({"LblVolumeMuse", "TrackVolumeMuse"}, sounding && controls_.Checked("CheckMuse"));
    enable({"BtnJoy", "LblJoyType"}, controls_.Checked("CheckJoy"));
}

std::vector<Group> SettingsPages::Confirm(bool joystickChanged) {
    Changes changes;
    Context context{settings_, controls_, devicesListed_, joystickChanged};
    for (const Table& table : Tables()) {
        for (const Binding& binding : table) binding.confirm(context, changes);
    }
    return changes;
}

config::GroupSet ToGroupSet(const std::vector<Group>& changes) {
    config::GroupSet set;
    for (Group group : changes) set.Add(group);
    return set;
}

SettingsPages::Refusal SettingsPages::CheckBeforeConfirm() const {
    const std::string text = controls_.Text("EditMainRom");
    if (text == kNoFile || text == settings_.GetStored(config::keys::kRomFile)) return {};
    std::optional<std::string> refusal = RomFileRefusal(program::FromProgramRelative(text));
    if (!refusal) return {};
    return {"EditMainRom", refusal->empty() ? text : std::move(*refusal)};
}

}  // namespace settingspages
