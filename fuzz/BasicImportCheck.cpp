#include "fuzz/BasicImportCheck.h"

#include <set>
#include <string>

#include "media/basic/BasicListing.h"

namespace fuzzcheck {

const char* CheckBasicImport(std::string_view bytes) {
    const basic::ImportResult result = basic::ImportListing(bytes);
    const std::vector<uint8_t>& image = result.image;
    if (image.size() < 5 || image.size() > basic::kMaxProgramImage) return "image size";
    const size_t length = image[0] | image[1] << 8;
    if (length + 5 != image.size() || image[2] != 0x0D) return "image head";
    if (image[image.size() - 2] != 0x00 || image.back() != 0xFF) return "end mark";
    // Every link leads to the next line, and every line ends in 0x0D.
    size_t pos = 3;
    while (pos < 3 + length) {
        if (pos + 4 > 3 + length) return "line head past the end";
        const size_t next = pos + 2 + image[pos + 2];
        if (next > 3 + length || next < pos + 4) return "link out of the program";
        if (image[next - 1] != 0x0D) return "line without its end byte";
        pos = next;
    }
    if (pos != 3 + length) return "links miss the end";

    static const std::set<std::string> kKeys = {
        "err.ImportBasic.TooLongLine",      "err.ImportBasic.WrongLineNumber",
        "err.ImportBasic.WrongLineOrder",   "err.ImportBasic.ShortLine",
        "err.ImportBasic.ForeignCharacter", "err.ImportBasic.LineNotStored",
        "err.ImportBasic.ProgramTooLarge"};
    bool lossy = false;
    for (const basic::LogEntry& entry : result.log) {
        if (kKeys.count(entry.key) == 0 || entry.values.empty()) return "unknown log entry";
        lossy = lossy || entry.key == "err.ImportBasic.ForeignCharacter" ||
                entry.key == "err.ImportBasic.LineNotStored" ||
                entry.key == "err.ImportBasic.ProgramTooLarge";
    }
    // What converted without loss lists and converts again to the same bytes.
    if (!lossy) {
        const std::string listing = basic::ExportListing(image.data(), image.size());
        const basic::ImportResult again = basic::ImportListing(listing);
        if (again.image != image) return "export and import differ";
    }
    return nullptr;
}

}  // namespace fuzzcheck
