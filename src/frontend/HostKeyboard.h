#pragma once

#include <cstdint>

#include "frontend/HostKeyboardState.h"
#include "host/config/GroupSet.h"
#include "machine/SystemPIO.h"

class Machine;
struct JoyConfig;

namespace config {
class Settings;
}

// The host's keyboard as the machine is shown it: the host keys held (by virtual-key code) and
// the host's rules that make a key matrix of them. Alt belongs to the host's menu shortcuts and a
// window without the focus gets no releases, so either shows the machine no key at all. The host
// layout is American and the machine's German: Y and Z trade places unless the configuration
// says otherwise. Backspace is the machine's Left, and Insert and End, which it lacks, give
// Ctrl+F and Ctrl+K (the editors' insert and end-of-line), unless Ctrl or that letter is down
// already.
class HostKeyboard {
  public:
    HostKeyboardState& Keys() { return keys_; }
    const HostKeyboardState& Keys() const { return keys_; }

    // Focus lost: the machine's keys all read as released until focus returns.
    void SetFocusLost(bool lost) { focusLost_ = lost; }
    bool FocusLost() const { return focusLost_; }
    void SetChangeZY(bool on) { changeZY_ = on; }
    bool ChangeZY() const { return changeZY_; }
    // The keyboard group of the configuration.
    void ApplySettings(const config::Settings& settings, config::GroupSet groups);

    // One keyboard scan: the matrix of the keys shown now; what waited behind a key this scan
    // has seen may follow.
    KeyMatrix Scan();
    // The 20 ms scan for `machine`. While the debugger holds the machine nothing is taken, and
    // the keys wait.
    void ScanInto(Machine& machine);
    // The joystick's sample, with the switches its configured keys hold; on the thread that
    // applies the settings (see Machine::SampleJoystick).
    void SampleJoystick(Machine& machine) const;

  private:
    HostKeyboardState keys_;
    bool focusLost_ = false;
    bool changeZY_ = false;
};

namespace hostkeys {
// The matrix host keys make under the rules above (focus aside).
KeyMatrix MatrixOf(HostKeyboardState::Snapshot keys, bool changeZY);
// The joystick switches the keys of `config` hold (its key numbers index the joystick key
// table); none for another source.
uint8_t JoyKeySwitches(const JoyConfig& config, const HostKeyboardState& keys);
}  // namespace hostkeys
