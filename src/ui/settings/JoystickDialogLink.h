#pragma once

#include <string>

class QWidget;

// The joystick dialog as the Controls page of the settings dialog opens it. The dialog itself
// belongs to the joystick; until one is linked the page's Joystick button stays disabled.
class JoystickDialogLink {
  public:
    virtual ~JoystickDialogLink() = default;
    // Shows the dialog modally; true when the user confirmed it.
    virtual bool Execute(QWidget* owner) = 0;
    // What the page shows beside the button: the keys or the controller's name, "..." for none.
    virtual std::string Description() const = 0;
    // Whether the dialog was confirmed or its calibration opened since the last call, which
    // rebuilds the game controller; reading clears it.
    virtual bool TakeChanged() = 0;
};
