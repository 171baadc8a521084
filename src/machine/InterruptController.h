#pragma once

#include <cstdint>

class ChipCpu8080;

// The processor's view of the interrupt unit: during an interrupt acknowledge the processor takes
// the instruction bytes from here instead of from memory, and it reports its INTE output.
class InterruptController {
  public:
    virtual ~InterruptController() = default;
    // Byte `index` (0 to 2) of the instruction the unit places on the data bus.
    virtual uint8_t InterruptInstruction(int index) = 0;
    virtual void SetInteInput(bool state) = 0;

    // Given by the processor when the controller is attached, so the unit can ask it to accept.
    void SetCpu(ChipCpu8080* cpu) { cpu_ = cpu; }
    ChipCpu8080* Cpu() const { return cpu_; }

  protected:
    ChipCpu8080* cpu_ = nullptr;
};
