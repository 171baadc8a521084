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

// What a port access may do beyond its own device. The processor hands the ticks of a run of
// instructions to its tick listeners (the timer, the serial unit, the interrupt unit) in one
// call, once they have said how long they stay quiet; at a port access they may not have heard
// of the last few instructions yet. Those ticks all fall where every listener said nothing
// happens, so an access that looks at and changes nothing a listener keeps in time gives the
// same result before or after the listeners hear of them.
enum PortReach : uint8_t {
    kReachNothing = 0,
    // Reads or changes what a listener keeps in time: the pending ticks are handed over first.
    kReachListenerTime = 1,
    // May make a listener act sooner than it said (raise an interrupt request, say): the
    // listeners are asked again how long they stay quiet.
    kReachListenerQuiet = 2,
    // May change how the processor runs: the memory mapping, the colour-write hook, a stop.
    kReachExecution = 4,
    kReachEverything = 7,
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
    // Fixed per class: read when the device is attached to a port.
    virtual uint8_t PortReach() const { return kReachEverything; }
    // The same for reads alone, where a device's reads reach less than its writes.
    virtual uint8_t PortReadReach() const { return PortReach(); }
};
