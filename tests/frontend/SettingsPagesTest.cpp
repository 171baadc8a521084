#include "frontend/SettingsPages.h"

#include <gtest/gtest.h>

#include <map>

#include "host/config/ConfigDocument.h"
#include "host/files/ProgramPaths.h"
#include "support/TempFolder.h"

namespace {

using config::Group;
using settingspages::Page;
using settingspages::SettingsPages;
using testing_support::TempFolder;
namespace keys = config::keys;

// The pages' controls as plain values; a control the pages never named reads as unchecked, -1
// or empty.
class FakeControls : public settingspages::PageControls {
  public:
    bool Checked(std::string_view c) const override {
        return checked_.count(std::string(c)) && checked_.at(std::string(c));
    }
    void SetChecked(std::string_view c, bool v) override { checked_[std::string(c)] = v; }
    int Value(std::string_view c) const override {
        auto it = values_.find(std::string(c));
        return it == values_.end() ? -1 : it->second;
    }
    void SetValue(std::string_view c, int v) override { values_[std::string(c)] = v; }
    std::string Text(std::string_view c) const override {
        auto it = texts_.find(std::string(c));
        return it == texts_.end() ? "" : it->second;
    }
    void SetText(std::string_view c, std::string_view t) override { texts_[std::string(c)] = t; }
    void SetEnabled(std::string_view c, bool e) override { enabled_[std::string(c)] = e; }
    void SetDevices(const std::vector<SoundDeviceInfo>& devices, int selected) override {
        devices_ = devices;
        values_["CbAudioDevice"] = selected;
    }
    bool Enabled(const std::string& c) const { return enabled_.at(c); }
    std::vector<SoundDeviceInfo> devices_;

  private:
    std::map<std::string, bool> checked_;
    std::map<std::string, int> values_;
    std::map<std::string, std::string> texts_;
    std::map<std::string, bool> enabled_;
};

// Two host APIs: "direct" lists devices 4 and 5 (default 5), "standard" lists 1 and 2
// (default 2).
settingspages::DeviceSource TwoApis() {
    return {[] { return true; },
            [](SoundOutputType type) {
                return type == SoundOutputType::DSound
                           ? std::vector<SoundDeviceInfo>{{4, "jack a"}, {5, "jack b"}}
                           : std::vector<SoundDeviceInfo>{{1, "hw:0"}, {2, "default"}};
            },
            [](SoundOutputType type) { return type == SoundOutputType::DSound ? 5 : 2; },
            [](SoundOutputType) { return std::string("api"); }};
}

class SettingsPagesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previousFolder_ = program::ProgramFolder();
        program::SetProgramFolder(folder_.Path());
        folder_.Write("main.rom", std::string(16384, '\xFF'));
        folder_.Write("sd/readme.txt", "card");
        ASSERT_EQ(document_.LoadFromText(R"(<TevrinEmu version="1">
  <General show-hint-in-debugger="false"/>
  <Screen border="8" color-profile="colour" full-screen-size="200" full-screen-fit="fit"/>
  <Options/>
  <Hardware multiplier="false" clock-timer0="true" clock-timer1="false" chain-timer01="false">
    <RomFile>main.rom</RomFile>
    <RomModule inserted="false">gone.rmm</RomModule>
    <RomSD connected="false"><RootPath>sd</RootPath></RomSD>
  </Hardware>
  <Sound out-type="waveout" device-index="1" volume-speaker="150" volume-tape="50"
         volume-muse="50" muse="false" mute="false"/>
  <Controls><Keyboard change-zy="false"/><Joystick connected="false"/></Controls>
</TevrinEmu>)",
                                         "1"),
                  config::ConfigLoadResult::Usable);
    }
    void TearDown() override { program::SetProgramFolder(previousFolder_); }

    // Opens the pages as the start-up does: every page loaded.
    SettingsPages& Loaded(settingspages::DeviceSource devices = TwoApis()) {
        pages_ = std::make_unique<SettingsPages>(settings_, controls_, std::move(devices));
        pages_->LoadAllPages();
        return *pages_;
    }

    std::string previousFolder_;
    TempFolder folder_;
    config::ConfigDocument document_;
    config::Settings settings_{document_};
    FakeControls controls_;
    std::unique_ptr<SettingsPages> pages_;
};

