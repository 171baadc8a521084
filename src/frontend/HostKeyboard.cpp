#include "frontend/HostKeyboard.h"

#include <utility>

#include "emulator/Machine.h"
#include "frontend/KeyTable.h"
#include "frontend/VirtualKeys.h"
#include "host/config/ConfigKeys.h"
#include "host/config/Settings.h"
#include "host/input/JoyKeyTable.h"
#include "machine/JoyOPVS.h"

namespace hostkeys {

KeyMatrix MatrixOf(HostKeyboardState::Snapshot keys, bool changeZY) {
    KeyMatrix matrix;
    if (keys[vk::kMenu]) return matrix;
    if (changeZY) std::swap(keys[vk::Char('Y')], keys[vk::Char('Z')]);
    for (const KeyTableRow& row : keytable::kRows) {
        if (keys[row.virtualKey]) matrix.columns[row.column] |= row.mask;
    }
    if (keys[vk::kBack] && !keys[vk::kLeft]) {
        matrix.columns[keytable::kColumnLeft] |= keytable::kMaskLeft;
    }
    if (keys[vk::kShift]) matrix.modifiers |= KeyMatrix::kShift;
    if (keys[vk::kControl]) matrix.modifiers |= KeyMatrix::kCtrl;
    if (keys[vk::kInsert] && !keys[vk::kControl] && !keys[vk::Char('F')]) {
        matrix.modifiers |= KeyMatrix::kCtrl;
        matrix.columns[keytable::kColumnF] |= keytable::kMaskLetterRow;
    }
    if (keys[vk::kEnd] && !keys[vk::kControl] && !keys[vk::Char('K')]) {
        matrix.modifiers |= KeyMatrix::kCtrl;
        matrix.columns[keytable::kColumnK] |= keytable::kMaskLetterRow;
    }
    return matrix;
}

uint8_t JoyKeySwitches(const JoyConfig& config, const HostKeyboardState& keys) {
    if (config.source != JoyConfig::kKeys) return 0;
    auto down = [&keys](int index) {
        return index >= 0 && index < joykeys::kKeyCount &&
               keys.IsDown(joykeys::kJoyKeys[static_cast<size_t>(index)].virtualKey);
    };
    uint8_t bits = 0;
    if (down(config.left)) bits |= joybits::kLeft;
    if (down(config.right)) bits |= joybits::kRight;
    if (down(config.up)) bits |= joybits::kUp;
    if (down(config.down)) bits |= joybits::kDown;
    if (down(config.fire)) bits |= joybits::kFire;
    return bits;
}

}  // namespace hostkeys

void HostKeyboard::ApplySettings(const config::Settings& settings, config::GroupSet groups) {
    if (groups.Has(config::Group::Keyboard)) SetChangeZY(settings.Get(config::keys::kChangeZy));
}

KeyMatrix HostKeyboard::Scan() {
    const KeyMatrix matrix = focusLost_ ? KeyMatrix{} : hostkeys::MatrixOf(keys_.Read(), changeZY_);
    keys_.ScanDone();
    return matrix;
}

void HostKeyboard::ScanInto(Machine& machine) {
    if (machine.AcceptsKeys()) machine.SetKeyMatrix(Scan());
}

void HostKeyboard::SampleJoystick(Machine& machine) const {
    const JoyOPVS* joystick = machine.Joystick();
    machine.SampleJoystick(joystick != nullptr ? hostkeys::JoyKeySwitches(joystick->Config(), keys_)
                                               : 0);
}
