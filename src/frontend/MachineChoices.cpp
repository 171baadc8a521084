#include "frontend/MachineChoices.h"

#include "host/audio/SoundConfig.h"

namespace frontend {

void KeepMachineChoices(Machine& machine, config::Settings& settings) {
    if (machine.AudioAvailable()) soundconfig::SelectDevice(settings);
    machine.SetSdRomFolderSink([&settings](const std::string& folderUtf8) {
        settings.Set(config::keys::kSdRomCurrentFolder, folderUtf8);
    });
}

}  // namespace frontend
