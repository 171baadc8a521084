#include "host/config/Settings.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

#include "host/config/ConfigTree.h"
#include "host/config/RecentFiles.h"
#include "host/files/ProgramPaths.h"

namespace {

using namespace config;

constexpr const char* kVersion = "1.2.3.4";

std::string Body(std::string_view sections) {
    return "<T version=\"1.2.3.4\">\n" + std::string(sections) + "</T>\n";
}

class SettingsTest : public ::testing::Test {
  protected:
    void Load(std::string_view sections) {
        ASSERT_EQ(doc_.LoadFromText(Body(sections), kVersion), ConfigLoadResult::Usable);
    }
    ConfigDocument doc_;
    Settings settings_{doc_};
};

// The delivered file holds every key at its default, with two chosen exceptions: it selects the
// English texts and names the built-in ROM.
TEST(DeliveredSettings, EveryKeyIsPresentAndReadsItsDefault) {
    ConfigDocument doc;
    ASSERT_EQ(doc.Load(TEVRIN_DELIVERED_CONFIG), ConfigLoadResult::Usable);
    const std::set<std::string> deliberate = {"General/@language", "Hardware/RomFile/@"};
    // Read by the program but never written, so the file leaves it out (the video memory is
    // cleared after a reset); and the main window's place, which a first start chooses.
    const std::set<std::string> absent = {"Screen/@reset-pattern", "Screen/@x", "Screen/@y"};
    for (const KeyDescription& key : AllKeys()) {
        std::string name = std::string(key.place.section) + "/" +
                           (key.place.child.empty() ? "" : std::string(key.place.child) + "/") +
                           "@" + std::string(key.place.attribute);
        pugi::xml_node element = FindChildPath(doc.Section(key.place.section), key.place.child);
        ASSERT_TRUE(element) << name;
        if (absent.count(name) != 0) continue;
        std::string stored;
        if (key.place.attribute.empty()) {
            stored = GetElementText(element);
        } else {
            ASSERT_TRUE(element.attribute(std::string(key.place.attribute).c_str())) << name;
            stored = GetStrAttr(element, key.place.attribute);
        }
        if (deliberate.count(name) != 0) continue;
        EXPECT_EQ(stored, key.fallback) << name;
    }
    Settings settings(doc);
    EXPECT_EQ(settings.Get(keys::kLanguage), "english");
    EXPECT_EQ(settings.GetStored(keys::kRomFile), "tevrin.rom");
    EXPECT_TRUE(RecentFileEntries(doc.Section(kRecentSection)).empty());
}

TEST_F(SettingsTest, MissingAndMalformedValuesReadAsTheKeysDefaults) {
    Load(
        "  <General show-place-bar-on-file-dialog=\"True\" pause-on-focus-lost=\"true\" />\n"
        "  <Screen size=\"Normal\" border=\"abc\" full-screen-fit=\"fit\"\n"
        "          reset-pattern=\"Snow\" />\n"
        "  <Sound volume-speaker=\"101\" volume-tape=\"150\" device-index=\"3\" />\n"
        "  <Controls><Joystick sensitivity=\"-1\" left=\"12\" /></Controls>\n");
    EXPECT_TRUE(settings_.Get(keys::kShowPlaceBar));  // "True" is not "true": the default
    EXPECT_TRUE(settings_.Get(keys::kPauseOnFocusLost));
    EXPECT_FALSE(settings_.Get(keys::kShowHintInDebugger));
    EXPECT_EQ(settings_.Get(keys::kScreenSize), ScreenSize::Double);
    EXPECT_EQ(settings_.Get(keys::kScreenBorder), 8);
    EXPECT_EQ(settings_.Get(keys::kFullScreenFit), screen::kFitFit);
    EXPECT_EQ(settings_.Get(keys::kFullScreenSize), FullScreenSize::Size200);
    EXPECT_EQ(settings_.Get(keys::kVolumeSpeaker), 90);
    EXPECT_EQ(settings_.Get(keys::kVolumeTape), 90);  // out of range
    EXPECT_EQ(settings_.Get(keys::kVolumeMuse), 50);  // missing
    EXPECT_EQ(settings_.Get(keys::kSoundDeviceIndex), 3);
    EXPECT_EQ(settings_.Get(keys::kJoystickSensitivity), 60);
    EXPECT_EQ(settings_.Get(keys::kJoystickLeft), 12);
    EXPECT_EQ(settings_.Get(keys::kJoystickRight), -1);
    EXPECT_EQ(settings_.Get(keys::kJoystickType), JoystickSource::None);
    EXPECT_EQ(settings_.Get(keys::kHighlightColor), 15714740);
    EXPECT_EQ(settings_.Get(keys::kResetPattern), layout::ResetPattern::Clear);
    EXPECT_EQ(settings_.Get(keys::kListSource), ListSource::SP);
    EXPECT_EQ(settings_.Get(keys::kMemReadWriteFrom), 224);
    EXPECT_EQ(settings_.Get(keys::kMemReadWriteRadix), NumberBase::Decimal);
    EXPECT_EQ(settings_.Get(keys::kDebuggerRadix), NumberBase::Hexadecimal);
    EXPECT_EQ(settings_.Get(keys::kLanguage), "");
    EXPECT_EQ(settings_.GetAbsolute(keys::kTapeFile), "");
}

TEST_F(SettingsTest, WordIndexTellsAStoredWordFromNone) {
    Load("  <Screen color-profile=\"gray\" />\n  <Sound out-type=\"dsound\" />\n");
    EXPECT_EQ(settings_.WordIndex(keys::kColorProfile), -1);
    EXPECT_EQ(settings_.Get(keys::kColorProfile), ColorProfile::Color);
    EXPECT_EQ(settings_.WordIndex(keys::kSoundOutType), 0);
    EXPECT_EQ(settings_.WordIndex(keys::kFullScreenFit), -1);
}

TEST_F(SettingsTest, WritesReadBackAndNeverWriteAWordThatDoesNotExist) {
    Load("  <Screen />\n  <Debugger />\n  <BreakPoints />\n");
    EXPECT_TRUE(settings_.Set(keys::kFullScreenFit, screen::kFitStretch));
    EXPECT_FALSE(settings_.Set(keys::kResetPattern, layout::ResetPattern::Clear));
    settings_.Set(keys::kScreenBorder, 0);
    settings_.Set(keys::DebuggerMemAddress(2), 65535);
    EXPECT_TRUE(settings_.Set(keys::DebuggerMemType(2), ListingType::Ascii));
    settings_.Set(keys::BreakpointActive(6), true);
    settings_.Set(keys::BreakpointAddress(6), 0x1234);
    EXPECT_EQ(settings_.Get(keys::kFullScreenFit), screen::kFitStretch);
    EXPECT_EQ(settings_.WordIndex(keys::kResetPattern), -1);
    EXPECT_EQ(settings_.Get(keys::kScreenBorder), 0);
    EXPECT_EQ(settings_.Get(keys::DebuggerMemAddress(2)), 65535);
    EXPECT_EQ(settings_.Get(keys::DebuggerMemType(2)), ListingType::Ascii);
    EXPECT_EQ(settings_.Get(keys::DebuggerMemType(1)), ListingType::Disassembly);
    EXPECT_TRUE(settings_.Get(keys::BreakpointActive(6)));
    EXPECT_EQ(settings_.Get(keys::BreakpointAddress(6)), 0x1234);
    EXPECT_EQ(GetStrAttr(doc_.Section("Screen"), "full-screen-fit"), "stretch");
    EXPECT_EQ(GetElementText(doc_.Section("BreakPoints").child("BP6")), "4660");
}

// The words are those of files written by every earlier version; each must read back as the
// value it was written for.
TEST_F(SettingsTest, DomainValuesTravelAsTheWordsTheFilesHold) {
    Load("  <Screen />\n  <Sound />\n");
    const std::pair<screen::Fit, const char*> fits[] = {{screen::kFitFill, "fill"},
                                                        {screen::kFitFit, "fit"},
                                                        {screen::kFitStretch, "stretch"},
                                                        {screen::kFitCentre, "center"}};
    for (const auto& [fit, word] : fits) {
        ASSERT_TRUE(settings_.Set(keys::kFullScreenFit, fit));
        EXPECT_EQ(GetStrAttr(doc_.Section("Screen"), "full-screen-fit"), word);
        EXPECT_EQ(settings_.Get(keys::kFullScreenFit), fit) << word;
    }
    const std::pair<layout::ResetPattern, const char*> patterns[] = {
        {layout::ResetPattern::Random, "random"},
        {layout::ResetPattern::Grid, "grid"},
        {layout::ResetPattern::Snow, "snow"},
        {layout::ResetPattern::Rainbow, "rainbow"}};
    for (const auto& [pattern, word] : patterns) {
        SetStrAttr(doc_.Section("Screen"), "reset-pattern", word);
        EXPECT_EQ(settings_.Get(keys::kResetPattern), pattern) << word;
    }
    for (const auto& [type, word] : {std::pair{SoundOutputType::DSound, "dsound"},
                                     std::pair{SoundOutputType::WaveOut, "waveout"}}) {
        ASSERT_TRUE(settings_.Set(keys::kSoundOutType, type));
        EXPECT_EQ(GetStrAttr(doc_.Section("Sound"), "out-type"), word);
        EXPECT_EQ(settings_.Get(keys::kSoundOutType), type) << word;
    }
}

TEST_F(SettingsTest, WritingToAnElementTheFileLacksCreatesItInPlace) {
    Load("  <General/>\n");
    settings_.Set(keys::kSdRomConnected, true);
    settings_.SetPath(keys::kSdRomRootPath, "/srv/card");
    EXPECT_TRUE(settings_.Get(keys::kSdRomConnected));
    EXPECT_EQ(settings_.GetAbsolute(keys::kSdRomRootPath), "/srv/card");
    EXPECT_EQ(doc_.ToText(), Body("  <General/>\n  <Hardware>\n    <RomSD connected=\"true\">\n"
                                  "      <RootPath>/srv/card</RootPath>\n    </RomSD>\n"
                                  "  </Hardware>\n"));
}

TEST_F(SettingsTest, PathsInsideTheProgramFolderAreStoredRelative) {
    program::SetProgramFolder("/opt/tevrin/");
    Load("  <Hardware><RomFile /></Hardware>\n  <TapeBrowser />\n");
    settings_.SetPath(keys::kRomFile, "/opt/tevrin/roms/tevrin.rom");
    EXPECT_EQ(settings_.GetStored(keys::kRomFile), "roms/tevrin.rom");
    EXPECT_EQ(settings_.GetAbsolute(keys::kRomFile), "/opt/tevrin/roms/tevrin.rom");
    settings_.SetPath(keys::kTapeFile, "/OPT/tevrin/game.pta");  // another folder on Linux
    EXPECT_EQ(settings_.GetStored(keys::kTapeFile), "/OPT/tevrin/game.pta");
    settings_.SetPath(keys::kTapeFile, "tapes/game.pta");
    EXPECT_EQ(settings_.GetAbsolute(keys::kTapeFile), "/opt/tevrin/tapes/game.pta");
}

TEST_F(SettingsTest, WindowPositionsAreStoredAndKeptOnTheScreen) {
    Load("  <Debugger radix=\"dec\" />\n");
    settings_.SetWindowPos(keys::kDebuggerPos, {1700, -20});
    WindowPos pos = settings_.GetWindowPos(keys::kDebuggerPos, 487, 382, {1920, 1080});
    EXPECT_EQ(pos.x, 1920 - 487);
    EXPECT_EQ(pos.y, 0);
    EXPECT_EQ(GetIntAttr(doc_.Section("Debugger"), "x", 0), 1700);
    EXPECT_EQ(settings_.Get(keys::kDebuggerRadix), NumberBase::Decimal);
}

TEST(KeyTable, NamesEachPlaceOnceAndOnlyKnownSections) {
    std::set<std::string> places;
    std::set<std::string_view> sections(kSections.begin(), kSections.end());
    for (const KeyDescription& key : AllKeys()) {
        std::string place = std::string(key.place.section) + "/" + std::string(key.place.child) +
                            "/@" + std::string(key.place.attribute);
        EXPECT_TRUE(places.insert(place).second) << place;
        EXPECT_EQ(sections.count(key.place.section), 1u) << place;
    }
}

// What the settings dialog adds to its change list for a few changes, written out from the
// dialog's table of groups.
TEST(KeyTable, ChangedKeysTriggerTheirGroups) {
    auto numbers = [](const std::vector<KeyPlace>& changed) {
        std::vector<int> out;
        for (Group group : GroupsChangedBy(changed)) out.push_back(static_cast<int>(group));
        return out;
    };
    using List = std::vector<int>;
    EXPECT_EQ(numbers({{"Sound", "", "volume-tape"}}), List{9});
    EXPECT_EQ(numbers({{"Sound", "", "muse"}}), (List{8, 9, 17}));
    EXPECT_EQ(numbers({{"Sound", "", "device-index"}, {"Sound", "", "mute"}}), (List{8, 9}));
    EXPECT_EQ(numbers({{"Hardware", "", "clock-timer1"}, {"Hardware", "", "chain-timer01"}}),
              List{3});
    EXPECT_EQ(numbers({{"Hardware", "RomFile", ""}, {"Hardware", "", "inte-on-pb0"}}),
              (List{1, 4}));
    EXPECT_EQ(numbers({{"Hardware", "RomModule", ""}}), List{12});
    EXPECT_EQ(numbers({{"Hardware", "RomModule", "inserted"}}), List{13});
    EXPECT_EQ(numbers({{"Hardware", "RomSD/RootPath", ""}, {"Hardware", "RomSD", "connected"}}),
              (List{14, 15}));
    EXPECT_EQ(numbers({{"Screen", "", "full-screen-fit"}, {"Screen", "", "border"}}), (List{6, 7}));
    EXPECT_EQ(numbers({{"Controls", "Keyboard", "change-zy"}}), List{10});
    EXPECT_EQ(numbers({{"Controls", "Joystick", "connected"}}), List{11});
    EXPECT_EQ(numbers({{"General", "", "show-hint-in-debugger"}}), List{16});
    // Read where they are used: nothing to apply.
    EXPECT_EQ(numbers({{"General", "", "pause-on-focus-lost"},
                       {"Screen", "", "size"},
                       {"Hardware", "RomSD/SdPath", ""},
                       {"Sound", "", "no-such-key"}}),
              List{});
}

}  // namespace
