#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include "host/input/GameControllers.h"
#include "host/input/JoystickConfig.h"
#include "support/MachineFixture.h"

namespace {

TEST(ControllerIdText, WritesThePartsAndReadsOnlyThatForm) {
    input::ControllerId id{0x03, 0x00, 0x6D, 0x04, 0x5E, 0x04, 0x8E, 0x02,
                           0x00, 0x01, 0xA0, 0x0B, 0xC0, 0xDE, 0xF0, 0x0D};
    const std::string text = input::ControllerIdText(id);
    EXPECT_EQ(text, "046D0003,045E,028E,00,01,A0,0B,C0,DE,F0,0D");
    ASSERT_TRUE(input::ParseControllerIdText(text).has_value());
    EXPECT_EQ(*input::ParseControllerIdText(text), id);
    EXPECT_EQ(*input::ParseControllerIdText("46d0003,45e,28e,0,1,a0,b,c0,de,f0,d"), id);

    for (const char* bad : {"", "046D0003,045E,028E,00,01,A0,0B,C0,DE,F0",
                            "046D0003,045E,028E,00,01,A0,0B,C0,DE,F0,0D,",
                            "{046D0003,045E,028E,00,"
                            "01,A0,0B,C0,DE,F0,0D}",
                            "1046D0003,045E,028E,00,01,A0,0B,C0,DE,F0,0D",
                            "046D0003,045E,028E,00,01,A0,0B,C0,DE,F0,0G", "046D0003;045E"}) {
        EXPECT_FALSE(input::ParseControllerIdText(bad).has_value()) << bad;
    }
}

// A machine whose program selects the joystick (PC4 high) and reads port A for ever, and a
// virtual controller the test moves through SDL.
class GameControllerMachine : public MachineFixture {
  protected:
    void SetUp() override {
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
        TestRom rom;
        rom.Code({0x3E, 0x90, 0xD3, 0xC7,    // port A input, B and C output
                  0x3E, 0x10, 0xD3, 0xC6});  // PC4 = 1
        const uint16_t loop = rom.Here();
        rom.Code({0xDB, 0xC4}).Jump(static_cast<uint16_t>(0xF000 + loop));
        ASSERT_NO_FATAL_FAILURE(Build(rom));

        virtualIndex = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 8, 2);
        ASSERT_GE(virtualIndex, 0) << SDL_GetError();
        stick = SDL_JoystickOpen(virtualIndex);
        ASSERT_NE(stick, nullptr) << SDL_GetError();
    }
    void TearDown() override {
        machine.reset();
        if (stick != nullptr) SDL_JoystickClose(stick);
        if (virtualIndex >= 0) SDL_JoystickDetachVirtual(virtualIndex);
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    }

    // Connects the joystick with this source, the virtual controller being the one named.
    void Connect(config::JoystickSource source) {
        input::GameControllers list;
        list.EnumerateControllers();
        ASSERT_FALSE(list.Devices().empty());
        const input::JoyDevice& device = list.Devices().back();
        settings->Set(config::keys::kJoystickType, source);
        settings->Set(config::keys::kJoystickGuid, input::ControllerIdText(device.id));
        settings->Set(config::keys::kJoystickConnected, true);
        machine->ApplySettings({config::Group::Joystick});
        machine->SetPaused(false);
        ASSERT_NE(machine->Joystick(), nullptr);
        ASSERT_TRUE(machine->Joystick()->ControllerOpen());
    }

    uint8_t PortA() {
        machine->SampleJoystick();
        RunPeriods(1);
        return MachineTestAccess::Cpu(*machine).A;
    }

    int virtualIndex = -1;
    SDL_Joystick* stick = nullptr;
};

