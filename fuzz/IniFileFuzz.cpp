// Any bytes as a language file: the reader must not crash, hand on only valid UTF-8, and answer
// lookups consistently with what it read.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "host/files/FileFilter.h"
#include "host/lang/IniFile.h"
#include "host/lang/Language.h"

namespace {

bool IsValidUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        auto c = static_cast<unsigned char>(s[i]);
        size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (size_t k = 1; k < n; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        }
        i += n;
    }
    return true;
}

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    IniFile ini;
    ini.LoadText(bytes);
    for (const IniFile::Section& section : ini.Sections()) {
        Check(IsValidUtf8(section.name));
        Check(ini.FindSection(section.name) == &section);
        for (const IniFile::Entry& entry : section.entries) {
            Check(IsValidUtf8(entry.key) && IsValidUtf8(entry.value));
            Check(!entry.key.empty());
            Check(ini.Find(section.name, entry.key) != nullptr);
            std::string text = lang::WithLineBreaks(entry.value);
            Check(text.size() == entry.value.size());
            for (const FileFilter& filter : ParseFileFilter(entry.value)) {
                Check(!filter.patterns.empty());
            }
        }
    }
    ini.IntValue("Common", "Charset", 0);
    return 0;
}
