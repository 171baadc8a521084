// tevrin-cpm: runs a CP/M .COM test program on the emulator's own processor and memory, so the
// processor is checked against programs nobody here wrote.

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "CpmMachine.h"
#include "cli/ToolOptions.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 1;
constexpr int kExitFault = 2;
constexpr int kExitOutOfCycles = 3;

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
    std::string programPath;
    CLI::App app(
        "Runs a CP/M test program at 0100h on the emulated 8080 and prints its console\n"
        "output, then 'instructions=N cycles=M'.",
        "tevrin-cpm");
    cli::Style(app);
    app.footer(
        "Exit status: 0 the program ended, 1 bad arguments or file, 2 processor or\n"
        "memory fault, 3 cycle limit reached.");
    app.add_option("PROGRAM.COM", programPath, "the program")->required();
    app.add_flag("--machine-timing", machineTiming,
                 "use the Tevrin's tick counts instead of Intel's");
    app.add_option("--max-cycles", maxCycles, "stop after N cycles (exit status 3)")
        ->type_name("N")
        ->transform(cli::Number(0, UINT64_MAX, "a number of cycles"));
    if (std::optional<int> ended = cli::Parse(app, std::vector<std::string>(argv, argv + argc),
                                              std::cout, std::cerr, kExitUsage)) {
        return *ended;
    }

    std::ifstream file(programPath, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "tevrin-cpm: cannot open %s\n", programPath.c_str());
        return kExitUsage;
    }
    std::vector<uint8_t> program((std::istreambuf_iterator<char>(file)),
                                 std::istreambuf_iterator<char>());

    CpmMachine machine(machineTiming);
    if (!machine.Load(program)) {
        std::fprintf(stderr, "tevrin-cpm: %s is too large for the 64 KB address space\n",
                     programPath.c_str());
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
