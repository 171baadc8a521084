#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "machine/ChipPIO8255.h"
#include "machine/Closure.h"
#include "machine/PeripheralDevice.h"
#include "machine/SoundLevelOutput.h"

class StateArchive;
class StateReader;
class StateWriter;

class IfInterrupt;

// What the keyboard presents to the system 8255: for each of the sixteen columns PC0-PC3 select,
// the rows (PB0-PB5) whose key is down, and the two keys wired past the matrix, Shift to PB7 and
// Ctrl to PB6. A set bit is a key down; the port reads the lines inverted.
struct KeyMatrix {
    static constexpr uint8_t kShift = 0x80, kCtrl = 0x40;
    std::array<uint8_t, 16> columns{};
    uint8_t modifiers = 0;
    bool operator==(const KeyMatrix&) const = default;
};

// The machine's own 8255 on ports C0-C3. Port A sets the screen's scroll register; port B reads
// the keyboard matrix (rows on PB0-PB5, /Ctrl on PB6, /Shift on PB7); PC0-PC3 select the keyboard
// column and drive the 4-bit speaker level, PC4 silences the speaker, PC5 and PC6 acknowledge and
// enable the latched interrupt lines.
class SystemPIO : public PeripheralDevice {
  public:
    using ScrollOutput = Closure<void(uint8_t row)>;

    SystemPIO(ScrollOutput scroll, IfInterrupt* interrupts);

    void PortWrite(uint8_t port, uint8_t value, int32_t ticks) override;
    uint8_t PortRead(uint8_t port, int32_t ticks) override;
    void Reset(int32_t ticks) override;
    int DeviceType() const override { return kDeviceSystemPio; }
    // The keyboard, the scroll register and the speaker keep no time of their own; port C's
    // upper half only withdraws interrupt requests, which never makes the unit act sooner.
    uint8_t PortReach() const override { return kReachNothing; }

    // The state that decides the future, for snapshots; false for a malformed stream.
    void SaveState(StateWriter& out) const;
    bool LoadState(StateReader& in);
    void Serialize(StateArchive& a);  // the fields both name, once

    SoundLevelOutput SetSpeakerOutput(SoundLevelOutput output);
    ScrollOutput SetScrollOutput(ScrollOutput output);

    // Puts the keys down now in place (the run loop does that between periods, so that a key's
    // time is exact).
    void SetKeyMatrix(const std::array<uint8_t, 16>& matrix, uint8_t modifiers);
    void SetKeyMatrix(const KeyMatrix& keys) { SetKeyMatrix(keys.columns, keys.modifiers); }

    uint8_t KeyMatrix(int column) const {
        return keyMatrix_[column & 0x0F].load(std::memory_order_relaxed);
    }
    uint8_t KeyModifiers() const { return keyModifiers_.load(std::memory_order_relaxed); }

    ChipPIO8255& Chip() { return chip_; }
    const ChipPIO8255& Chip() const { return chip_; }

    static constexpr uint8_t kModifierShift = KeyMatrix::kShift, kModifierCtrl = KeyMatrix::kCtrl;

  private:
    void OnPortAWritten();
    void OnPortBRead(int32_t ticks);
    void OnPortCLowerChanged(uint8_t oldValue, uint8_t newValue);
    void OnPortCUpperChanged(uint8_t oldValue, uint8_t newValue);

    ChipPIO8255 chip_;
    ScrollOutput scroll_;
    IfInterrupt* interrupts_;
    SoundLevelOutput speaker_;
    int32_t lastTicks_ = 0;
    // Put in place between periods (by the window's thread while the machine is paused) and read
    // by views from other threads: whole bytes, never torn.
    std::array<std::atomic<uint8_t>, 16> keyMatrix_{};
    std::atomic<uint8_t> keyModifiers_{0};
};
