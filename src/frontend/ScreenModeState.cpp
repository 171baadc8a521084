#include "frontend/ScreenModeState.h"

ScreenModeState::ScreenModeState(config::ScreenSize stored)
    : windowedMode_(stored == config::ScreenSize::Normal ? kNormal : kDouble) {
    mode_ = windowedMode_;
    checked_ = windowedMode_;
}

ScreenModeState::Change ScreenModeState::Select(int tag) {
    Change change;
    switch (tag) {
        case kNormal:
        case kDouble:
            checked_ = tag;
            if (mode_ != tag) change = Change{true, tag, false};
            break;
        case kFullScreen:
            if (mode_ == kFullScreen) {
                checked_ = windowedMode_;
                change = Change{true, windowedMode_, false};
            } else {
                checked_ = kFullScreen;
                change = Change{true, kFullScreen, true};
            }
            break;
        default: break;
    }
    return change;
}

void ScreenModeState::Entered(int mode) {
    if (mode < kNormal || mode > kFullScreen) return;
    mode_ = mode;
    if (mode != kFullScreen) windowedMode_ = mode;
    checked_ = mode;
}

config::ScreenSize ScreenModeState::StoredSize() const {
    return mode_ == kDouble ? config::ScreenSize::Double : config::ScreenSize::Normal;
}
