#pragma once

#include <string>
#include <vector>

// A failure the user is told of: language keys of the text and the title, the values put in
// for "%1" and "%2", and whether it is a warning rather than an error. Empty keys: no failure.
struct TapeMessage {
    std::string messageKey;
    std::string titleKey;
    std::vector<std::string> inserted;
    bool warning = false;

    explicit operator bool() const { return !messageKey.empty(); }

    static TapeMessage Make(const std::string& name, std::vector<std::string> values,
                            bool warning = false) {
        return {"err." + name + ".Message", "err." + name + ".Title", std::move(values), warning};
    }
};
