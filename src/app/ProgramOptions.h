#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "app/HeadlessRunner.h"
#include "host/config/ConfigLocation.h"

// tevrinemu's whole command line, one declaration for every mode: the window (FILE and
// --dump-mem), --headless and its options, the file-type switches, --config for all of them.
namespace headless {

enum class Mode { Window, Headless, Dap, RegisterFileTypes, UnregisterFileTypes };

struct ProgramLine {
    Mode mode = Mode::Window;
    config::ConfigPlace config;  // --config, or the usual place
    std::string file;            // FILE for the window to open; absolute, empty when none
    Options options;             // what --headless runs; the window takes its memoryDumps
};

// Reads args (args[0] is the program). Returns the status to end with (help printed on `out`
// with 0, a refusal on `err` with kExitUsage), or nothing when the program goes on.
// With `foreignOptions`, options this program does not know are let through in window mode,
// because the toolkit takes its own (-platform, -display) out of the line only later; the line
// is then read again without them.
std::optional<int> ReadProgramLine(const std::vector<std::string>& args, ProgramLine& line,
                                   std::ostream& out, std::ostream& err,
                                   bool foreignOptions = false);

// What `tevrinemu --help` prints.
std::string HelpText();

}  // namespace headless