TEST_F(SettingsPagesTest, StartUpConfirmationKeepsTheFileAndCorrectsOnlyWhatTheLoadRepairs) {
    SettingsPages& pages = Loaded();
    // A volume out of range is repaired as the page loads, before any OK.
    EXPECT_EQ(settings_.Document().Section("Sound").attribute("volume-speaker").as_string(),
              std::string("90"));
    EXPECT_EQ(controls_.Value("TrackVolumeSpeaker"), 90);
    // What the controls show: the misspelt colour profile reads as colour, the missing module
    // file as "...", the existing card folder as stored.
    EXPECT_TRUE(controls_.Checked("RbColor"));
    EXPECT_FALSE(controls_.Checked("RbGrey"));
    EXPECT_EQ(controls_.Text("EditMainRom"), "main.rom");
    EXPECT_EQ(controls_.Text("EditRomModuleFile"), "...");
    EXPECT_EQ(controls_.Text("EditSdRomRootPath"), "sd");
    EXPECT_EQ(controls_.Value("CbFitFS"), 1);
    EXPECT_EQ(controls_.Value("CbSizeFS"), 1);
    EXPECT_EQ(controls_.Value("CbAudioDevice"), 1);

    const std::string before = document_.ToText();
    EXPECT_TRUE(pages.Confirm().empty());
    EXPECT_EQ(document_.ToText(), before);
    EXPECT_EQ(settings_.GetStored(keys::kRomModuleFile), "gone.rmm") << "\"...\" keeps the name";
    EXPECT_EQ(settings_.Get(keys::kColorProfile), config::ColorProfile::Color);
}

TEST_F(SettingsPagesTest, ChangeListNamesTheGroupsOfWhatChangedInTheOrderOfThePages) {
    struct Case {
        const char* what;
        std::function<void(FakeControls&)> edit;
        std::vector<Group> expected;
    };
    const std::vector<Case> cases = {
        {"a volume alone",
         [](FakeControls& c) { c.SetValue("TrackVolumeTape", 30); },
         {Group::SoundVolumes}},
        {"the Muse",
         [](FakeControls& c) { c.SetChecked("CheckMuse", true); },
         {Group::SoundDevice, Group::SoundVolumes, Group::Muse}},
        {"debugger hints",
         [](FakeControls& c) { c.SetChecked("CheckHintDbg", true); },
         {Group::DebuggerHints}},
        {"border, grey, a timer option and the device",
         [](FakeControls& c) {
             c.SetValue("CbAudioDevice", 2);
             c.SetChecked("CheckChainCT01", true);
             c.SetValue("SpinBorderSize", 0);
             c.SetChecked("RbColor", false);
             c.SetChecked("RbGrey", true);
         },
         {Group::Timers, Group::ColourProfile, Group::Border, Group::SoundDevice}},
        {"both full-screen lists",
         [](FakeControls& c) {
             c.SetValue("CbSizeFS", 0);
             c.SetValue("CbFitFS", 3);
         },
         {Group::FullScreen, Group::FullScreen}},
        {"a new ROM, the module and the SD-ROM",
         [](FakeControls& c) {
             c.SetText("EditMainRom", "other.rom");
             c.SetChecked("CheckInsertRm", true);
             c.SetChecked("CheckConnSdRom", true);
             c.SetText("EditSdRomRootPath", "");
         },
         {Group::MainRom, Group::RomModuleInserted, Group::SdRomConnected, Group::SdRomFolder}},
        {"the same ROM chosen again: no change",
         [](FakeControls& c) { c.SetText("EditMainRom", "main.rom"); },
         {}},
        {"keyboard and joystick",
         [](FakeControls& c) {
             c.SetChecked("CheckAZ", true);
             c.SetChecked("CheckJoy", true);
         },
         {Group::Keyboard, Group::Joystick}},
    };
    const std::string original = document_.ToText();
    for (const Case& c : cases) {
        ASSERT_EQ(document_.LoadFromText(original, "1"), config::ConfigLoadResult::Usable);
        SettingsPages& pages = Loaded();
        c.edit(controls_);
        EXPECT_EQ(pages.Confirm(), c.expected) << c.what;
        // Everything is written: confirming again finds nothing left to change.
        EXPECT_TRUE(pages.Confirm().empty()) << c.what;
    }
    // The last case's file.
    EXPECT_EQ(settings_.Get(keys::kJoystickConnected), true);
    EXPECT_EQ(settings_.Get(keys::kChangeZy), true);
}

