#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "emulator/Machine.h"
#include "frontend/ScreenMode.h"
#include "host/config/Settings.h"
#include "machine/ScreenGeometry.h"
#include "machine/ScreenPicture.h"

// The machine's picture on the host: the bitmap the video planes are rendered into, its size for
// the mode (100 %, 200 %, full screen), the border round it in a window, the full-screen mapping
// onto the monitor and the colour or grey profile. The window paints the bitmap; the headless
// runner only takes pictures. The bitmap has its own mutex because it is rendered and copied on
// the window thread while the emulation thread keeps running.
class ScreenPresenter {
  public:
    // `monitor` matters only for full screen: the monitor the window is on.
    explicit ScreenPresenter(ScreenMode mode = ScreenMode::None, screen::Rect monitor = {});

    // The presentation's settings groups: colour profile, border, full-screen mapping. Other
    // groups are the machine's and are ignored here.
    void ApplySettings(const config::Settings& settings, config::GroupSet groups);

    void SetColourProfile(bool colour) { colour_ = colour; }
    bool ColourProfile() const { return colour_; }
    void SetBorder(int pixels) { border_ = pixels > 0 ? pixels : 0; }
    int Border() const { return border_; }
    // Full-screen settings take effect the next time full screen is entered.
    void SetFullScreenFit(int fit);
    int FullScreenFit() const { return fit_; }
    void SetFullScreenDoubled(bool doubled) { fullScreenDoubled_ = doubled; }
    bool FullScreenDoubled() const { return fullScreenDoubled_; }

    // Resizes the bitmap for the mode; entering full screen also maps it onto `monitor`.
    void SetBitmapMode(ScreenMode mode, screen::Rect monitor = {});
    // SetBitmapMode unless the mode is the current one; false when nothing changed.
    bool ChangeMode(ScreenMode mode, screen::Rect monitor = {});
    ScreenMode Mode() const { return mode_; }
    bool InFullScreen() const { return mode_ == ScreenMode::FullScreen; }
    bool Doubled() const { return doubled_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    const screen::Rect& Monitor() const { return monitor_; }
    const screen::FullScreenMapping& Mapping() const { return mapping_; }

    // Renders the planes (red plane start; null draws black), top row `scroll`, into the bitmap
    // under its mutex.
    void Render(const uint8_t* redPlane, uint8_t scroll);
    // The machine's picture into the bitmap, between two periods of its run loop; nothing while
    // the program shuts down.
    void Render(Machine& machine);
    // Renders afresh into a picture of its own at the bitmap's current size.
    ScreenPicture RenderPicture(const uint8_t* redPlane, uint8_t scroll) const;
    ScreenPicture Picture(Machine& machine) const;

    // The bitmap's palette indices, Width() × Height(), top row first; read them only while
    // holding the lock.
    std::unique_lock<std::mutex> LockPicture() const {
        return std::unique_lock<std::mutex>(mutex_);
    }
    const uint8_t* Pixels() const { return pixels_.data(); }

  private:
    ScreenMode mode_ = ScreenMode::None;
    bool doubled_ = false;
    bool colour_ = true;
    int width_ = 0;
    int height_ = 0;
    int border_ = 0;
    bool fullScreenDoubled_ = false;
    int fit_ = screen::kFitFit;
    screen::Rect monitor_;
    screen::FullScreenMapping mapping_;
    mutable std::mutex mutex_;
    std::vector<uint8_t> pixels_;
};
