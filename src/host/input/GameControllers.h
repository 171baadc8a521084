#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "machine/JoyOPVS.h"

namespace input {

using ControllerId = std::array<uint8_t, 16>;

// The identifier as the configuration stores it: the first 32-bit part, the two 16-bit parts
// (each read little-endian from the identifier's bytes) and the last eight bytes, in upper-case
// hexadecimal, comma-separated.
std::string ControllerIdText(const ControllerId& id);
// Exactly that form, all eleven fields; nothing else.
std::optional<ControllerId> ParseControllerIdText(const std::string& text);

struct JoyDevice {
    ControllerId id{};
    std::string name;
};

// What a controller offers the joystick dialog: the parts that may stand for the switches.
struct ControllerParts {
    bool hasX = false, hasY = false;
    int hats = 0;     // 0..4
    int buttons = 0;  // 0..32
};

// The host's game controllers through SDL2's joystick API. SDL starts on the first use and stops
// with this object; without it the list stays empty and the key source still works. Use it from
// one thread (the window's).
class GameControllers : public JoyControllerHost {
  public:
    GameControllers();
    ~GameControllers() override;
    GameControllers(const GameControllers&) = delete;
    GameControllers& operator=(const GameControllers&) = delete;

    // Rebuilds the list of attached controllers.
    void EnumerateControllers();
    const std::vector<JoyDevice>& Devices() const { return devices_; }
    // The list index of the controller with this identifier, -1 when none is attached.
    int Find(const ControllerId& id) const;

    std::unique_ptr<JoyController> OpenController(int device) override;
    // The parts of list entry `device`, opened briefly; nothing when it cannot be opened.
    std::optional<ControllerParts> Parts(int device);

  private:
    bool Start();
    // The SDL device index of list entry `device`, -1 when it has gone.
    int SdlIndex(int device) const;

    bool started_ = false;
    bool failed_ = false;
    std::vector<JoyDevice> devices_;
    std::vector<int32_t> instanceIds_;  // SDL's per-attachment ids, beside devices_
};

// Scaling of SDL's readings to the units the joystick rules use.
int32_t ScaleAxis(int16_t value);        // -32768..32767 to -128..128
uint32_t HatHundredths(uint8_t sdlHat);  // direction bits to hundredths of a degree

}  // namespace input
