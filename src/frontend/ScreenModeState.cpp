#include "frontend/ScreenModeState.h"

ScreenModeState::ScreenModeState(config::ScreenSize stored)
    : windowedMode_(stored == config::ScreenSize::Normal ? ScreenMode::Normal
                                                         : ScreenMode::Double) {
    mode_ = windowedMode_;
    checked_ = windowedMode_;
}

ScreenModeState::Change ScreenModeState::Select(int tag) {
    Change change;
    const auto mode = static_cast<ScreenMode>(tag);
    switch (mode) {
        case ScreenMode::Normal:
        case ScreenMode::Double:
            checked_ = mode;
            if (mode_ != mode) change = Change{true, mode, false};
            break;
        case ScreenMode::FullScreen:
            if (mode_ == ScreenMode::FullScreen) {
                checked_ = windowedMode_;
                change = Change{true, windowedMode_, false};
            } else {
                checked_ = ScreenMode::FullScreen;
                change = Change{true, ScreenMode::FullScreen, true};
            }
            break;
        default: break;
    }
    return change;
}

void ScreenModeState::Entered(ScreenMode mode) {
    if (mode < ScreenMode::Normal || mode > ScreenMode::FullScreen) return;
    mode_ = mode;
    if (mode != ScreenMode::FullScreen) windowedMode_ = mode;
    checked_ = mode;
}

config::ScreenSize ScreenModeState::StoredSize() const {
    return mode_ == ScreenMode::Double ? config::ScreenSize::Double : config::ScreenSize::Normal;
}
