#pragma once

#include <string>
#include <vector>

// What the user is told of a tape command: language keys of the text and the title, the values
// put in for "%1", "%2", ..., and whether it is a warning rather than an error, or no failure at
// all but what was done (`done`, a line on the status bar). Empty keys: nothing to tell.
struct TapeMessage {
    std::string messageKey;
    std::string titleKey;
    std::vector<std::string> inserted;
    bool warning = false;
    bool done = false;

    explicit operator bool() const { return !messageKey.empty(); }

    static TapeMessage Make(const std::string& name, std::vector<std::string> values,
                            bool warning = false) {
        return {"err." + name + ".Message", "err." + name + ".Title", std::move(values), warning};
    }
};
