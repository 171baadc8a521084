#pragma once

#include <string>

#include "host/config/Settings.h"
#include "host/input/GameControllers.h"
#include "machine/JoyOPVS.h"

namespace input {

// The joystick record from Controls/Joystick. The controller list is refreshed first; a
// configured controller that is not attached (or an identifier that does not read) leaves no
// source unless the keys are the source.
JoyConfig ReadJoystickConfig(const config::Settings& settings, GameControllers& controllers);

// Writes the record as the dialog's confirmation does, `connected` included. The identifier is
// that of list entry `device` for the controller sources, else empty.
void WriteJoystickConfig(config::Settings& settings, const JoyConfig& joy,
                         const GameControllers& controllers);

// The text beside the settings page's Joystick button: the five keys (left, right, up, down,
// fire), the controller's name, or "..." for no source.
std::string JoystickDescription(const JoyConfig& joy, const GameControllers& controllers);

}  // namespace input