TEST_F(GameControllerMachine, AxesAndFireReachThePort) {
    settings->Set(config::keys::kJoystickFire, 5);
    settings->Set(config::keys::kJoystickSensitivity, 50);
    ASSERT_NO_FATAL_FAILURE(Connect(config::JoystickSource::Axes));
    EXPECT_EQ(PortA(), 0x00);

    SDL_JoystickSetVirtualAxis(stick, 0, 32767);  // full right
    EXPECT_EQ(PortA(), 0x10);
    SDL_JoystickSetVirtualAxis(stick, 0, 0);
    SDL_JoystickSetVirtualAxis(stick, 1, -32768);  // full up (SDL's Y grows downwards)
    SDL_JoystickSetVirtualButton(stick, 5, SDL_PRESSED);
    EXPECT_EQ(PortA(), 0x03);
    // 16000 of 32767 scales to 62 of 128: 48 %, inside the dead zone.
    SDL_JoystickSetVirtualAxis(stick, 1, 16000);
    SDL_JoystickSetVirtualButton(stick, 5, SDL_RELEASED);
    EXPECT_EQ(PortA(), 0x00);
    SDL_JoystickSetVirtualAxis(stick, 1, 17000);  // 66 of 128: down
    EXPECT_EQ(PortA(), 0x04);

    // Paused, the controller is let go and nothing is sampled; resuming takes it again.
    machine->SetPaused(true);
    SDL_JoystickSetVirtualAxis(stick, 1, 0);
    machine->SampleJoystick();
    EXPECT_EQ(machine->Joystick()->State(), 0x04);
    machine->SetPaused(false);
    EXPECT_EQ(PortA(), 0x00);

    // Disconnected, port A floats (read through the board's inverter).
    settings->Set(config::keys::kJoystickConnected, false);
    machine->ApplySettings({config::Group::Joystick});
    EXPECT_EQ(machine->Joystick(), nullptr);
    EXPECT_EQ(PortA(), 0x00);
}

TEST_F(GameControllerMachine, HatAndButtonsReachThePort) {
    settings->Set(config::keys::kJoystickPov, 1);
    settings->Set(config::keys::kJoystickFire, 0);
    ASSERT_NO_FATAL_FAILURE(Connect(config::JoystickSource::Pov));
    SDL_JoystickSetVirtualHat(stick, 0, SDL_HAT_UP);  // not the configured hat
    SDL_JoystickSetVirtualHat(stick, 1, SDL_HAT_LEFTDOWN);
    EXPECT_EQ(PortA(), 0x0C);
    SDL_JoystickSetVirtualHat(stick, 1, SDL_HAT_CENTERED);
    SDL_JoystickSetVirtualButton(stick, 0, SDL_PRESSED);
    EXPECT_EQ(PortA(), 0x01);

    settings->Set(config::keys::kJoystickLeft, 7);
    settings->Set(config::keys::kJoystickRight, 6);
    settings->Set(config::keys::kJoystickUp, 1);
    settings->Set(config::keys::kJoystickDown, 2);
    settings->Set(config::keys::kJoystickFire, 3);
    ASSERT_NO_FATAL_FAILURE(Connect(config::JoystickSource::Buttons));
    SDL_JoystickSetVirtualButton(stick, 0, SDL_RELEASED);
    SDL_JoystickSetVirtualButton(stick, 7, SDL_PRESSED);
    SDL_JoystickSetVirtualButton(stick, 2, SDL_PRESSED);
    EXPECT_EQ(PortA(), 0x0C);
}

TEST_F(GameControllerMachine, AControllerNoLongerAttachedLeavesNoSource) {
    settings->Set(config::keys::kJoystickType, config::JoystickSource::Buttons);
    settings->Set(config::keys::kJoystickGuid, "00000000,0000,0000,00,00,00,00,00,00,00,01");
    settings->Set(config::keys::kJoystickConnected, true);
    input::GameControllers list;
    const JoyConfig joy = input::ReadJoystickConfig(*settings, list);
    EXPECT_EQ(joy.source, JoyConfig::kNone);
    EXPECT_EQ(input::JoystickDescription(joy, list), "...");

    // The keys need no controller; the description names them.
    settings->Set(config::keys::kJoystickType, config::JoystickSource::Keys);
    settings->Set(config::keys::kJoystickLeft, 46);
    settings->Set(config::keys::kJoystickRight, 48);
    settings->Set(config::keys::kJoystickUp, 45);
    settings->Set(config::keys::kJoystickDown, -1);
    settings->Set(config::keys::kJoystickFire, 37);
    const JoyConfig keys = input::ReadJoystickConfig(*settings, list);
    EXPECT_EQ(keys.source, JoyConfig::kKeys);
    EXPECT_EQ(input::JoystickDescription(keys, list), "Left, Right, Up, ..., Space");
}

}  // namespace
