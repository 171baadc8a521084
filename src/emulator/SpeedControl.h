#pragma once

#include <cstdint>
#include <string>

// The emulation speed: a factor of the machine's 2 MHz, changed in steps from the menu.
namespace speed {

inline constexpr int32_t kTicksPerPeriod = 4000;  // 2 ms of machine time at 2 MHz
inline constexpr int kPeriodMs = 2;
inline constexpr int kPeriodMicros = 2000;
// The timer wakes once for this many periods (20 ms at normal speed, one frame): nothing the
// machine meets from outside needs finer steps (the window samples keys and the joystick every
// 20 ms, and the latch holds a press that meets its release before a period; the sound ring
// holds 80 ms, 60 after a device buffer is taken), and each wake-up costs the host more than
// the periods it runs at a prompt. The periods keep their own budgets and sound blocks, so
// emulated time is unchanged.
inline constexpr int kPeriodsPerWake = 10;
// While the audio device paces the machine the periods come 10 % early: the ring fills, and the
// periods it has no room for are skipped, so that the device's clock and not the host's timer
// decides the pace. Without the surplus the ring
// would drain and the device hear held frames; 10 % covers a host too busy for one period in
// ten.
inline constexpr int kPacedPeriodMicros = 1800;
// Once the host has kept the run loop from its periods long enough to half empty the ring, the
// periods come twice as often until it is refilled (80 ms of emulation in some 80 ms) rather
// than over most of a second in which the next delay would leave the device a hold.
inline constexpr int kCatchUpPeriodMicros = 1000;
inline constexpr double kSlowest = 0.25;

// Ticks executed per 2 ms period: trunc(4000 × speed).
int32_t PeriodBudget(double speed);

// The next speed for a menu step: +1 faster, 0 normal, -1 slower. Faster goes 0.5, 1, then up
// in whole steps without limit; slower comes down in whole steps to 1, then 0.5, then 0.25.
double Step(double current, int direction);

// "0.50x" below normal speed, "3x" from normal speed up.
std::string Label(double speed);

}  // namespace speed
