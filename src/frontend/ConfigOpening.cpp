#include "frontend/ConfigOpening.h"

ConfigOpening OpenConfiguration(const config::ConfigPlace& place,
                                config::ConfigDocument& document) {
    ConfigOpening opening;
    std::string error;
    if (!config::PrepareConfigFile(place, error)) {
        opening.title = config::kConfigErrorMessage.title;
        opening.text = "Config file cannot be created!";
        opening.detail = error;
        return opening;
    }
    const config::ConfigLoadResult loaded = document.Load(place.path);
    if (const config::StartupMessage* message = config::StartupMessageFor(loaded)) {
        opening.title = message->title;
        opening.text = message->text;
        opening.detail = "File: " + place.path;
        return opening;
    }
    opening.usable = true;
    return opening;
}
