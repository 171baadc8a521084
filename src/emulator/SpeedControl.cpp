#include "emulator/SpeedControl.h"

#include <cmath>
#include <cstdio>

namespace speed {

int32_t PeriodBudget(double speed) {
    double ticks = std::trunc(static_cast<double>(kTicksPerPeriod) * speed);
    if (!(ticks >= 1.0)) return 1;  // NaN and nonsense run at least a tick
    if (ticks > 1.0e9) return 1000000000;
    return static_cast<int32_t>(ticks);
}

double Step(double current, int direction) {
    if (direction > 0) {
        if (current < 0.5) return 0.5;
        if (current < 1.0) return 1.0;
        return current + 1.0;
    }
    if (direction < 0) {
        if (current > 1.0) return current - 1.0;
        if (current > 0.5) return 0.5;
        return kSlowest;
    }
    return 1.0;
}

std::string Label(double speed) {
    char text[32];
    if (speed < 1.0) {
        std::snprintf(text, sizeof text, "%0.2fx", speed);
    } else {
        std::snprintf(text, sizeof text, "%dx", static_cast<int>(speed));
    }
    return text;
}

}  // namespace speed
