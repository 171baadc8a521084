#pragma once

#include <string>

#include "host/config/ConfigDocument.h"
#include "host/config/ConfigLocation.h"

// The configuration opened at start, the same for the window and the headless runner: the
// user's file made from the delivered one when this is the first start, then loaded. What went
// wrong is shown before any language is loaded, so its texts are fixed.
struct ConfigOpening {
    bool usable = false;
    std::string title;   // the message box's title
    std::string text;    // its text
    std::string detail;  // which file, and why when known
};

ConfigOpening OpenConfiguration(const config::ConfigPlace& place, config::ConfigDocument& document);
