#pragma once

#include <atomic>

// Set once when the program is closing (or its configuration is unusable); every loop and
// callback of the emulation returns at once when it is set, and every wait gives up.
extern std::atomic<bool> ShuttingDown;
