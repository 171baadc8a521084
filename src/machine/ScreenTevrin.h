#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "machine/ChipMemory.h"
#include "machine/PeripheralDevice.h"
#include "machine/ScreenGeometry.h"
#include "machine/ScreenPicture.h"

// The video hardware behind ports CC-CF: the colour register, the scroll register that the
// system PIO drives, the colour-write mode on the green plane, and the host bitmap the planes
// are rendered into. The bitmap has its own mutex because it is rendered and copied on the
// window thread while the emulation thread keeps running.
class ScreenTevrin : public PeripheralDevice {
  public:
    enum Mode : int {
        kModeNone = -1,  // before the first mode change
        kModeNormal = 0,
        kModeDouble = 1,
        kModeFullScreen = 2,
    };
    static constexpr uint8_t kColourWriteMode = 0x08;
    static constexpr uint8_t kRedBit = 0x01;
    static constexpr uint8_t kGreenBit = 0x02;
    static constexpr uint8_t kBlueBit = 0x04;

    // `monitor` matters only for full screen: the monitor the window is on.
    explicit ScreenTevrin(int mode = kModeNone, screen::Rect monitor = {});

    void PortWrite(uint8_t port, uint8_t value, int32_t ticks) override;
    uint8_t PortRead(uint8_t port, int32_t ticks) override;
    void Reset(int32_t ticks) override;
    int DeviceType() const override { return kDeviceScreen; }

    uint8_t ColourRegister() const { return colourRegister_.load(std::memory_order_relaxed); }
    uint8_t ScrollRegister() const { return scrollRegister_.load(std::memory_order_relaxed); }
    void SetScroll(uint8_t value) { scrollRegister_.store(value, std::memory_order_relaxed); }

    // ChipMemory's write hook for the green plane's pages (EA, EB). `page` is the green page's
    // storage; the red plane lies 0x4000 bytes below it and the blue one 0x4000 above.
    bool ColourWriteHook(uint8_t* page, uint16_t offset, uint8_t value);
    // Installs the hook after checking that the three planes are one block of RAM, as the
    // hook's arithmetic needs; false (and nothing installed) when they are not. The screen
    // arms and disarms the hook with its colour-write mode from then on, so the memory must
    // stay until the screen is given another one (or goes).
    bool InstallColourWrite(ChipMemory& memory);

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
    void SetBitmapMode(int mode, screen::Rect monitor = {});
    // SetBitmapMode unless the mode is the current one; false when nothing changed.
    bool ChangeMode(int mode, screen::Rect monitor = {});
    int Mode() const { return mode_; }
    bool InFullScreen() const { return mode_ == kModeFullScreen; }
    bool Doubled() const { return doubled_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    const screen::Rect& Monitor() const { return monitor_; }
    const screen::FullScreenMapping& Mapping() const { return mapping_; }

    // Renders the planes (red plane start; null draws black) into the bitmap under its mutex.
    void Render(const uint8_t* redPlane);
    // Renders afresh into a picture of its own at the bitmap's current size.
    ScreenPicture RenderPicture(const uint8_t* redPlane);

    // The bitmap's palette indices, Width() × Height(), top row first; read them only while
    // holding the lock.
    std::unique_lock<std::mutex> LockPicture() { return std::unique_lock<std::mutex>(mutex_); }
    const uint8_t* Pixels() const { return pixels_.data(); }

  private:
    void ArmColourWrite();

    ChipMemory* memory_ = nullptr;
    std::atomic<uint8_t> colourRegister_{0};
    std::atomic<uint8_t> scrollRegister_{0};
    int mode_ = kModeNone;
    bool doubled_ = false;
    bool colour_ = true;
    int width_ = 0;
    int height_ = 0;
    int border_ = 0;
    bool fullScreenDoubled_ = false;
    int fit_ = screen::kFitFit;
    screen::Rect monitor_;
    screen::FullScreenMapping mapping_;
    std::mutex mutex_;
    std::vector<uint8_t> pixels_;
};
