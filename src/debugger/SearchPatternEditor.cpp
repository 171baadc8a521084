#include "debugger/SearchPatternEditor.h"

#include <cstdio>

#include "asm/NumberFormat.h"

namespace debugger {

namespace {}  // namespace

NumbersReadout ReadEightNumbers(std::string_view text, bool decimal) {
    NumbersReadout out;
    for (int i = 0; i < 8; ++i) {
        const size_t at = static_cast<size_t>(4 * i) + (decimal ? 0 : 1);
        if (!decimal && (text.size() <= at - 1 || text[at - 1] != '#')) return out;
        const size_t digits = decimal ? 3 : 2;
        if (text.size() < at + digits) return out;
        const int32_t value = assembler::ReadFieldNumber(text.substr(at, digits), !decimal);
        if (value < 0) return out;
        if (value > 255) {
            const int digit = value < 260 ? 2 : value < 300 ? 1 : 0;
            out.BadColumn = static_cast<int>(at) + digit;
            return out;
        }
        out.Values[i] = static_cast<uint8_t>(value);
    }
    out.Ok = true;
    return out;
}

char SearchPatternEditor::ShownChar(uint8_t value) {
    return value >= 32 && value <= 126 ? static_cast<char>(value) : '.';
}

namespace {

std::string Numbers(const std::array<uint8_t, 8>& values, bool decimal) {
    std::string text;
    char item[8];
    for (int i = 0; i < 8; ++i) {
        std::snprintf(item, sizeof item, decimal ? "%03u" : "#%02X", values[i]);
        if (i > 0) text += ' ';
        text += item;
    }
    return text;
}

}  // namespace

std::string SearchPatternEditor::ValuesText(bool decimal) const {
    return Numbers(pattern_.Values, decimal);
}

std::string SearchPatternEditor::MasksText(bool decimal) const {
    return Numbers(pattern_.Masks, decimal);
}

std::string SearchPatternEditor::CharsText() const {
    std::string text(30, ' ');  // the characters at 1, 5, 9, ... 29
    for (int i = 0; i < 8; ++i) text[4 * i + 1] = ShownChar(pattern_.Values[i]);
    return text;
}

SearchPatternEditor::Change SearchPatternEditor::ValuesChanged(std::string_view text,
                                                               bool decimal) {
    const NumbersReadout r = ReadEightNumbers(text, decimal);
    if (!r.Ok) return {false, -1, r.BadColumn};
    for (int i = 0; i < 8; ++i) {
        if (r.Values[i] == pattern_.Values[i]) continue;
        pattern_.Values[i] = r.Values[i];
        if (pattern_.Masks[i] == 0) pattern_.Masks[i] = 0xFF;
        return {true, i, -1};
    }
    return {};
}

SearchPatternEditor::Change SearchPatternEditor::MasksChanged(std::string_view text, bool decimal) {
    const NumbersReadout r = ReadEightNumbers(text, decimal);
    if (!r.Ok) return {false, -1, r.BadColumn};
    for (int i = 0; i < 8; ++i) {
        if (r.Values[i] == pattern_.Masks[i]) continue;
        pattern_.Masks[i] = r.Values[i];
        return {true, i, -1};
    }
    return {};
}

SearchPatternEditor::Change SearchPatternEditor::CharsChanged(std::string_view text) {
    for (int i = 0; i < 8; ++i) {
        const size_t at = static_cast<size_t>(4 * i + 1);
        if (at >= text.size()) break;
        const char c = text[at];
        if (c == ShownChar(pattern_.Values[i])) continue;
        pattern_.Values[i] = static_cast<uint8_t>(c);
        if (pattern_.Masks[i] == 0) pattern_.Masks[i] = 0xFF;
        return {true, i, -1};
    }
    return {};
}

void SearchPatternEditor::SetUsed(int i, bool on) {
    if (on) {
        pattern_.Masks[i] = 0xFF;
    } else {
        pattern_.Values[i] = 0;
        pattern_.Masks[i] = 0;
    }
}

void SearchPatternEditor::SetMaskEditing(bool on) {
    maskEditing_ = on;
    if (on) return;
    for (uint8_t& m : pattern_.Masks) {
        if (m != 0) m = 0xFF;
    }
}

}  // namespace debugger
