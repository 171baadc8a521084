// tevrin-disasm: the debugger's disassembly to a file, on the command line; see
// `tevrin-disasm --help`.

#include <iostream>
#include <string>
#include <vector>

#include "DisasmTool.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv, argv + argc);
    return debugger::RunDisasmTool(args, std::cout, std::cerr);
}
