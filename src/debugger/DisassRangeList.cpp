#include "debugger/DisassRangeList.h"

#include <algorithm>

namespace debugger {

size_t InsertRangeSorted(std::vector<DisassRange>& ranges, const DisassRange& range) {
    auto at = std::upper_bound(
        ranges.begin(), ranges.end(), range,
        [](const DisassRange& a, const DisassRange& b) { return a.From < b.From; });
    const auto index = static_cast<size_t>(at - ranges.begin());
    ranges.insert(at, range);
    return index;
}

uint16_t NextRangeAddress(const DisassRange& range) {
    if (range.Type == kRangeWords) {
        return static_cast<uint16_t>(range.From + ((range.To - range.From + 2) & 0xFFFE));
    }
    return static_cast<uint16_t>(range.To + 1);
}

std::string FormatRangeList(const std::vector<DisassRange>& ranges) {
    std::string text;
    for (const DisassRange& r : ranges) {
        text += std::to_string(r.From) + "," + std::to_string(r.To) + "," +
                std::to_string(r.Offset) + "," + std::to_string(r.Type) + "," +
                (r.DwLabels ? "1" : "0") + "\r\n";
    }
    return text;
}

namespace {

class Reader {
  public:
    explicit Reader(std::string_view text) : text_(text.substr(0, text.find('\0'))) {}

    // Blanks, tabs and line ends before the next range; false at the end of the text.
    bool SkipToRange() {
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            if (c == ' ' || c == '\t') {
                ++pos_;
            } else if (c == '\r') {
                ++line_;
                ++pos_;
                if (pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
            } else if (c == '\n') {
                ++line_;
                ++pos_;
            } else {
                return true;
            }
        }
        return false;
    }

    // An unsigned decimal number below `limit`, blanks and tabs before it allowed.
    bool Number(uint32_t limit, uint32_t& value) {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
        value = 0;
        size_t digits = 0;
        while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
            value = value * 10 + static_cast<uint32_t>(text_[pos_++] - '0');
            if (value >= limit) return false;  // also keeps a long digit string from overflowing
            ++digits;
        }
        return digits > 0;
    }

    bool Comma() { return pos_ < text_.size() && text_[pos_++] == ','; }

    int Line() const { return line_; }

  private:
    std::string_view text_;
    size_t pos_ = 0;
    int line_ = 1;
};

}  // namespace

RangeListError ParseRangeList(std::string_view text, std::vector<DisassRange>& ranges) {
    Reader in(text);
    while (in.SkipToRange()) {
        uint32_t from = 0, to = 0, offset = 0, type = 0, labels = 0;
        const bool ok = in.Number(0x10000, from) && in.Comma() && in.Number(0x10000, to) &&
                        to >= from && in.Comma() && in.Number(0x10000, offset) && in.Comma() &&
                        in.Number(kRangeReserved + 1, type) && in.Comma() && in.Number(2, labels);
        if (!ok) return {in.Line()};
        ranges.push_back({static_cast<int32_t>(from), static_cast<int32_t>(to),
                          static_cast<int32_t>(offset), static_cast<int32_t>(type), labels == 1});
    }
    return {};
}

}  // namespace debugger
