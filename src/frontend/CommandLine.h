#pragma once

#include <string>
#include <vector>

// The program's command line as every mode of it reads it: `--config PATH` (or
// `--config=PATH`) selects another configuration file than the usual one (see
// config::DefaultConfigPlace); the remaining arguments keep their order (the first of them is a
// file to open). `--` ends the options, so a file whose name starts with "--" can still be
// opened.
struct CommandLine {
    std::string configPath;  // absolute; by default the one config::DefaultConfigPlace names
    // The delivered file the default configuration is made from on the first start; empty with
    // --config, whose file must exist.
    std::string configDelivered;
    std::vector<std::string> arguments;  // everything that is not an option we know
    std::string error;                   // empty when the line was understood

    // argv[0] (the program) is skipped.
    static CommandLine Parse(int argc, const char* const* argv);
    static CommandLine Parse(const std::vector<std::string>& args);

    bool Ok() const { return error.empty(); }
    // The file given to open, empty when none.
    std::string FirstArgument() const { return arguments.empty() ? std::string() : arguments[0]; }
};
