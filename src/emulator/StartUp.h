#pragma once

#include <functional>
#include <string_view>

#include "emulator/Machine.h"

// The first start of a machine, the same for the window and the headless runner: the front
// end's own settings, the language, every settings group applied (which builds the machine), a
// reset, the first run. The configuration is open already: the machine was made from it.
struct StartUpHooks {
    // Reads what only the front end keeps (the window's size and place, its options).
    std::function<void()> configure;
    // Makes the configured language active; empty: lang::LoadLanguageFile.
    std::function<void(std::string_view language)> loadLanguage;
    // The machine has applied these groups; the front end follows (its picture, its icons).
    std::function<void(config::GroupSet groups)> applied;
    // The last step before the machine first runs.
    std::function<void()> beforeRun;
};

// False when the main ROM file could not be read: the machine is then built but left paused
// (and beforeRun not called); Machine::MainRomRead says why.
bool StartUp(Machine& machine, const StartUpHooks& hooks);
