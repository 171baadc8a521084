#include "host/audio/SoundConfig.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class SoundConfigTest : public ::testing::Test {
  protected:
    void Load(const std::string& sound) {
        ASSERT_EQ(document.LoadFromText("<T version=\"1.2.3.4\">\n" + sound + "</T>\n", "1.2.3.4"),
                  config::ConfigLoadResult::Usable);
    }
    config::ConfigDocument document;
    config::Settings settings{document};
};

TEST_F(SoundConfigTest, MissingSectionGivesTheDefaults) {
    Load("");
    const SoundSettings s = soundconfig::Read(settings);
    EXPECT_EQ(s.outType, SoundOutputType::WaveOut);
    EXPECT_EQ(s.deviceIndex, -1);
    EXPECT_EQ(s.volumeSpeaker, 90);
    EXPECT_EQ(s.volumeTape, 50);
    EXPECT_EQ(s.volumeMuse, 50);
    EXPECT_FALSE(s.muse);
    EXPECT_FALSE(s.mute);
}

TEST_F(SoundConfigTest, StoredValuesAreReadAndBadVolumesCountAsNinety) {
    Load(
        "<Sound out-type=\"dsound\" device-index=\"3\" volume-speaker=\"12\" volume-tape=\"150\" "
        "volume-muse=\"x\" muse=\"true\" mute=\"true\"/>\n");
    const SoundSettings s = soundconfig::Read(settings);
    EXPECT_EQ(s.outType, SoundOutputType::DSound);
    EXPECT_EQ(s.deviceIndex, 3);
    EXPECT_EQ(s.volumeSpeaker, 12);
    EXPECT_EQ(s.volumeTape, 90);
    EXPECT_EQ(s.volumeMuse, 50);  // unreadable: the default
    EXPECT_TRUE(s.muse);
    EXPECT_TRUE(s.mute);
}

}  // namespace
