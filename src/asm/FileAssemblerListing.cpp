#include "asm/FileAssembler.h"

#include <cstdio>

#include "asm/FileAssemblerShared.h"

// What a successful run hands back besides its diagnostics: the image, the listing, the symbol
// text and the regions.
namespace assembler {

using detail::Hex16;
using detail::kAddressSpace;

void FileAssembler::BuildImage(AsmResult& result) {
    int32_t low = kAddressSpace;
    int32_t high = -1;
    for (int32_t a = 0; a < kAddressSpace; ++a) {
        if (owner_[a] == 0) continue;
        if (a < low) low = a;
        high = a;
    }
    if (high < 0) low = high = -1;
    result.Start = high < 0 ? options_.Origin : static_cast<uint16_t>(low);
    if (high >= 0) result.Image.assign(memory_.begin() + low, memory_.begin() + high + 1);
    const auto assembled = static_cast<int32_t>(result.Image.size());
    if (options_.Size > 0) {
        if (assembled > options_.Size) {
            AddDiagnostic(0, 0,
                          "the image is " + std::to_string(assembled) +
                              " bytes long, more than the size asked for (" +
                              std::to_string(options_.Size) + ")",
                          false);
            return;
        }
        result.Image.resize(static_cast<size_t>(options_.Size), options_.Fill);
    }
}

std::vector<AsmRegion> FileAssembler::BuildRegions() const {
    std::vector<AsmRegion> regions;
    for (const Line& line : lines_) {
        if (line.Kind < 0 || line.Address < 0 || line.Bytes.empty()) continue;
        const auto kind = static_cast<AsmRegionKind>(line.Kind);
        const auto from = static_cast<uint16_t>(line.Address);
        const auto to = static_cast<uint16_t>(line.Address + line.Bytes.size() - 1);
        if (!regions.empty() && regions.back().Kind == kind && regions.back().To + 1 == from) {
            regions.back().To = to;
        } else {
            regions.push_back({from, to, kind});
        }
    }
    return regions;
}

std::vector<AsmPlaced> FileAssembler::BuildPlaced() const {
    std::vector<AsmPlaced> placed;
    for (size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        if (line.Kind < 0 || line.Address < 0 || line.Bytes.empty()) continue;
        placed.push_back({static_cast<int>(i + 1), static_cast<uint16_t>(line.Address),
                          static_cast<uint16_t>(line.Bytes.size()),
                          static_cast<AsmRegionKind>(line.Kind)});
    }
    return placed;
}

std::string FileAssembler::BuildListing() const {
    std::string out;
    char head[64];
    for (size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        std::string bytes;
        size_t shown = 0;
        for (; shown < line.Bytes.size() && shown < 4; ++shown) {
            std::snprintf(head, sizeof head, "%02X", line.Bytes[shown]);
            bytes += head;
        }
        if (line.ShowsValue) {
            std::snprintf(head, sizeof head, "%5zu  =%04X  %-8s  ", i + 1, line.Value, "");
        } else if (line.Address >= 0 && line.Address < kAddressSpace && !line.Tokens.empty() &&
                   line.Tokens[0].Kind != AsmTokenKind::End) {
            std::snprintf(head, sizeof head, "%5zu   %04X  %-8s  ", i + 1, line.Address,
                          bytes.c_str());
        } else {
            std::snprintf(head, sizeof head, "%5zu   %4s  %-8s  ", i + 1, "", "");
        }
        out += head;
        out += line.Text;
        out += '\n';
        // Longer data continues on lines of its own, four bytes each.
        for (size_t at = shown; at < line.Bytes.size(); at += 4) {
            std::string more;
            for (size_t k = at; k < line.Bytes.size() && k < at + 4; ++k) {
                std::snprintf(head, sizeof head, "%02X", line.Bytes[k]);
                more += head;
            }
            std::snprintf(head, sizeof head, "%5s   %04X  %s\n", "",
                          static_cast<unsigned>((line.Address + static_cast<int32_t>(at)) & 0xFFFF),
                          more.c_str());
            out += head;
        }
    }
    return out;
}

std::string FileAssembler::BuildSymbols() const {
    std::string out;
    for (const auto& [name, symbol] : symbols_) {
        std::string line = name;
        if (line.size() < 16) line.resize(16, ' ');
        out += line + " EQU " + Hex16(symbol.Value) + "\n";
    }
    return out;
}
}  // namespace assembler
