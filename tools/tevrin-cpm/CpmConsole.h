#pragma once

#include <cstdint>
#include <string>

#include "machine/ChipCpu8080.h"
#include "machine/PeripheralDevice.h"

// Stands in for CP/M on ports 0 and 1: the harness places OUT 0 at the warm-boot address 0000
// (the program ends by jumping there) and OUT 1; RET at the BDOS entry 0005, where OUT 1 serves
// console output the way BDOS functions 2 and 9 would.
class CpmConsole : public PeripheralDevice {
  public:
    explicit CpmConsole(ChipCpu8080& cpu) : cpu_(cpu) {}

    void PortWrite(uint8_t port, uint8_t value, int32_t ticks) override;
    uint8_t PortRead(uint8_t port, int32_t ticks) override;
    int DeviceType() const override { return -1; }

    bool Finished() const { return finished_; }
    // Console text produced since the last call.
    std::string TakeOutput();

  private:
    ChipCpu8080& cpu_;
    bool finished_ = false;
    std::string output_;
};
