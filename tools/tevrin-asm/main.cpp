// tevrin-asm: the project's 8080 assembler. It builds the monitor ROM and reads back what the
// debugger's disassembly writes; see `tevrin-asm --help`.

#include <iostream>
#include <string>
#include <vector>

#include "AsmTool.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv, argv + argc);
    return assembler::RunAsmTool(args, std::cout, std::cerr);
}
