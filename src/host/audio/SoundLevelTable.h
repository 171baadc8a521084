#pragma once

#include <array>

// The machine's four-bit sound output stage is not linear: level n drives the speaker with this
// share of full scale. The tape signal uses only levels 0 and 15.
inline constexpr std::array<double, 16> kSoundLevelTable{
    0.0,    0.067,  0.1339, 0.1977, 0.2383, 0.3031, 0.3782, 0.443,
    0.5363, 0.6036, 0.6788, 0.7461, 0.7876, 0.8575, 0.9301, 1.0};
