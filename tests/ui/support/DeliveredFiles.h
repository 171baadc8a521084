#pragma once

#include <regex>
#include <string>

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

}  // namespace testing_support
