#include "machine/JoyOPVS.h"

#include <cmath>
#include <numbers>

#include "machine/IfGPIO.h"

namespace joyrules {

uint8_t OctantBits(int octant) {
    using namespace joybits;
    static constexpr uint8_t kBits[8] = {kUp,   kUp | kRight,  kRight, kRight | kDown,
                                         kDown, kDown | kLeft, kLeft,  kLeft | kUp};
    return octant >= 0 && octant < 8 ? kBits[octant] : 0;
}

int AxesOctant(int32_t x, int32_t y, int sensitivity) {
    const double r = std::sqrt(static_cast<double>(x) * x + static_cast<double>(y) * y);
    const int deflection = static_cast<int>(r / 128.0 * 100.0);
    // A centred stick has no direction even with no dead zone at all.
    if (deflection < sensitivity || r == 0.0) return -1;
    double angle = std::acos(y / r);  // 0 = up, clockwise
    if (x < 0) angle = 2.0 * std::numbers::pi - angle;
    return static_cast<int>(angle * 4.0 / std::numbers::pi);
}

int HatOctant(uint32_t value) {
    if ((value & 0xFFFF) == 0xFFFF) return -1;
    return static_cast<int>((value + 4499) / 4500);
}

namespace {
bool Pressed(const JoyControllerState& reading, int button) {
    return button >= 0 && button < static_cast<int>(reading.buttons.size()) &&
           (reading.buttons[static_cast<size_t>(button)] & 0x80) != 0;
}
}  // namespace

uint8_t ControllerBits(const JoyConfig& config, const JoyControllerState& reading) {
    using namespace joybits;
    uint8_t bits = 0;
    switch (config.source) {
        case JoyConfig::kAxes:
            // The controller's Y grows downwards.
            bits = OctantBits(AxesOctant(reading.x, -reading.y, config.sensitivity));
            break;
        case JoyConfig::kHat:
            if (config.hat >= 0 && config.hat < static_cast<int>(reading.hats.size())) {
                bits = OctantBits(HatOctant(reading.hats[static_cast<size_t>(config.hat)]));
            }
            break;
        case JoyConfig::kButtons:
            if (Pressed(reading, config.left)) bits |= kLeft;
            if (Pressed(reading, config.right)) bits |= kRight;
            if (Pressed(reading, config.up)) bits |= kUp;
            if (Pressed(reading, config.down)) bits |= kDown;
            break;
        default: return 0;
    }
    if (Pressed(reading, config.fire)) bits |= kFire;
    return bits;
}

}  // namespace joyrules

JoyOPVS::JoyOPVS(IfGPIO& port, const JoyConfig& config, JoyControllerHost* host)
    : port_(port), config_(config), host_(host) {
    previousRead_ =
        port_.Chip().SetOnPortARead(ChipPIO8255::ReadNotify::Bind<&JoyOPVS::OnPortARead>(this));
    port_.SetInputs(ChipPIO8255::kPortA, 0xFF);
    Open();
}

JoyOPVS::~JoyOPVS() {
    Close(true);
    port_.Chip().SetOnPortARead(previousRead_);
    port_.SetInputs(ChipPIO8255::kPortA, 0xFF);
}

void JoyOPVS::Close(bool release) {
    busy_ = true;
    if (controller_ != nullptr && acquired_) controller_->Unacquire();
    acquired_ = false;
    if (release) controller_.reset();
}

void JoyOPVS::Open() {
    busy_ = true;
    const bool controllerSource =
        config_.source >= JoyConfig::kAxes && config_.source <= JoyConfig::kButtons;
    if (controllerSource) {
        if (controller_ == nullptr && host_ != nullptr) {
            controller_ = host_->OpenController(config_.device);
        }
        // A controller that cannot be had leaves the switches as they were, without a word.
        if (controller_ == nullptr) return;
        if (!acquired_) {
            acquired_ = controller_->Acquire();
            if (!acquired_) return;
        }
    }
    busy_ = false;
}

void JoyOPVS::Sample(uint8_t keySwitches) {
    uint8_t bits = 0;
    if (ReadSource(keySwitches, bits)) Latch(bits);
}

bool JoyOPVS::ReadSource(uint8_t keySwitches, uint8_t& bits) {
    if (busy_) return false;
    switch (config_.source) {
        case JoyConfig::kKeys:
            bits = keySwitches & (joybits::kFire | joybits::kUp | joybits::kDown | joybits::kLeft |
                                  joybits::kRight);
            return true;
        case JoyConfig::kAxes:
        case JoyConfig::kHat:
        case JoyConfig::kButtons: {
            JoyControllerState reading;
            if (controller_ == nullptr || !acquired_ || !controller_->Read(reading)) return false;
            bits = joyrules::ControllerBits(config_, reading);
            return true;
        }
        default: bits = 0; return true;
    }
}

void JoyOPVS::OnPortARead(int32_t /*ticks*/) {
    const bool selected = (port_.OutputLevels(ChipPIO8255::kPortC) & 0x10) != 0;
    port_.SetInputs(ChipPIO8255::kPortA, selected ? static_cast<uint8_t>(~State()) : 0xFF);
}
