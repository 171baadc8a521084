// tevrinemu: the Tevrin emulator. With --headless it runs the machine without a window.

#include <cstring>
#include <iostream>

#include "emulator/HeadlessRunner.h"
#include "host/CommandLine.h"

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::cout << headless::HelpText();
            return 0;
        }
    }
    CommandLine commandLine = CommandLine::Parse(argc, argv);
    if (!commandLine.Ok()) {
        std::cerr << "tevrinemu: " << commandLine.error << "\n" << headless::HelpText();
        return headless::kExitUsage;
    }
    bool isHeadless = false;
    for (const std::string& arg : commandLine.arguments) isHeadless |= arg == "--headless";
    if (isHeadless) return headless::Run(commandLine, std::cout, std::cerr);
    std::cerr << "tevrinemu: this build has no window yet; use --headless\n";
    return headless::kExitUsage;
}
