#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "frontend/HostKeyboard.h"
#include "host/input/JoyKeyTable.h"
#include "machine/ChipCpu8080.h"
#include "machine/ChipMemory.h"
#include "machine/IfGPIO.h"
#include "machine/JoyOPVS.h"
#include "machine/MemoryOrganizer.h"

namespace {

// A controller whose next reading the test sets; it counts how it is driven.
class FakeController : public JoyController {
  public:
    bool Acquire() override {
        ++acquires;
        return acquireWorks;
    }
    void Unacquire() override { ++unacquires; }
    bool Read(JoyControllerState& state) override {
        if (!fresh) return false;
        state = reading;
        fresh = false;
        return true;
    }
    void Set(const JoyControllerState& next) {
        reading = next;
        fresh = true;
    }
    JoyControllerState reading;
    bool fresh = false;
    bool acquireWorks = true;
    int acquires = 0, unacquires = 0;
};

class FakeHost : public JoyControllerHost {
  public:
    std::unique_ptr<JoyController> OpenController(int device) override {
        ++opens;
        if (device != 0 || !available) return nullptr;
        auto controller = std::make_unique<FakeController>();
        last = controller.get();
        return controller;
    }
    FakeController* last = nullptr;
    bool available = true;
    int opens = 0;
};

class JoyOPVSTest : public ::testing::Test {
  protected:
    JoyOPVSTest() : memory(organizer), cpu(memory), gpio(&cpu) {
        gpio.Reset(0);
        gpio.PortWrite(0xC7, 0x90, 0);  // port A input, B and C output
        gpio.PortWrite(0xC6, 0x10, 0);  // PC4: the joystick is selected
    }
    uint8_t ReadPortA() { return gpio.PortRead(0xC4, 0); }

