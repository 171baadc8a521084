// tevrin-tape: tape images (.pta) on the command line; see `tevrin-tape --help`.

#include <iostream>
#include <string>
#include <vector>

#include "TapeTool.h"
#include "host/lang/Language.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv, argv + argc);
    // The import log's texts are the tape browser's; without the language file the keys stand in.
    lang::LoadLanguageFile("english");
    return tapetool::RunTapeTool(args, std::cout, std::cerr);
}
