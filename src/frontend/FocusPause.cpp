#include "frontend/FocusPause.h"

bool FocusPause::Deactivated(bool optionOn, bool running) {
    if (!active_) return false;
    active_ = false;
    resume_ = optionOn && running;
    return resume_;
}

bool FocusPause::Activated() {
    if (active_) return false;
    active_ = true;
    const bool resume = resume_;
    resume_ = false;
    return resume;
}
