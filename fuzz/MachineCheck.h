#pragma once

#include <string_view>

namespace fuzzcheck {

// The whole machine running a hostile program: the input is a short script of what comes from
// outside and a ROM image (layout in MachineCheck.cpp). The machine runs with a sound stream
// that takes every block, the SD-ROM module on a card folder made afresh, the Muse, the
// joystick, the cassette recorder and typed keys as the script says. A machine fault ends the
// run and is no finding; the rule broken is: the machine stopped moving on, or something beside
// the card (the ROM file, the files the card's links point at) changed. nullptr when none.
const char* CheckMachine(std::string_view bytes);

}  // namespace fuzzcheck
