#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "sound/SoundTestEnvironment.h"
#include "support/SignalAnalysis.h"
#include "support/TempFolder.h"

namespace {

// The whole program, as a user starts it without a window: on a fresh configuration it picks
// the default sound device (here ALSA's default made a raw file), and the built-in ROM's
// start-up beep, about 1 kHz for 100 ms, is in what the device was given.
TEST(RomBeep, StartUpBeepOfTheBuiltInRomReachesTheDefaultDevice) {
    testing_support::TempFolder home;
    ASSERT_TRUE(home.Ok());
    const std::filesystem::path played = home.Dir() / "played.raw";
    soundtest::WriteFile(home.Dir() / ".asoundrc", soundtest::AlsaFileDeviceConfig(played));
    const std::filesystem::path config = home.Dir() / "TevrinEmu.xml";
    std::filesystem::copy_file(TEVRIN_DELIVERED_CONFIG, config);

    const std::string command = "HOME='" + home.Dir().string() + "' XDG_CONFIG_HOME='" +
                                (home.Dir() / ".config").string() + "' '" + TEVRIN_BIN_DIR +
                                "/tevrinemu' --config '" + config.string() +
                                "' --headless --speed 1 --run-ms 500 >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    std::vector<int16_t> samples = soundtest::ReadSamples(played);
    ASSERT_FALSE(samples.empty());
    std::vector<double> left = waveform::Side(samples, 0);
    // The file device has no clock: it takes frames faster than the machine makes them and gets
    // the held frame repeated in between, so the beep arrives in block-sized pieces among long
    // constant runs. Its half periods are the short gaps between level changes: at 1 kHz,
    // 22 samples; 100 ms of it gives some 150 of them within the pieces.
    std::vector<size_t> gaps;
    size_t previous = 0;
    for (size_t i = 1; i < left.size(); ++i) {
        if (left[i] == left[i - 1]) continue;
        if (previous != 0 && i - previous < 60) gaps.push_back(i - previous);
        previous = i;
    }
    ASSERT_GT(gaps.size(), 100u) << "no tone found";
    EXPECT_LT(gaps.size(), 260u) << "longer than the start-up beep";
    std::nth_element(gaps.begin(), gaps.begin() + static_cast<long>(gaps.size() / 2), gaps.end());
    const double halfPeriod = static_cast<double>(gaps[gaps.size() / 2]);
    EXPECT_NEAR(44100.0 / (2.0 * halfPeriod), 1000.0, 50.0);
}

}  // namespace
