#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "debugger/MemorySearch.h"

// The search dialog's pattern and the three fields that show it: eight values, eight masks and
// eight characters. Each change to a field takes at most one position (the first that differs),
// so the user edits the pattern one number or character at a time, as the fields are typed in.
namespace debugger {

struct NumbersReadout {
    bool Ok = false;
    std::array<uint8_t, 8> Values{};
    int BadColumn = -1;  // 0-based column of the digit that makes a decimal number too large
};

// Reads eight numbers laid out as the fields show them: "000 012 ..." (decimal, three digits
// four characters apart) or "#0C #FF ..." (hexadecimal), each read as typed (an unfilled place
// is nothing, so "12 " is 12). A number that cannot be read, or a place with no digit, makes the
// whole readout fail with BadColumn -1; a decimal one above 255 names the digit to select: the
// units for 256 to 259, the tens for 260 to 299, the hundreds from 300.
NumbersReadout ReadEightNumbers(std::string_view text, bool decimal);

class SearchPatternEditor {
  public:
    const SearchPattern& Pattern() const { return pattern_; }
    bool Used(int i) const { return pattern_.Masks[i] != 0; }
    bool MaskEditing() const { return maskEditing_; }
    bool FindEnabled() const { return pattern_.Any(); }

    std::string ValuesText(bool decimal) const;
    std::string MasksText(bool decimal) const;
    std::string CharsText() const;  // " c   c   c ..." with "." for a value outside 32..126
    static char ShownChar(uint8_t value);

    // Results of a field change: false with the readout's BadColumn (or -1) when the field
    // could not be read: the caller beeps and the pattern is unchanged. Otherwise the index of
    // the position taken, or -1 when none differed.
    struct Change {
        bool Ok = true;
        int Position = -1;
        int BadColumn = -1;
    };
    Change ValuesChanged(std::string_view text, bool decimal);
    Change MasksChanged(std::string_view text, bool decimal);
    Change CharsChanged(std::string_view text);

    // The check box of position i: on makes its mask FF, off clears value and mask.
    void SetUsed(int i, bool on);
    // The mask box: off makes every mask that is not 0 an FF again.
    void SetMaskEditing(bool on);

  private:
    SearchPattern pattern_;
    bool maskEditing_ = false;
};

}  // namespace debugger
