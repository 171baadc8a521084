#include "frontend/ScreenPresenter.h"

#include "machine/ScreenRenderer.h"

ScreenPresenter::ScreenPresenter(ScreenMode mode, screen::Rect monitor) {
    SetBitmapMode(mode, monitor);
}

void ScreenPresenter::ApplySettings(const config::Settings& settings, config::GroupSet groups) {
    using config::Group;
    if (groups.Has(Group::ColourProfile)) {
        SetColourProfile(settings.Get(config::keys::kColorProfile) !=
                         config::ColorProfile::GreyScale);
    }
    if (groups.Has(Group::Border)) SetBorder(settings.Get(config::keys::kScreenBorder));
    if (groups.Has(Group::FullScreen)) {
        SetFullScreenFit(settings.Get(config::keys::kFullScreenFit));
        SetFullScreenDoubled(settings.Get(config::keys::kFullScreenSize) ==
                             config::FullScreenSize::Size200);
    }
}

void ScreenPresenter::SetFullScreenFit(int fit) {
    fit_ = (fit >= screen::kFitFill && fit <= screen::kFitCentre) ? fit : screen::kFitFit;
}

void ScreenPresenter::SetBitmapMode(ScreenMode mode, screen::Rect monitor) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (mode < ScreenMode::None || mode > ScreenMode::FullScreen) mode = ScreenMode::Normal;
    mode_ = mode;
    doubled_ = mode == ScreenMode::Double || (mode == ScreenMode::FullScreen && fullScreenDoubled_);
    width_ = doubled_ ? 2 * screen::kVideoSize : screen::kVideoSize;
    height_ = width_;
    pixels_.assign(static_cast<size_t>(width_) * height_, 0);
    if (mode == ScreenMode::FullScreen) {
        monitor_ = monitor;
        mapping_ = screen::MapFullScreen(monitor.width, monitor.height, width_, height_, fit_);
    }
}

bool ScreenPresenter::ChangeMode(ScreenMode mode, screen::Rect monitor) {
    if (mode == mode_) return false;
    SetBitmapMode(mode, monitor);
    return true;
}

void ScreenPresenter::Render(const uint8_t* redPlane, uint8_t scroll) {
    std::lock_guard<std::mutex> lock(mutex_);
    screen::RenderPlanes(redPlane, scroll, !colour_, doubled_, pixels_.data());
}

void ScreenPresenter::Render(Machine& machine) {
    if (ShuttingDown) return;
    // Between periods, so the picture never shows a half-written byte; a period lasts well
    // under 2 ms.
    const Machine::HeldVideo held = machine.HoldVideo();
    Render(held.video.redPlane, held.video.scrollRegister);
}

ScreenPicture ScreenPresenter::RenderPicture(const uint8_t* redPlane, uint8_t scroll) const {
    std::lock_guard<std::mutex> lock(mutex_);
    ScreenPicture picture;
    picture.width = width_;
    picture.height = height_;
    picture.pixels.resize(static_cast<size_t>(width_) * height_);
    screen::RenderPlanes(redPlane, scroll, !colour_, doubled_, picture.pixels.data());
    return picture;
}

ScreenPicture ScreenPresenter::Picture(Machine& machine) const {
    const Machine::HeldVideo held = machine.HoldVideo();
    return RenderPicture(held.video.redPlane, held.video.scrollRegister);
}
