#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "emulator/Machine.h"
#include "host/config/ConfigDocument.h"
#include "host/config/Settings.h"
#include "support/MachineTestAccess.h"
#include "support/SilentAudio.h"
#include "support/TempFolder.h"

// A small ROM for tests: code placed at the start of page FF (the image's last 4 KB), where the
// processor starts after reset.
class TestRom {
  public:
    TestRom() : image_(16384, 0xFF) {}
    // Appends code at the current position of page FF.
    TestRom& Code(std::initializer_list<uint8_t> bytes) {
        for (uint8_t b : bytes) image_[0x3000 + at_++] = b;
        return *this;
    }
    uint16_t Here() const { return static_cast<uint16_t>(at_); }
    // Maps window 0 to ROM page FF (the code keeps running) and windows 1-F to RAM pages E1-EF,
    // then switches paging on.
    TestRom& MapRam() {
        Code({0x3E, 0xFF, 0xD3, 0xE0});
        for (int w = 1; w < 16; ++w)
            Code({0x3E, static_cast<uint8_t>(0xE0 + w), 0xD3, static_cast<uint8_t>(0xE0 + w)});
        return Code({0xD3, 0xD8});
    }
    // Fills `count` bytes from `address` with `value`.
    TestRom& Fill(uint16_t address, uint16_t count, uint8_t value) {
        Code({0x21, static_cast<uint8_t>(address), static_cast<uint8_t>(address >> 8),  // LXI H
              0x01, static_cast<uint8_t>(count), static_cast<uint8_t>(count >> 8)});    // LXI B
        uint16_t loop = Here();
        return Code({0x36, value, 0x23, 0x0B, 0x78, 0xB1, 0xC2, static_cast<uint8_t>(loop),
                     static_cast<uint8_t>(loop >> 8)});  // MVI M; INX H; DCX B; MOV A,B; ORA C; JNZ
    }
    TestRom& Jump(uint16_t address) {
        return Code({0xC3, static_cast<uint8_t>(address), static_cast<uint8_t>(address >> 8)});
    }
    // HLT, then back to it for ever.
    TestRom& HaltLoop() {
        uint16_t here = Here();
        return Code({0x76}).Jump(here);
    }
    const std::vector<uint8_t>& Image() const { return image_; }

  private:
    std::vector<uint8_t> image_;
    int at_ = 0;
};

// A machine built from the delivered configuration, with its ROM replaced by one the test wrote.
class MachineFixture : public ::testing::Test {
  protected:
    void LoadConfiguration(const TestRom& rom) {
        std::string text = testing_support::ReadFile(TEVRIN_DELIVERED_CONFIG);
        ASSERT_EQ(document.LoadFromText(text), config::ConfigLoadResult::Usable);
        settings = std::make_unique<config::Settings>(document);
        const std::vector<uint8_t>& image = rom.Image();
        romPath = folder.Write("test.rom", std::string(image.begin(), image.end()));
        settings->SetPath(config::keys::kRomFile, romPath);
    }

    void Build(const TestRom& rom) {
        ASSERT_NO_FATAL_FAILURE(LoadConfiguration(rom));
        machine = std::make_unique<Machine>(*settings, SilentAudio());
        machine->ApplySettings(config::GroupSet::All());
        machine->WarmReset();
        machine->SetThrottled(false);
    }

    // Runs `periods` 2 ms periods on this thread.
    void RunPeriods(int periods) {
        machine->SetPaused(false);
        for (int i = 0; i < periods; ++i) machine->CpuTimerEvent();
    }

    testing_support::TempFolder folder;
    config::ConfigDocument document;
    std::unique_ptr<config::Settings> settings;
    std::string romPath;
    std::unique_ptr<Machine> machine;
};
