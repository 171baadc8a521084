#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "machine/ChipPIO8255.h"

class IfGPIO;

// The joystick's switches as the state byte holds them; the interface's lines are active low.
namespace joybits {
inline constexpr uint8_t kFire = 0x01;
inline constexpr uint8_t kUp = 0x02;
inline constexpr uint8_t kDown = 0x04;
inline constexpr uint8_t kLeft = 0x08;
inline constexpr uint8_t kRight = 0x10;
}  // namespace joybits

// Where the five switches come from, and which keys or controller parts stand for them.
struct JoyConfig {
    enum Source : int { kNone = -1, kKeys = 0, kAxes = 1, kHat = 2, kButtons = 3 };
    int source = kNone;
    // Keys: a host key number the front end knows (it reads the keys and hands over the
    // switches they hold); buttons: a button number 0..31; axes and hat
    // use only `fire` (a button number). -1: unassigned.
    int left = -1, right = -1, up = -1, down = -1, fire = -1;
    int hat = -1;          // hat switch 0..3 for the hat source
    int sensitivity = 60;  // the axes' dead zone, percent of full deflection
    int device = -1;       // index into the host's controller list
};

// One reading of a game controller, in the units the joystick rules are written for.
struct JoyControllerState {
    static constexpr uint32_t kHatCentred = 0xFFFF;
    int32_t x = 0, y = 0;  // -128..128
    std::array<uint32_t, 4> hats{kHatCentred, kHatCentred, kHatCentred, kHatCentred};
    std::array<uint8_t, 32> buttons{};  // high bit: pressed
};

// An opened host game controller. Acquire starts delivering readings, Unacquire stops until the
// next Acquire; Read gives false while nothing new has come since the last reading.
class JoyController {
  public:
    virtual ~JoyController() = default;
    virtual bool Acquire() = 0;
    virtual void Unacquire() = 0;
    virtual bool Read(JoyControllerState& state) = 0;
};

// Opens controller number `device` of the host's list, null when that fails.
class JoyControllerHost {
  public:
    virtual ~JoyControllerHost() = default;
    virtual std::unique_ptr<JoyController> OpenController(int device) = 0;
};

// The joystick interface on the general-purpose port: while PC4 is 1 its port A pins carry the
// switches (a pressed switch pulls its line low), otherwise they float high. The window thread
// samples the host every 20 ms; the run loop reads the latched byte whenever port A is read, so a
// read may see the previous sample, as on the board.
class JoyOPVS {
  public:
    // `host` may be null (no controllers).
    JoyOPVS(IfGPIO& port, const JoyConfig& config, JoyControllerHost* host);
    ~JoyOPVS();
    JoyOPVS(const JoyOPVS&) = delete;
    JoyOPVS& operator=(const JoyOPVS&) = delete;

    // The machine pauses: the controller stops delivering (and with `release` is let go) and
    // sampling stops until Open.
    void Close(bool release);
    void Open();
    // `keySwitches`: the switches the configured keys hold now, for the key source (the keys
    // belong to the host, which reads them).
    void Sample(uint8_t keySwitches);
    // Sample in two halves: reading the source (false when it gave nothing new) and latching
    // the switches (the run loop does that between periods, so that their time is exact).
    bool ReadSource(uint8_t keySwitches, uint8_t& bits);
    void Latch(uint8_t bits) { state_.store(bits, std::memory_order_relaxed); }

    uint8_t State() const { return state_.load(std::memory_order_relaxed); }
    bool ControllerOpen() const { return controller_ != nullptr; }
    const JoyConfig& Config() const { return config_; }

  private:
    void OnPortARead(int32_t ticks);

    IfGPIO& port_;
    const JoyConfig& config_;
    JoyControllerHost* host_;
    ChipPIO8255::ReadNotify previousRead_;
    std::unique_ptr<JoyController> controller_;
    bool acquired_ = false;
    bool busy_ = true;
    // Written by the window thread's samples, read by the run loop's port reads; a read may see
    // the previous sample, never a torn one.
    std::atomic<uint8_t> state_{0};
};

namespace joyrules {
// The direction bits of an octant clockwise from up (0..7); none for anything else.
uint8_t OctantBits(int octant);
// The octant of a stick position (y positive up), or -1 inside the dead zone.
int AxesOctant(int32_t x, int32_t y, int sensitivity);
// The octant of a hat value in hundredths of a degree, -1 when centred.
int HatOctant(uint32_t value);
// The state byte a controller reading gives under `config` (sources 1 to 3).
uint8_t ControllerBits(const JoyConfig& config, const JoyControllerState& reading);
}  // namespace joyrules
