#pragma once

#include <array>
#include <cstdint>

#include "machine/ChipCpu8080.h"
#include "machine/ChipMemory.h"

namespace debugger {

// One data access of an instruction: a memory byte or a port. The instruction fetch is not one:
// a watch on data must not fire because code happens to lie in the watched range.
struct DataAccess {
    uint16_t address = 0;
    bool write = false;
    bool port = false;
    // A conditional call or return (or an interrupt acknowledge) touches the stack only when it
    // is taken, which only the stack pointer afterwards tells.
    int8_t ifStackMoved = 0;  // 0: always; -2: when SP went down by 2; +2: when it went up by 2
};

// What the next step will read and write, worked out from the opcode and the registers before
// it runs: memory is read with Peek, so planning changes nothing. An interrupt acknowledge
// (IntAck set) is planned as the call its supplied restart makes.
struct PlannedAccesses {
    std::array<DataAccess, 4> list{};
    int count = 0;
};
PlannedAccesses PlanAccesses(const ChipCpu8080& cpu, const ChipMemory& memory);

// Whether a planned access happened, given the stack pointer before and after the step.
inline bool AccessHappened(const DataAccess& access, uint16_t spBefore, uint16_t spAfter) {
    if (access.ifStackMoved == 0) return true;
    return static_cast<uint16_t>(spBefore + access.ifStackMoved) == spAfter;
}

}  // namespace debugger
