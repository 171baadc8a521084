#include "media/basic/BasicListing.h"

#include <algorithm>

#include "host/lang/TextDecoding.h"
#include "media/basic/BasicKeywords.h"

namespace basic {
namespace {

constexpr size_t kImageHead = 3;  // length word and 0x0D
constexpr size_t kEndMark = 2;
constexpr size_t kLineHead = 3;  // number and link
// The link byte counts from itself to the next line: the line's size - 2.
constexpr size_t kMaxStatementBytes = 0xFF - 2;
constexpr uint8_t kLineEnd = 0x0D, kQuote = 0x22;

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// The text is valid UTF-8 here (DecodeToUtf8 made it so).
std::u32string ToCodePoints(std::string_view utf8) {
    std::u32string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<uint8_t>(utf8[i]);
        const int extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
        char32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
        for (int k = 1; k <= extra && i + k < utf8.size(); ++k) {
            c = (c << 6) | (static_cast<uint8_t>(utf8[i + k]) & 0x3F);
        }
        out.push_back(c);
        i += 1 + extra;
    }
    return out;
}

bool Blank(char32_t c) {
    return c == U' ' || c == U'\t';
}

struct LineNumber {
    int64_t value = 0;  // saturated: beyond 32767 it only has to stay wrong
    std::string text;   // as written, without leading zeros ("0" for none)
    uint16_t stored = 0;
};

// Reads the digits at `pos`; any number of them, never more than the type holds.
LineNumber ParseNumber(const std::u32string& line, size_t& pos) {
    LineNumber n;
    uint32_t low16 = 0;
    for (; pos < line.size() && line[pos] >= U'0' && line[pos] <= U'9'; ++pos) {
        const int digit = static_cast<int>(line[pos] - U'0');
        n.value = std::min<int64_t>(n.value * 10 + digit, 1000000);
        low16 = (low16 * 10 + static_cast<uint32_t>(digit)) & 0xFFFF;
        if (!n.text.empty() || digit != 0) n.text.push_back(static_cast<char>('0' + digit));
    }
    if (n.text.empty()) n.text = "0";
    n.stored = static_cast<uint16_t>(low16);
    return n;
}

}  // namespace

std::string ExportListing(const uint8_t* image, size_t size) {
    std::string out;
    if (image == nullptr || size < kImageHead) return out;
    const size_t programEnd = std::min(size, kImageHead + (image[0] | image[1] << 8));
    size_t pos = kImageHead;
    while (pos + kLineHead <= programEnd) {
        out += std::to_string(image[pos] | image[pos + 1] << 8);
        out.push_back(' ');
        pos += kLineHead;
        while (pos < programEnd && image[pos] != 0x00 && image[pos] != kLineEnd) {
            const uint8_t byte = image[pos++];
            if (byte < kFirstToken) {
                out.push_back(static_cast<char>(byte));
            } else if (byte - kFirstToken < static_cast<int>(kKeywordCount)) {
                out += KeywordOf(byte);
            } else {
                // 0xF5..0xFF have no keyword: kept as the character of that code, so that an
                // import (which logs it) gives the same byte back.
                AppendUtf8(out, byte);
            }
        }
        ++pos;  // the line's end byte
        out += "\r\n";
    }
    return out;
}

ImportResult ImportListing(std::string_view text) {
    ImportResult result;
    std::vector<uint8_t>& image = result.image;
    image.assign(kImageHead, 0);
    const std::u32string all = ToCodePoints(text::DecodeToUtf8(text));
    auto log = [&result](const char* key, std::vector<std::string> values) {
        result.log.push_back({std::string("err.ImportBasic.") + key, std::move(values)});
    };

    LineNumber previous;
    size_t at = 0;
    while (true) {
        while (at < all.size() && (Blank(all[at]) || all[at] == U'\r' || all[at] == U'\n')) ++at;
        if (at >= all.size()) break;
        size_t end = at;
        while (end < all.size() && all[end] != U'\r' && all[end] != U'\n') ++end;
        const std::u32string line = all.substr(at, end - at);
        at = end;

        size_t pos = 0;
        const LineNumber number = ParseNumber(line, pos);
        while (pos < line.size() && Blank(line[pos])) ++pos;
        if (line.size() > kMaxLineCharacters) log("TooLongLine", {number.text});
        if (number.value < 1 || number.value > 32767) log("WrongLineNumber", {number.text});
        if (number.value < previous.value) log("WrongLineOrder", {number.text, previous.text});
        if (line.size() - pos < 3) log("ShortLine", {number.text});
        previous = number;

        std::vector<uint8_t> bytes;
        bool quoted = false, foreign = false;
        while (pos < line.size()) {
            uint8_t code = quoted ? 0 : MatchKeyword(line, pos);
            if (code == 0) {
                const char32_t c = line[pos++];
                // The machine's characters are the codes below 0x80; anything else is stored
                // as its low 8 bits like the interpreter's own input would, but not silently.
                // A NUL would end the line early for whoever reads it.
                if (c >= 0x80 || c == 0) foreign = true;
                code = static_cast<uint8_t>(c & 0xFF);
            }
            bytes.push_back(code);
            if (code == kQuote) quoted = !quoted;
        }
        if (foreign) log("ForeignCharacter", {number.text});
        if (bytes.size() > kMaxStatementBytes) {
            // Its link byte could not reach the next line: storing it would break the program.
            log("LineNotStored", {number.text});
            continue;
        }
        if (image.size() + kLineHead + bytes.size() + 1 + kEndMark > kMaxProgramImage) {
            log("ProgramTooLarge", {number.text, std::to_string(kMaxProgramImage)});
            break;
        }
        image.push_back(static_cast<uint8_t>(number.stored));
        image.push_back(static_cast<uint8_t>(number.stored >> 8));
        image.push_back(static_cast<uint8_t>(bytes.size() + 2));
        image.insert(image.end(), bytes.begin(), bytes.end());
        image.push_back(kLineEnd);
    }
    const size_t length = image.size() - kImageHead;
    image[0] = static_cast<uint8_t>(length);
    image[1] = static_cast<uint8_t>(length >> 8);
    image[2] = kLineEnd;
    image.push_back(0x00);
    image.push_back(0xFF);
    return result;
}

std::string FormatLog(const std::vector<LogEntry>& log, const LogText& text) {
    std::string out;
    for (const LogEntry& entry : log) {
        const std::string a = entry.values.empty() ? "" : entry.values[0];
        const std::string b = entry.values.size() < 2 ? "" : entry.values[1];
        out += text(entry.key, a, b);
        out += "\r\n";
    }
    return out;
}

}  // namespace basic
