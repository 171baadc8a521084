#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

// What every program of the project shares on its command line: the numbers it reads (one
// notation for an address everywhere, the debugger's and the assembler's: 0x1234, #1234, 1234H
// or decimal) and how a parse ends (help on standard output with status 0; a refusal named by
// its option, the help after it, on standard error with the program's usage status).
// Header-only and below every layer, so the tools link nothing more for it.
namespace cli {

// A number in any of the notations; with `kilo`, a trailing K counts 1024s. Nothing else is
// taken: no sign, no blanks, no octal (strtoull's leading 0 would read 010 as 8).
inline std::optional<uint64_t> ReadNumber(std::string text, bool kilo = false) {
    uint64_t scale = 1;
    if (kilo && !text.empty() && (text.back() == 'K' || text.back() == 'k')) {
        scale = 1024;
        text.pop_back();
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.erase(0, 2);
    } else if (text.size() > 1 && text[0] == '#') {
        base = 16;
        text.erase(0, 1);
    } else if (text.size() > 1 && (text.back() == 'H' || text.back() == 'h')) {
        base = 16;
        text.pop_back();
    }
    if (text.empty()) return std::nullopt;
    uint64_t value = 0;
    for (const char c : text) {
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                 : 99;
        if (digit >= base) return std::nullopt;
        if (value > (UINT64_MAX - static_cast<uint64_t>(digit)) / static_cast<uint64_t>(base)) {
            return std::nullopt;
        }
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    }
    if (value > UINT64_MAX / scale) return std::nullopt;
    return value * scale;
}

// A transform: the option's text becomes its value in decimal, which CLI11 then stores in the
// option's integer; anything else, or a value outside min..max, is refused with `what` (the
// option's name goes before it).
inline CLI::Validator Number(uint64_t min, uint64_t max, std::string what, bool kilo = false) {
    return CLI::Validator(
        [=](std::string& text) -> std::string {
            const std::optional<uint64_t> value = ReadNumber(text, kilo);
            if (!value || *value < min || *value > max) return "needs " + what + ", not " + text;
            text = std::to_string(*value);
            return {};
        },
        "", "number");
}

// Where an address is asked for; `max` for a program that knows a tighter end.
inline CLI::Validator Address(uint32_t max = 0xFFFF) {
    char end[16];
    std::snprintf(end, sizeof end, max > 0x9FFF ? "0%XH" : "%XH", max);
    return Number(0, max,
                  std::string("an address from 0 to ") + end + " (1234, 0x1234, #1234 or 1234H)");
}

// A positional's name says what it is (SOURCE, TAPE); CLI11's "TEXT" after it would not.
// A program whose description writes its own usage lines (one per mode) goes without CLI11's.
class Formatter : public CLI::Formatter {
  public:
    explicit Formatter(bool usageLine) : usageLine_(usageLine) {}
    std::string make_option_opts(const CLI::Option* option) const override {
        return option->get_positional() ? std::string() : CLI::Formatter::make_option_opts(option);
    }
    std::string make_usage(const CLI::App* app, std::string name) const override {
        return usageLine_ ? CLI::Formatter::make_usage(app, name) : std::string();
    }

  private:
    bool usageLine_;
};

// The project's look for every program's help (subcommands made after it take it too).
inline void Style(CLI::App& app, bool usageLine = true) {
    auto formatter = std::make_shared<Formatter>(usageLine);
    formatter->label("Usage", "usage");
    formatter->label("OPTIONS", "OPTIONS");
    formatter->label("REQUIRED", "(required)");
    formatter->column_width(26);
    app.formatter(formatter);
    app.set_help_flag("-h,--help", "this text");
}

// Parses args (args[0] is the program's name). Returns the status to end with, or nothing when
// the program goes on.
inline std::optional<int> Parse(CLI::App& app, const std::vector<std::string>& args,
                                std::ostream& out, std::ostream& err, int usageStatus) {
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    if (!reversed.empty()) reversed.pop_back();
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return 0;
    } catch (const CLI::ParseError& e) {
        err << app.get_name() << ": " << e.what() << "\n" << app.help();
        return usageStatus;
    }
    return std::nullopt;
}

}  // namespace cli
