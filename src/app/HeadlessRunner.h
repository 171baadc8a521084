#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "host/audio/SoundDriver.h"
#include "host/config/ConfigLocation.h"
#include "machine/ChipMemory.h"

// `tevrinemu --headless`: the same machine as the window builds, run without one, for tests,
// benchmarks and scripts.
namespace headless {

struct MemoryDump {
    uint16_t address = 0;
    int length = 0;
    std::string path;
};

inline constexpr int64_t kDefaultTraceLimit = 1000000;

// --load-mem PATH:ADDR[:RUN]: a host file loaded into the address space at ADDR.
struct MemoryLoad {
    std::string path;
    uint16_t address = 0;
    bool run = false;
    uint16_t runAddress = 0;
};

struct Options {
    bool runForMs = false;
    int64_t runMs = 0;        // emulated milliseconds
    bool maxSpeed = false;    // unthrottled
    double speed = 1.0;       // paced by the 2 ms timer
    bool speedGiven = false;  // --speed named a factor (else a snapshot's speed holds)
    std::string typeText;
    int64_t typeAfterMs = 1000;
    // --type-at MS TEXT, as often as given.
    struct TypeAt {
        int64_t ms = 0;
        std::string text;
    };
    std::vector<TypeAt> typeAt;
    std::string tapePath;  // inserted, played when the first text starts being typed
    bool tapeFast = false;
    std::string recordPath;  // where what the machine saves to tape goes
    std::string screenshotPath;
    std::string vramPath;
    // --record-video PATH, --record-audio PATH: the session from its start to the exit.
    std::string recordVideoPath;
    std::string recordAudioPath;
    std::vector<MemoryDump> memoryDumps;
    std::vector<MemoryLoad> memoryLoads;  // in the order given
    int64_t loadAtMs = 1000;              // emulated time of the loads: the ROM has started
    bool stats = false;
    // --break ADDR, as often as given: stop before the instruction at ADDR.
    std::vector<uint16_t> breaks;
    // --trace PATH: every instruction executed, from --trace-from-ms on, at most --trace-limit
    // lines (the whole trace is held until exit).
    std::string tracePath;
    int64_t traceFromMs = 0;
    int64_t traceLimit = kDefaultTraceLimit;
    // --snapshot PATH: the run starts from this snapshot (the times of the other options count
    // from its moment); --save-snapshot PATH: the machine is saved there at exit.
    std::string snapshotPath;
    std::string saveSnapshotPath;
    // --record-inputs PATH: an input movie of the run, written at exit; --play-inputs PATH: the
    // run is the movie's (without --run-ms it ends where the movie does).
    std::string recordInputsPath;
    std::string playInputsPath;
    // --step-back N (with --break): at the break, N trace entries back; --rewind-ms MS: at exit,
    // MS of emulated time back. Both before the dumps are written.
    int64_t stepBack = 0;
    int64_t rewindMs = -1;
};

inline constexpr int kExitOk = 0, kExitConfig = 1, kExitFault = 2, kExitUsage = 64;

// ADDR:LEN:PATH of --dump-mem (decimal or 0x numbers); false when malformed.
bool ParseMemoryDump(const std::string& text, MemoryDump& dump);
// PATH:ADDR[:RUN] of --load-mem; the numbers are taken from the end, so a path may hold
// colons. False when malformed.
bool ParseMemoryLoad(const std::string& text, MemoryLoad& load);
// Writes the dump's bytes, read through the current mapping; false (and a line on `err`) when
// the file cannot be written.
bool WriteMemoryDump(const ChipMemory& memory, const MemoryDump& dump, std::ostream& err);

// Runs the machine on the configuration as the options say and writes what they ask for at
// exit. Returns the exit status: 0 normal, 1 unusable configuration (or an output that could
// not be written), 2 machine fault.
// `soundOpener` replaces the audio device (tests).
int Run(const config::ConfigPlace& place, const Options& options, std::ostream& out,
        std::ostream& err, SoundDriver::StreamOpener soundOpener = {});

}  // namespace headless
