#pragma once

#include <array>
#include <cstdint>

#include "machine/Closure.h"
#include "machine/PeripheralDevice.h"

class StateArchive;
class StateReader;
class StateWriter;

// The paging unit: sixteen page registers, one per 4 KB processor window, each naming one of 256
// physical pages. Until paging is switched on every address maps to page 0xFF, the top of the
// internal ROM, so the processor starts there whatever the registers hold.
class MemoryOrganizer : public PeripheralDevice {
  public:
    static constexpr uint8_t kBootPage = 0xFF;

    MemoryOrganizer();

    uint8_t MapPage(uint16_t address) const {
        return pagingOn_ ? pageRegister_[address >> 12] : kBootPage;
    }

    void PortWrite(uint8_t port, uint8_t value, int32_t ticks) override;
    uint8_t PortRead(uint8_t port, int32_t ticks) override;
    void Reset(int32_t ticks) override;
    int DeviceType() const override { return kDeviceMemoryOrganizer; }
    uint8_t PortReach() const override { return kReachExecution; }

    // The multiplier takes over ports D8-DB when fitted and switches paging on through this.
    void EnablePaging();

    bool PagingOn() const { return pagingOn_; }
    uint8_t PageRegister(int window) const { return pageRegister_[window & 0x0F]; }
    void SetPageRegister(int window, uint8_t page);

    // The state that decides the future, for snapshots; a load that returns false (a malformed
    // or mismatched stream) may have changed part of it, so the caller restores a saved state.
    void SaveState(StateWriter& out) const;
    bool LoadState(StateReader& in);
    void Serialize(StateArchive& a);  // the fields both name, once

    // Called whenever the address-to-page mapping changes, so the memory can refresh the window
    // pointers it caches for the processor.
    Closure<void()> SetMappingChanged(Closure<void()> listener);

  private:
    void MappingChanged() { mappingChanged_(); }

    bool pagingOn_ = false;
    std::array<uint8_t, 16> pageRegister_{};
    Closure<void()> mappingChanged_;
};
