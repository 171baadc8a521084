// tevrin-cpm: runs a CP/M .COM test program on the emulator's own processor and memory, so the
// processor is checked against programs nobody here wrote.

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "CpmConsole.h"
#include "machine/ChipCpu8080.h"
#include "machine/ChipCpu8080P.h"
#include "machine/ChipMemory.h"
#include "machine/MemoryOrganizer.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 1;
constexpr int kExitFault = 2;
constexpr int kExitOutOfCycles = 3;
constexpr uint16_t kLoadAddress = 0x0100;

void Usage(FILE* to) {
    std::fprintf(to,
                 "usage: tevrin-cpm [--machine-timing] [--max-cycles N] PROGRAM.COM\n"
                 "Runs a CP/M test program at 0100h on the emulated 8080 and prints its console\n"
                 "output, then 'instructions=N cycles=M'.\n"
                 "  --machine-timing  use the Tevrin's tick counts instead of Intel's\n"
                 "  --max-cycles N    stop after N cycles (exit status 3)\n"
                 "Exit status: 0 the program ended, 1 bad arguments or file, 2 processor or\n"
                 "memory fault, 3 cycle limit reached.\n");
}

bool ParseCount(const char* text, uint64_t& out) {
    if (text == nullptr || *text == '\0') return false;
    errno = 0;
    char* end = nullptr;
    unsigned long long v = std::strtoull(text, &end, 0);
    if (errno != 0 || *end != '\0' || text[0] == '-') return false;
    out = v;
    return true;
}

bool atLineStart = true;

void Flush(CpmConsole& console) {
    std::string text = console.TakeOutput();
    if (!text.empty()) {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
        atLineStart = text.back() == '\n';
    }
}

}  // namespace

int main(int argc, char** argv) {
    bool machineTiming = false;
    uint64_t maxCycles = 0;
    const char* programPath = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--machine-timing") == 0) {
            machineTiming = true;
        } else if (std::strcmp(argv[i], "--max-cycles") == 0) {
            if (!ParseCount(i + 1 < argc ? argv[++i] : nullptr, maxCycles)) {
                std::fprintf(stderr, "tevrin-cpm: --max-cycles needs a number\n");
                return kExitUsage;
            }
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            Usage(stdout);
            return kExitOk;
        } else if (argv[i][0] == '-' || programPath != nullptr) {
            Usage(stderr);
            return kExitUsage;
        } else {
            programPath = argv[i];
        }
    }
    if (programPath == nullptr) {
        Usage(stderr);
        return kExitUsage;
    }

    std::ifstream file(programPath, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "tevrin-cpm: cannot open %s\n", programPath);
        return kExitUsage;
    }
    std::vector<uint8_t> program((std::istreambuf_iterator<char>(file)),
                                 std::istreambuf_iterator<char>());
    if (program.size() > 0x10000u - kLoadAddress) {
        std::fprintf(stderr, "tevrin-cpm: %s is too large for the 64 KB address space\n",
                     programPath);
        return kExitUsage;
    }

    // All sixteen processor windows map RAM through the page registers, with paging on, exactly
    // as the machine's own software sets it up.
    MemoryOrganizer organizer;
    ChipMemory memory(organizer);
    memory.AllocatePages(0xE0, 16, false);
    for (int window = 0; window < 16; ++window) {
        organizer.SetPageRegister(window, static_cast<uint8_t>(0xE0 + window));
    }
    organizer.EnablePaging();

    std::unique_ptr<ChipCpu8080> cpu;
    if (machineTiming) {
        cpu = std::make_unique<ChipCpu8080P>(memory);
    } else {
        cpu = std::make_unique<ChipCpu8080>(memory);
    }
    CpmConsole console(*cpu);
    cpu->AttachPort(0x00, 0xFE, false, &console);

    for (size_t i = 0; i < program.size(); ++i) {
        memory.Write(static_cast<uint16_t>(kLoadAddress + i), program[i]);
    }
    const uint8_t warmBoot[] = {0xD3, 0x00};
    const uint8_t bdos[] = {0xD3, 0x01, 0xC9};
    for (size_t i = 0; i < sizeof warmBoot; ++i) memory.Write(static_cast<uint16_t>(i), warmBoot[i]);
    for (size_t i = 0; i < sizeof bdos; ++i) memory.Write(static_cast<uint16_t>(5 + i), bdos[i]);
    cpu->PC = kLoadAddress;

    uint64_t instructions = 0;
    uint64_t cycles = 0;
    int exitStatus = kExitOk;
    while (!console.Finished()) {
        int ticks = cpu->Step();
        if (ticks == 0) {
            Flush(console);
            if (cpu->PortFault) {
                std::fprintf(stderr, "tevrin-cpm: port fault: %s port %02X at %04X\n",
                             cpu->FaultPortWrite ? "OUT to" : "IN from", cpu->FaultPort, cpu->PC);
            } else {
                std::fprintf(stderr, "tevrin-cpm: memory fault: %s %04X at %04X\n",
                             memory.FaultWrite ? "write to" : "read from", memory.FaultAddress,
                             cpu->PC);
            }
            exitStatus = kExitFault;
            break;
        }
        ++instructions;
        cycles += static_cast<uint64_t>(ticks);
        // The processor's period counter is 32-bit; fold it back by an even amount so the
        // machine timing's odd-tick rule is unaffected.
        if (cpu->PeriodTicks > (1 << 30)) cpu->PeriodTicks -= 1 << 30;
        if ((instructions & 0xFFFF) == 0) Flush(console);
        if (maxCycles != 0 && cycles >= maxCycles && !console.Finished()) {
            exitStatus = kExitOutOfCycles;
            break;
        }
    }
    Flush(console);
    std::printf("%sinstructions=%llu cycles=%llu\n", atLineStart ? "" : "\n", static_cast<unsigned long long>(instructions),
                static_cast<unsigned long long>(cycles));
    if (exitStatus == kExitOutOfCycles) {
        std::fprintf(stderr, "tevrin-cpm: cycle limit of %llu reached\n",
                     static_cast<unsigned long long>(maxCycles));
    }
    return exitStatus;
}
