#include "frontend/CommandLine.h"

#include <filesystem>
#include <string_view>

#include "host/config/ConfigLocation.h"

namespace {

constexpr std::string_view kConfigOption = "--config";

std::string Absolute(const std::string& path) {
    std::error_code ec;
    auto absolute = std::filesystem::absolute(path, ec);
    return ec ? path : absolute.lexically_normal().string();
}

}  // namespace

CommandLine CommandLine::Parse(int argc, const char* const* argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i] != nullptr ? argv[i] : "");
    return Parse(args);
}

CommandLine CommandLine::Parse(const std::vector<std::string>& args) {
    CommandLine line;
    const config::ConfigPlace place = config::DefaultConfigPlace();
    line.configPath = place.path;
    line.configDelivered = place.delivered;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded) {
            line.arguments.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string value;
        if (arg == kConfigOption) {
            if (i + 1 >= args.size()) {
                line.error = "--config needs the path of a configuration file";
                continue;
            }
            value = args[++i];
        } else if (arg.rfind(std::string(kConfigOption) + "=", 0) == 0) {
            value = arg.substr(kConfigOption.size() + 1);
        } else {
            line.arguments.push_back(arg);
            continue;
        }
        if (value.empty()) {
            line.error = "--config needs the path of a configuration file";
            continue;
        }
        line.configPath = Absolute(value);
        line.configDelivered.clear();
    }
    return line;
}
