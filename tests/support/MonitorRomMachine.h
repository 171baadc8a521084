#pragma once

#include "support/SilentAudio.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "emulator/Machine.h"
#include "emulator/SpeedControl.h"
#include "frontend/HostKeyboard.h"
#include "frontend/HostTyping.h"
#include "frontend/MachineChoices.h"
#include "host/config/ConfigDocument.h"
#include "host/config/Settings.h"
#include "support/MachineTestAccess.h"
#include "support/TempFolder.h"

namespace testing_support {

// The whole machine as the program builds it from (a copy of) the delivered configuration,
// running the built monitor ROM unthrottled, with the speaker's level changes recorded on an
// absolute tick scale and text typed as the headless runner types it.
class MonitorRomMachine {
  public:
    // Where the monitor keeps the text it shows: 32 rows of 32 characters.
    static constexpr uint16_t kTextBuffer = 0x9C00;
    static constexpr int64_t kTicksPerMs = speed::kTicksPerPeriod / speed::kPeriodMs;

    struct LevelChange {
        int64_t tick;
        int level;
    };

    // `configure` may change settings (clock options, ...) before the machine is built; `audio`
    // opens its sound device (none by default).
    explicit MonitorRomMachine(const std::function<void(config::Settings&)>& configure = {},
                               SoundDriver::StreamOpener audio = SilentAudio()) {
        // The document saves itself when changed: never the delivered file.
        const std::string copy = folder_.Write(
            "TevrinEmu.xml", ReadFile(std::string(TEVRIN_BIN_DIR) + "/TevrinEmu.xml"));
        EXPECT_EQ(document_.Load(copy), config::ConfigLoadResult::Usable);
        settings_ = std::make_unique<config::Settings>(document_);
        settings_->SetPath(config::keys::kRomFile, std::string(TEVRIN_BIN_DIR) + "/tevrin.rom");
        if (configure) configure(*settings_);
        machine_ = std::make_unique<Machine>(*settings_, std::move(audio));
        frontend::KeepMachineChoices(*machine_, *settings_);
        machine_->ApplySettings(config::GroupSet::All());
        keyboard_.ApplySettings(*settings_, config::GroupSet::All());
        MachineTestAccess::SystemPio(*machine_).SetSpeakerOutput(
            SoundLevelOutput::Bind<&MonitorRomMachine::OnSpeaker>(this));
        machine_->WarmReset();
        machine_->SetThrottled(false);
        machine_->SetPeriodHook(Closure<void()>::Bind<&MonitorRomMachine::OnPeriod>(this));
        machine_->SetPaused(false);
    }
    ~MonitorRomMachine() {
        machine_->SetPaused(true);
        ShuttingDown = true;
        machine_.reset();
        ShuttingDown = false;
    }

    Machine& M() { return *machine_; }
    // The host keyboard the period scans into the machine.
    HostKeyboardState& Keys() { return keyboard_.Keys(); }

    // Connects the SD-ROM module through the configuration, as the settings dialog does, its
    // card the folder `root`.
    void ConnectSdRom(const std::string& root) {
        settings_->Set(config::keys::kSdRomConnected, true);
        settings_->SetPath(config::keys::kSdRomRootPath, root);
        settings_->Set(config::keys::kSdRomCurrentFolder, std::string());
        machine_->ApplySettings({config::Group::SdRomConnected});
    }
    config::Settings& Settings() { return *settings_; }
    int64_t NowMs() const { return machine_->EmulatedTicks() / kTicksPerMs; }

    // Runs whole periods until `ms` of emulated time have passed; false on a machine fault.
    bool RunUntilMs(int64_t ms) {
        while (NowMs() < ms) {
            machine_->CpuTimerEvent();
            if (machine_->FaultPending()) return false;
        }
        return true;
    }
    bool RunForMs(int64_t ms) { return RunUntilMs(NowMs() + ms); }

    // Types `text` from now on (40 ms down, 40 ms up a key) and runs until `settleMs` after the
    // last key is up.
    bool Type(const std::string& text, int64_t settleMs = 1500) {
        typist_ = std::make_unique<HostTypist>(text, NowMs() + 10);
        const int64_t end = typist_->EndMs() + settleMs;
        bool ok = RunUntilMs(end);
        typist_.reset();
        return ok;
    }
    // Holds one host key down for `ms`, then lets it go and runs `afterMs` more.
    bool Hold(uint8_t virtualKey, int64_t ms, int64_t afterMs = 200) {
        keyboard_.Keys().Press(virtualKey);
        bool ok = RunForMs(ms);
        keyboard_.Keys().Release(virtualKey);
        return ok && RunForMs(afterMs);
    }

    // The text buffer, one string of 32 characters a row.
    std::vector<std::string> Rows() const {
        std::vector<std::string> rows;
        for (int r = 0; r < 32; ++r) {
            std::string row;
            for (int c = 0; c < 32; ++c) {
                row.push_back(static_cast<char>(
                    machine_->MemoryView()->Peek(static_cast<uint16_t>(kTextBuffer + r * 32 + c))));
            }
            rows.push_back(row);
        }
        return rows;
    }
    // A row without its trailing blanks.
    std::string Row(int r) const {
        std::string row = Rows()[r];
        row.erase(row.find_last_not_of(' ') + 1);
        return row;
    }
    // The rows that are not blank, trailing blanks removed, top to bottom.
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        for (int r = 0; r < 32; ++r) {
            if (!Row(r).empty()) lines.push_back(Row(r));
        }
        return lines;
    }

    std::vector<LevelChange> speaker;

  private:
    void OnSpeaker(int channel, int level, int32_t tick) {
        if (channel != soundchannel::kSpeaker) return;
        // During a period EmulatedTicks() still counts the periods before it.
        const int64_t at = machine_->EmulatedTicks() + tick;
        if (!speaker.empty() && speaker.back().level == level) return;
        speaker.push_back({at, level});
    }
    void OnPeriod() {
        if (typist_) typist_->Update(NowMs(), keyboard_.Keys());
        keyboard_.ScanInto(*machine_);
    }

    TempFolder folder_;
    config::ConfigDocument document_;
    std::unique_ptr<config::Settings> settings_;
    std::unique_ptr<Machine> machine_;
    std::unique_ptr<HostTypist> typist_;
    HostKeyboard keyboard_;
};

}  // namespace testing_support
