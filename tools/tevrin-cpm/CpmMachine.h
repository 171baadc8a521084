#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "CpmConsole.h"
#include "machine/ChipCpu8080.h"
#include "machine/ChipMemory.h"
#include "machine/MemoryOrganizer.h"

// A bare CP/M environment on the emulator's processor and memory: 64 KB of RAM mapped through
// the page registers with paging on, the program at 0100h, and the console device on ports 0
// and 1 serving the warm boot and the BDOS entry.
class CpmMachine {
  public:
    enum class Outcome { Finished, Fault, OutOfCycles };

    explicit CpmMachine(bool machineTiming);

    // False when the program does not fit between 0100h and the top of memory.
    bool Load(const std::vector<uint8_t>& program);

    // Runs until the program jumps to 0000h, a fault stops the processor or `maxCycles` (0: no
    // limit) have passed. Console output goes to `onOutput` as it is produced.
    Outcome Run(uint64_t maxCycles, void (*onOutput)(const std::string& text));

    uint64_t Instructions() const { return instructions_; }
    uint64_t Cycles() const { return cycles_; }
    std::string FaultDescription() const;

    static constexpr uint16_t kLoadAddress = 0x0100;

  private:
    MemoryOrganizer organizer_;
    ChipMemory memory_;
    std::unique_ptr<ChipCpu8080> cpu_;
    std::unique_ptr<CpmConsole> console_;
    uint64_t instructions_ = 0;
    uint64_t cycles_ = 0;
};
