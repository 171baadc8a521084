#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// A language file in memory. The reader's rules are the ones language files are written for:
// - UTF-8 (with or without byte-order mark; a UTF-16 file with a byte-order mark is converted,
//   and bytes that are not valid UTF-8 become U+FFFD);
// - lines end with LF, CR LF or a lone CR, and lose the characters 1 to 32 at both ends;
// - ";" at the start of a line makes a comment; "[name]" opens a section;
// - "key=value" is an entry of the current section (key and value trimmed); in the value the
//   first ";" outside double quotes starts a comment, and a value longer than one character that
//   begins and ends with the same quote (double or single) loses those quotes;
// - section and key names compare without regard to (ASCII) case; a section named twice is one
//   section, and for a key named twice the first entry answers lookups.
// Lines before the first section, lines without "=" and entries with an empty key are ignored.
class IniFile {
  public:
    struct Entry {
        std::string key;
        std::string value;
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;  // in file order
    };

    // Language files are a few tens of kilobytes; anything beyond this is not one.
    static constexpr std::size_t kMaxFileSize = 8 * 1024 * 1024;

    // A missing, unreadable or oversized file reads as an empty one; the result tells whether
    // the file was read.
    bool LoadFile(const std::string& path);
    void LoadText(std::string_view bytes);
    void Clear();

    const std::vector<Section>& Sections() const { return sections_; }
    const Section* FindSection(std::string_view name) const;
    // Null when the section or key is missing.
    const std::string* Find(std::string_view section, std::string_view key) const;
    std::string Value(std::string_view section, std::string_view key,
                      std::string_view fallback = {}) const;
    int IntValue(std::string_view section, std::string_view key, int fallback) const;

  private:
    using Index = std::unordered_map<std::string, size_t>;  // lower-case name -> position

    size_t SectionNamed(std::string_view name);

    std::vector<Section> sections_;
    Index sectionIndex_;
    std::vector<Index> keyIndex_;  // per section; the first entry of each key
};
