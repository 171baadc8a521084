#pragma once

#include "emulator/Machine.h"
#include "host/config/Settings.h"

namespace frontend {

// What the configuration keeps of a machine's own doing, for both front ends; call it once,
// right after the machine is made and before its settings are first applied. A configuration
// that names no sound device (a fresh installation) gets the default output device, as the Sound
// settings page does when it loads, so the machine is heard at once; and the SD-ROM module's
// current folder, when the machine's software changes it, is stored for the next start, as the
// module itself would keep it.
void KeepMachineChoices(Machine& machine, config::Settings& settings);

}  // namespace frontend
