#pragma once

#include <atomic>
#include <cstdint>

#include "machine/ChipMemory.h"
#include "machine/PeripheralDevice.h"

class StateArchive;
class StateReader;
class StateWriter;

// The video hardware behind ports CC-CF: the colour register, the scroll register that the
// system PIO drives, and the colour-write mode on the green plane. How the planes reach the
// host's screen is the front end's business.
class ScreenTevrin : public PeripheralDevice {
  public:
    static constexpr uint8_t kColourWriteMode = 0x08;
    static constexpr uint8_t kRedBit = 0x01;
    static constexpr uint8_t kGreenBit = 0x02;
    static constexpr uint8_t kBlueBit = 0x04;

    void PortWrite(uint8_t port, uint8_t value, int32_t ticks) override;
    uint8_t PortRead(uint8_t port, int32_t ticks) override;
    void Reset(int32_t ticks) override;
    int DeviceType() const override { return kDeviceScreen; }
    // The colour registers arm and disarm the colour-write hook.
    uint8_t PortReach() const override { return kReachExecution; }

    // The state that decides the future, for snapshots; false for a malformed stream.
    void SaveState(StateWriter& out) const;
    bool LoadState(StateReader& in);
    void Serialize(StateArchive& a);  // the fields both name, once

    // Read by the window thread while the machine runs; each is one byte written whole.
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

  private:
    void ArmColourWrite();

    ChipMemory* memory_ = nullptr;
    std::atomic<uint8_t> colourRegister_{0};
    std::atomic<uint8_t> scrollRegister_{0};
};
