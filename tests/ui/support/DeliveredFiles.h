#pragma once

#include <regex>
#include <string>
#include <string_view>

#include "host/files/ProgramPaths.h"
#include "support/TempFolder.h"

namespace testing_support {

// Fills a test's program folder as an installation has it: the language files and the
// delivered configuration with this build's version. Returns the configuration's path.
inline std::string WriteDeliveredFiles(TempFolder& folder) {
    for (const char* language : {"english", "german"}) {
        folder.Write(
            std::string("Lang/") + language + ".ini",
            ReadFile(std::string(TEVRIN_SOURCE_DIR "/resources/Lang/") + language + ".ini"));
    }
    std::string delivered = ReadFile(TEVRIN_SOURCE_DIR "/resources/TevrinEmu.xml.in");
    delivered = std::regex_replace(delivered, std::regex("version=\"[^\"]*\""),
                                   "version=\"" + program::ProgramVersion() + "\"");
    return folder.Write("TevrinEmu.xml", delivered);
}

// A 16 KB ROM image whose last page, where the processor starts after reset, begins with `code`.
inline std::string RomWith(std::string_view code) {
    std::string rom(0x4000, '\xFF');
    rom.replace(0x3000, code.size(), code);
    return rom;
}

}  // namespace testing_support
