#include "emulator/StartUp.h"

#include "host/lang/Language.h"

bool StartUp(Machine& machine, const StartUpHooks& hooks) {
    if (hooks.configure) hooks.configure();
    const std::string language = machine.Settings().Get(config::keys::kLanguage);
    if (hooks.loadLanguage) {
        hooks.loadLanguage(language);
    } else {
        lang::LoadLanguageFile(language);
    }
    const config::GroupSet all = config::GroupSet::All();
    machine.ApplySettings(all);
    if (hooks.applied) hooks.applied(all);
    machine.WarmReset();
    // A machine with no ROM would only run into a fault and stop again at once: it waits,
    // paused, for the front end to say why and for the user to choose another ROM.
    if (!machine.HasMainRom()) {
        machine.SetPaused(true);
        return false;
    }
    if (hooks.beforeRun) hooks.beforeRun();
    machine.SetPaused(false);
    return true;
}
