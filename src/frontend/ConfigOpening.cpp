#include "frontend/ConfigOpening.h"

#include "host/config/ConfigLocation.h"

ConfigOpening OpenConfiguration(const CommandLine& commandLine, config::ConfigDocument& document) {
    ConfigOpening opening;
    std::string error;
    if (!config::PrepareConfigFile({commandLine.configPath, commandLine.configDelivered}, error)) {
        opening.title = config::kConfigErrorMessage.title;
        opening.text = "Config file cannot be created!";
        opening.detail = error;
        return opening;
    }
    const config::ConfigLoadResult loaded = document.Load(commandLine.configPath);
    if (const config::StartupMessage* message = config::StartupMessageFor(loaded)) {
        opening.title = message->title;
        opening.text = message->text;
        opening.detail = "File: " + commandLine.configPath;
        return opening;
    }
    opening.usable = true;
    return opening;
}
