// tevrin-cpm: runs a CP/M .COM test program on the emulator's own processor and memory, so the
// processor is checked against programs nobody here wrote.

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "CpmMachine.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 1;
constexpr int kExitFault = 2;
constexpr int kExitOutOfCycles = 3;

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
    if (text == nullptr || *text == '\0' || text[0] == '-') return false;
    errno = 0;
    char* end = nullptr;
    unsigned long long v = std::strtoull(text, &end, 0);
    if (errno != 0 || *end != '\0') return false;
    out = v;
    return true;
}

bool atLineStart = true;

void Print(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    atLineStart = text.back() == '\n';
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

    CpmMachine machine(machineTiming);
    if (!machine.Load(program)) {
        std::fprintf(stderr, "tevrin-cpm: %s is too large for the 64 KB address space\n",
                     programPath);
        return kExitUsage;
    }
    CpmMachine::Outcome outcome = machine.Run(maxCycles, Print);
    std::printf("%sinstructions=%llu cycles=%llu\n", atLineStart ? "" : "\n",
                static_cast<unsigned long long>(machine.Instructions()),
                static_cast<unsigned long long>(machine.Cycles()));
    switch (outcome) {
        case CpmMachine::Outcome::Finished: return kExitOk;
        case CpmMachine::Outcome::Fault:
            std::fprintf(stderr, "tevrin-cpm: %s\n", machine.FaultDescription().c_str());
            return kExitFault;
        case CpmMachine::Outcome::OutOfCycles:
            std::fprintf(stderr, "tevrin-cpm: cycle limit of %llu reached\n",
                         static_cast<unsigned long long>(maxCycles));
            return kExitOutOfCycles;
    }
    return kExitFault;
}
