#include "fuzz/IniFileCheck.h"

#include <cstddef>
#include <string>

#include "fuzz/Utf8Check.h"
#include "host/files/FileFilter.h"
#include "host/lang/IniFile.h"
#include "host/lang/Language.h"

namespace fuzzcheck {

const char* CheckIniFile(std::string_view bytes) {
    IniFile ini;
    ini.LoadText(bytes);
    for (const IniFile::Section& section : ini.Sections()) {
        if (!IsValidUtf8(section.name)) return "a section name is not UTF-8";
        if (ini.FindSection(section.name) != &section) return "a listed section is not found";
        for (const IniFile::Entry& entry : section.entries) {
            if (!IsValidUtf8(entry.key) || !IsValidUtf8(entry.value)) {
                return "a key or value is not UTF-8";
            }
            if (entry.key.empty()) return "an entry has an empty key";
            if (ini.Find(section.name, entry.key) == nullptr) return "a listed key is not found";
            std::string text = lang::WithLineBreaks(entry.value);
            if (text.size() != entry.value.size()) return "line breaks changed the text's length";
            for (const FileFilter& filter : ParseFileFilter(entry.value)) {
                if (filter.patterns.empty()) return "a file filter has no pattern";
            }
        }
    }
    ini.IntValue("Common", "Charset", 0);
    return nullptr;
}

}  // namespace fuzzcheck
