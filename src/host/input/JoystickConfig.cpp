#include "host/input/JoystickConfig.h"

#include "host/input/JoyKeyTable.h"

namespace input {

namespace {

using config::JoystickSource;
namespace keys = config::keys;

int SourceOf(JoystickSource stored) {
    switch (stored) {
        case JoystickSource::Keys: return JoyConfig::kKeys;
        case JoystickSource::Axes: return JoyConfig::kAxes;
        case JoystickSource::Pov: return JoyConfig::kHat;
        case JoystickSource::Buttons: return JoyConfig::kButtons;
        default: return JoyConfig::kNone;
    }
}

JoystickSource StoredOf(int source) {
    switch (source) {
        case JoyConfig::kKeys: return JoystickSource::Keys;
        case JoyConfig::kAxes: return JoystickSource::Axes;
        case JoyConfig::kHat: return JoystickSource::Pov;
        case JoyConfig::kButtons: return JoystickSource::Buttons;
        default: return JoystickSource::None;
    }
}

bool ControllerSource(int source) {
    return source >= JoyConfig::kAxes && source <= JoyConfig::kButtons;
}

}  // namespace

JoyConfig ReadJoystickConfig(const config::Settings& settings, GameControllers& controllers) {
    controllers.EnumerateControllers();
    JoyConfig joy;
    joy.source = SourceOf(settings.Get(keys::kJoystickType));
    joy.left = settings.Get(keys::kJoystickLeft);
    joy.right = settings.Get(keys::kJoystickRight);
    joy.up = settings.Get(keys::kJoystickUp);
    joy.down = settings.Get(keys::kJoystickDown);
    joy.fire = settings.Get(keys::kJoystickFire);
    joy.hat = settings.Get(keys::kJoystickPov);
    joy.sensitivity = settings.Get(keys::kJoystickSensitivity);
    const auto id = ParseControllerIdText(settings.Get(keys::kJoystickGuid));
    const int found = id ? controllers.Find(*id) : -1;
    if (found >= 0) {
        joy.device = found;
    } else if (joy.source != JoyConfig::kKeys) {
        joy = JoyConfig{};
    }
    return joy;
}

void WriteJoystickConfig(config::Settings& settings, const JoyConfig& joy,
                         const GameControllers& controllers) {
    settings.Set(keys::kJoystickType, StoredOf(joy.source));
    const auto& devices = controllers.Devices();
    const bool listed = joy.device >= 0 && joy.device < static_cast<int>(devices.size());
    settings.Set(keys::kJoystickGuid,
                 ControllerSource(joy.source) && listed
                     ? ControllerIdText(devices[static_cast<size_t>(joy.device)].id)
                     : std::string());
    settings.Set(keys::kJoystickLeft, joy.left);
    settings.Set(keys::kJoystickRight, joy.right);
    settings.Set(keys::kJoystickUp, joy.up);
    settings.Set(keys::kJoystickDown, joy.down);
    settings.Set(keys::kJoystickFire, joy.fire);
    settings.Set(keys::kJoystickSensitivity, joy.sensitivity);
    settings.Set(keys::kJoystickPov, joy.hat);
    settings.Set(keys::kJoystickConnected, true);
}

std::string JoystickDescription(const JoyConfig& joy, const GameControllers& controllers) {
    if (joy.source == JoyConfig::kKeys) {
        std::string text;
        for (int index : {joy.left, joy.right, joy.up, joy.down, joy.fire}) {
            if (!text.empty()) text += ", ";
            text += joykeys::KeyName(index);
        }
        return text;
    }
    const auto& devices = controllers.Devices();
    if (ControllerSource(joy.source) && joy.device >= 0 &&
        joy.device < static_cast<int>(devices.size())) {
        return devices[static_cast<size_t>(joy.device)].name;
    }
    return "...";
}

}  // namespace input
