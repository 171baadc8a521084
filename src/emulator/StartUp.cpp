#include "emulator/StartUp.h"

#include "host/lang/Language.h"

void StartUp(Machine& machine, const StartUpHooks& hooks) {
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
    if (hooks.beforeRun) hooks.beforeRun();
    machine.SetPaused(false);
}