    MemoryOrganizer organizer;
    ChipMemory memory;
    ChipCpu8080 cpu;
    IfGPIO gpio;
    HostKeyboardState keyboard;
    FakeHost host;
    JoyConfig config;
};

constexpr int kKeyA = 0, kKeyD = 3, kKeyW = 22, kKeyS = 18, kKeySpace = 37;

TEST_F(JoyOPVSTest, KeysReachThePortOnlyWhilePc4IsHigh) {
    config.source = JoyConfig::kKeys;
    config.left = kKeyA;
    config.right = kKeyD;
    config.up = kKeyW;
    config.down = kKeyS;
    config.fire = kKeySpace;
    JoyOPVS joy(gpio, config, &host);
    EXPECT_EQ(host.opens, 0);  // no controller for the keys

    keyboard.Press('A');
    keyboard.Press('D');
    keyboard.Press(' ');
    joy.Sample(hostkeys::JoyKeySwitches(config, keyboard));
    keyboard.ScanDone();  // as the key matrix's scan does before the joystick samples
    // Left, right and fire; the board's inverter on port A shows pressed switches as ones.
    EXPECT_EQ(ReadPortA(), 0x19);
    gpio.PortWrite(0xC6, 0x00, 0);
    EXPECT_EQ(ReadPortA(), 0xFF);
    gpio.PortWrite(0xC6, 0x10, 0);

    keyboard.Release('A');
    keyboard.Release('D');
    keyboard.Release(' ');
    keyboard.Press('W');
    keyboard.Press('S');
    joy.Sample(hostkeys::JoyKeySwitches(config, keyboard));
    EXPECT_EQ(ReadPortA(), 0x06);

    // An unassigned switch reads released whatever is pressed.
    config.up = -1;
    joy.Sample(hostkeys::JoyKeySwitches(config, keyboard));
    EXPECT_EQ(ReadPortA(), 0x04);
}

TEST(JoyRules, AxesOctantsFollowTheStickClockwiseFromUp) {
    auto at = [](double degrees, double length) {
        const double rad = degrees * std::numbers::pi / 180.0;
        return joyrules::AxesOctant(static_cast<int32_t>(std::lround(std::sin(rad) * length)),
                                    static_cast<int32_t>(std::lround(std::cos(rad) * length)), 50);
    };
    EXPECT_EQ(at(0, 128), 0);
    EXPECT_EQ(at(10, 128), 0);   // a little right of up is still up
    EXPECT_EQ(at(-10, 128), 7);  // a little left of up is left and up
    EXPECT_EQ(at(90, 128), 2);
    EXPECT_EQ(at(135 + 10, 128), 3);
    EXPECT_EQ(at(180 + 10, 128), 4);
    EXPECT_EQ(at(270, 128), 6);
    // 64 of 128 is exactly 50 %; 63 is inside the dead zone.
    EXPECT_EQ(joyrules::AxesOctant(0, 64, 50), 0);
    EXPECT_EQ(joyrules::AxesOctant(0, 63, 50), -1);
    EXPECT_EQ(joyrules::AxesOctant(0, 0, 0), -1);

    const uint8_t expected[] = {0x02, 0x12, 0x10, 0x14, 0x04, 0x0C, 0x08, 0x0A, 0x00};
    for (int octant = 0; octant <= 8; ++octant) {
        EXPECT_EQ(joyrules::OctantBits(octant), expected[octant]) << octant;
    }
    EXPECT_EQ(joyrules::OctantBits(-1), 0);
}

TEST(JoyRules, HatValuesInHundredthsOfADegree) {
    EXPECT_EQ(joyrules::HatOctant(0), 0);
    EXPECT_EQ(joyrules::HatOctant(4500), 1);
    EXPECT_EQ(joyrules::HatOctant(9000), 2);
    EXPECT_EQ(joyrules::HatOctant(31500), 7);
    EXPECT_EQ(joyrules::HatOctant(31501), 8);  // past the last octant: no direction
    EXPECT_EQ(joyrules::OctantBits(joyrules::HatOctant(31501)), 0);
    EXPECT_EQ(joyrules::HatOctant(0xFFFF), -1);
    EXPECT_EQ(joyrules::HatOctant(0xFFFFFFFF), -1);
}

TEST_F(JoyOPVSTest, ControllerSourcesAndTheirFireButton) {
    config.source = JoyConfig::kHat;
    config.hat = 1;
    config.fire = 3;
    config.left = 0;  // ignored by the hat source
    config.device = 0;
    JoyOPVS joy(gpio, config, &host);
    ASSERT_NE(host.last, nullptr);
    EXPECT_EQ(host.last->acquires, 1);

    JoyControllerState reading;
    reading.hats[0] = 0;      // another hat
    reading.hats[1] = 13500;  // right and down
    reading.buttons[0] = 0x80;
    host.last->Set(reading);
    joy.Sample(0);
    EXPECT_EQ(ReadPortA(), 0x14);

    reading.buttons[3] = 0x80;
    reading.hats[1] = JoyControllerState::kHatCentred;
    host.last->Set(reading);
    joy.Sample(0);
    EXPECT_EQ(ReadPortA(), 0x01);
    joy.Sample(0);  // nothing new: the state stays
    EXPECT_EQ(ReadPortA(), 0x01);

    config.source = JoyConfig::kButtons;
    config.left = 0, config.right = 1, config.up = 2, config.down = 31, config.fire = 3;
    reading = {};
    reading.buttons[31] = 0x80;
    reading.buttons[1] = 0x7F;  // only the high bit means pressed
    reading.x = -128;           // the axes count for nothing here
    host.last->Set(reading);
    joy.Sample(0);
    EXPECT_EQ(ReadPortA(), 0x04);

    config.source = JoyConfig::kAxes;
    config.sensitivity = 60;
    config.fire = 2;
    reading = {};
    reading.x = -100;
    reading.y = -100;  // the controller's Y grows downwards: up and left
    reading.buttons[2] = 0x80;
    host.last->Set(reading);
    joy.Sample(0);
    EXPECT_EQ(ReadPortA(), 0x0B);
}

TEST_F(JoyOPVSTest, PauseStopsSamplingAndAMissingControllerLeavesTheSwitches) {
    config.source = JoyConfig::kButtons;
    config.fire = 0;
    config.device = 0;
    {
        JoyOPVS joy(gpio, config, &host);
        FakeController* controller = host.last;
        JoyControllerState reading;
        reading.buttons[0] = 0x80;
        controller->Set(reading);
        joy.Close(false);
        EXPECT_EQ(controller->unacquires, 1);
        joy.Sample(0);
        EXPECT_EQ(joy.State(), 0);  // paused: nothing sampled
        joy.Open();
        EXPECT_EQ(host.opens, 1);  // the same controller, acquired again
        EXPECT_EQ(controller->acquires, 2);
        joy.Sample(0);
        EXPECT_EQ(joy.State(), 0x01);
    }
    // Gone with the interface: port A floats high again.
    EXPECT_EQ(ReadPortA(), 0x00);

    host.available = false;
    JoyOPVS joy(gpio, config, &host);
    EXPECT_FALSE(joy.ControllerOpen());
    joy.Sample(0);
    EXPECT_EQ(ReadPortA(), 0x00);
}

TEST(JoyKeys, TableHoldsTheStoredIndices) {
    EXPECT_EQ(joykeys::kJoyKeys[25].virtualKey, 'Z');
    EXPECT_EQ(joykeys::kJoyKeys[35].virtualKey, '9');
    EXPECT_STREQ(joykeys::kJoyKeys[44].name, "Page Down");
    EXPECT_EQ(joykeys::kJoyKeys[60].virtualKey, 0x7B);
    EXPECT_EQ(joykeys::kJoyKeys[71].virtualKey, 0xDE);
    EXPECT_EQ(joykeys::kJoyKeys[81].virtualKey, 0x69);
    EXPECT_EQ(joykeys::kJoyKeys[86].virtualKey, 0x6E);
    EXPECT_STREQ(joykeys::KeyName(-1), "...");
}

}  // namespace
