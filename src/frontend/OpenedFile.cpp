#include "frontend/OpenedFile.h"

#include <filesystem>

#include "host/lang/AsciiText.h"
#include "media/tape/TapeRecording.h"

OpenedFile KindOfOpenedFile(const std::string& path) {
    const std::string extension = std::filesystem::path(path).extension().string();
    // A recording of a cassette goes to the tape browser too, which decodes it.
    if (text::EqualsIgnoreCase(extension, ".pta") || tape::IsRecordingPath(path)) {
        return OpenedFile::Tape;
    }
    if (text::EqualsIgnoreCase(extension, ".tvx")) return OpenedFile::Snapshot;
    if (text::EqualsIgnoreCase(extension, ".tvs")) return OpenedFile::MachineSnapshot;
    if (text::EqualsIgnoreCase(extension, ".tvm")) return OpenedFile::InputMovie;
    return OpenedFile::Memory;
}
