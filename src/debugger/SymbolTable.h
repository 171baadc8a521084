#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

// The user's own names for addresses, as the assembler wrote them, so that every debugger field
// takes "LOOP" where it takes "2000" and the views can say "LOOP+3" instead of a bare number.
// Names are case-insensitive, as in the assembler's source; the table keeps them in upper case.
namespace debugger {

class SymbolTable {
  public:
    SymbolTable() = default;
    SymbolTable(const SymbolTable& other);
    SymbolTable& operator=(const SymbolTable& other);
    SymbolTable(SymbolTable&&) noexcept = default;
    SymbolTable& operator=(SymbolTable&&) noexcept = default;

    static constexpr size_t kMaxFileBytes = 4u << 20;
    static constexpr size_t kMaxNames = 65536;
    static constexpr size_t kMaxNameLength = 255;

    // Reads an assembler symbols file ("NAME EQU 1234H" per line, the value also as 0x1234 or
    // #1234; blank lines and ';' comments allowed) or an assembler listing (the labels of lines
    // with an address, and the names of EQU lines with their value). What was read replaces the
    // table. On a malformed file returns false with `error` naming the line ("line 3: ..."),
    // and the table is unchanged.
    bool Load(std::string_view text, std::string& error);
    // A later Add of the same name replaces it; an empty name is ignored.
    void Add(std::string name, uint16_t value);
    void Clear();
    bool Empty() const { return names_.empty(); }
    size_t Size() const { return names_.size(); }
    std::optional<uint16_t> Find(std::string_view name) const;
    // The name at exactly this address (the first in name order when several), or nullptr.
    const std::string* NameAt(uint16_t address) const;
    // "NAME" or "NAME+n" (n in hexadecimal with the H suffix when above 9, e.g. "LOOP+0AH") from
    // the nearest name at or below `address` no more than `reach` bytes back; "" when none.
    std::string Describe(uint16_t address, int reach = 0x100) const;
    // Every name in name order with its value.
    const std::map<std::string, uint16_t>& Names() const { return names_; }

    // A name as the assembler takes it: a letter, '_', '?' or '@', then also digits.
    static bool IsName(std::string_view text);

  private:
    struct ByAddress {
        using is_transparent = void;
        using Entry = std::pair<uint16_t, const std::string*>;
        bool operator()(const Entry& a, const Entry& b) const {
            return a.first != b.first ? a.first < b.first : *a.second < *b.second;
        }
        bool operator()(const Entry& a, uint32_t b) const { return a.first < b; }
        bool operator()(uint32_t a, const Entry& b) const { return a < b.first; }
    };

    void Index();

    std::map<std::string, uint16_t> names_;
    // Points into the keys of names_, whose nodes never move.
    std::set<ByAddress::Entry, ByAddress> byAddress_;
};

}  // namespace debugger
