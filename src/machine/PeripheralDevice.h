#pragma once

#include <cstdint>

// Device type numbers, fixed per class; the debugger and the settings code tell devices apart by
// them.
enum DeviceTypeId : int {
    kDeviceScreen = 0,
    kDeviceSystemPio = 1,
    kDeviceMemoryOrganizer = 2,
    kDeviceInterrupt = 3,
    kDeviceGpio = 4,
    kDeviceTimer = 5,
    kDeviceMultiplier = 7,
    kDeviceSerial = 8,
};

// Anything the processor reaches with IN and OUT. Every access carries the processor's tick
// position inside the current emulation period, so a device can place what it does in time.
class PeripheralDevice {
  public:
    virtual ~PeripheralDevice() = default;
    virtual void PortWrite(uint8_t port, uint8_t value, int32_t ticks) = 0;
    virtual uint8_t PortRead(uint8_t port, int32_t ticks) = 0;
    virtual void Reset(int32_t /*ticks*/) {}
    virtual int DeviceType() const = 0;
};