TEST_F(SettingsPagesTest, JoystickDialogAndMissingFoldersAreKept) {
    SettingsPages& pages = Loaded();
    // The joystick dialog was confirmed: the controller is rebuilt though `connected` stays.
    EXPECT_EQ(pages.Confirm(true), std::vector<Group>{Group::Joystick});
    // A card folder on a drive that is not mounted shows empty and keeps the stored folder.
    settings_.SetPath(keys::kSdRomRootPath, "/nowhere/card");
    pages.LoadPage(Page::Hardware);
    EXPECT_EQ(controls_.Text("EditSdRomRootPath"), "");
    EXPECT_TRUE(pages.Confirm().empty());
    EXPECT_EQ(settings_.GetStored(keys::kSdRomRootPath), "/nowhere/card");
}

TEST_F(SettingsPagesTest, SoundPageSelectsAndStoresTheDefaultDeviceOfTheOutputType) {
    settings_.Set(keys::kSoundDeviceIndex, -1);
    SettingsPages& pages = Loaded();
    // No device stored: the standard API's default is selected and stored at once.
    EXPECT_EQ(controls_.Value("CbAudioDevice"), 2);
    EXPECT_EQ(settings_.Get(keys::kSoundDeviceIndex), 2);
    EXPECT_EQ(controls_.devices_.size(), 2u);
    // The other output type lists its own devices; the stored one is not among them, so its
    // default is offered, and OK stores type and device.
    controls_.SetChecked("RadioWO", false);
    controls_.SetChecked("RadioDS", true);
    pages.ListDevices();
    EXPECT_EQ(controls_.devices_.front().name, "jack a");
    EXPECT_EQ(controls_.Value("CbAudioDevice"), 5);
    EXPECT_EQ(pages.Confirm(), (std::vector<Group>{Group::SoundDevice, Group::SoundDevice}));
    EXPECT_EQ(settings_.Get(keys::kSoundOutType), SoundOutputType::DSound);

    // Without an audio system nothing is listed and the stored device survives an OK.
    settings_.Set(keys::kSoundDeviceIndex, 7);
    SettingsPages& silent = Loaded({[] { return false; }, {}, {}, {}});
    EXPECT_TRUE(controls_.devices_.empty());
    EXPECT_TRUE(silent.Confirm().empty());
    EXPECT_EQ(settings_.Get(keys::kSoundDeviceIndex), 7);
}

TEST_F(SettingsPagesTest, RulesTieModulesTimersAndTheMuseTogether) {
    SettingsPages& pages = Loaded();
    auto click = [&](const char* box, bool checked) {
        controls_.SetChecked(box, checked);
        pages.Clicked(box);
    };
    click("CheckInsertRm", true);
    EXPECT_TRUE(controls_.Enabled("EditRomModuleFile"));
    click("CheckConnSdRom", true);
    EXPECT_FALSE(controls_.Checked("CheckInsertRm")) << "one module slot";
    EXPECT_FALSE(controls_.Enabled("EditRomModuleFile"));
    EXPECT_TRUE(controls_.Enabled("BtnSdRomRootPath"));

    click("CheckMuse", true);
    EXPECT_TRUE(controls_.Checked("CheckClkCT1")) << "the Muse clocks counter 1";
    EXPECT_TRUE(controls_.Enabled("TrackVolumeMuse"));
    click("CheckChainCT01", true);
    EXPECT_FALSE(controls_.Checked("CheckMuse"));
    EXPECT_FALSE(controls_.Checked("CheckClkCT1"));
    EXPECT_TRUE(controls_.Checked("CheckClkCT0"));
    EXPECT_FALSE(controls_.Enabled("TrackVolumeMuse"));
    click("CheckClkCT0", false);
    EXPECT_FALSE(controls_.Checked("CheckChainCT01"));
    click("CheckClkCT1", true);
    click("CheckMute", true);
    EXPECT_FALSE(controls_.Enabled("TrackVolumeSpeaker"));
    EXPECT_FALSE(controls_.Enabled("LblVolumeTape"));
}

}  // namespace
