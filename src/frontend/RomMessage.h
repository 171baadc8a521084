#pragma once

#include <optional>
#include <string>

#include "emulator/Machine.h"

// What the user is told about the main ROM file after a build (from the language file's
// FormMain section): why it could not be read, or that it was short and the rest reads FF.
// Empty when the file was complete.
struct RomMessage {
    bool unreadable = false;
    std::string text;
};
RomMessage MainRomMessage(const Machine& machine);

// Why a ROM file the user chose cannot be the main ROM (it cannot be read, is no regular file
// or is empty), naming the file; nothing when it can.
std::optional<std::string> RomFileRefusal(const std::string& path);
