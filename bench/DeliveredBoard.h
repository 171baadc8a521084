#pragma once

// The machine the delivered configuration builds with the built-in ROM, without an audio device
// (away from speed 1.0 the machine does not wait for one), for the benchmarks that run it.

#include <benchmark/benchmark.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>

#include "emulator/Machine.h"
#include "host/config/ConfigDocument.h"
#include "host/config/Settings.h"

struct DeliveredBoard {
    config::ConfigDocument document;
    std::unique_ptr<config::Settings> settings;
    std::unique_ptr<Machine> machine;

    // `adjust` changes settings before the machine is built and its settings applied.
    bool Build(benchmark::State& state,
               const std::function<void(config::Settings&)>& adjust = nullptr) {
        std::ifstream delivered(TEVRIN_DELIVERED_CONFIG);
        std::string text((std::istreambuf_iterator<char>(delivered)),
                         std::istreambuf_iterator<char>());
        const std::string romPath = std::string(TEVRIN_BIN_DIR) + "/tevrin.rom";
        if (document.LoadFromText(text) != config::ConfigLoadResult::Usable ||
            !std::ifstream(romPath)) {
            state.SkipWithError("delivered configuration or built-in ROM not found");
            return false;
        }
        settings = std::make_unique<config::Settings>(document);
        settings->SetPath(config::keys::kRomFile, romPath);
        if (adjust) adjust(*settings);
        machine = std::make_unique<Machine>(
            *settings,
            [](int, SoundStream::Fill) -> std::unique_ptr<SoundStream> { return nullptr; });
        machine->ApplySettings(config::GroupSet::All());
        return true;
    }
};
