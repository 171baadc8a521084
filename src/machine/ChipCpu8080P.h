#pragma once

#include "machine/ChipCpu8080.h"

// The processor as the Tevrin runs it: same instructions, the machine's own tick counts.
class ChipCpu8080P : public ChipCpu8080 {
  public:
    explicit ChipCpu8080P(ChipMemory& memory);

    int InstructionTicks(uint8_t opcode, bool taken) override;

    bool MachineTiming() const { return machineTiming_; }
    void SetMachineTiming(bool on);

  private:
    bool machineTiming_ = false;
};
