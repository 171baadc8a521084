#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "frontend/HostKeyboard.h"
#include "frontend/HostTyping.h"
#include "machine/ChipCpu8080P.h"
#include "machine/ChipMemory.h"
#include "machine/IfInterrupt.h"
#include "machine/IfSerial.h"
#include "machine/IfTape.h"
#include "machine/IfTimer.h"
#include "machine/MemoryLayout.h"
#include "machine/MemoryOrganizer.h"
#include "machine/ScreenTevrin.h"
#include "machine/SystemPIO.h"

namespace testing_support {

// The built monitor ROM on the machine's chips with the tape recorder on serial line 0, put
// together here from the hardware parts the way the machine assembly does it. `merged` lets the
// processor hand the tick listeners their ticks in merged calls (the fast path); without it
// every listener hears of every instruction.
class TapeRomMachine {
  public:
    static constexpr uint16_t kTextBuffer = 0x9C00;
    static constexpr int32_t kPeriod = 4000;  // ticks in 2 ms

    explicit TapeRomMachine(bool merged = true)
        : memory(organizer),
          cpu(memory),
          pio(SystemPIO::ScrollOutput::Bind<&ScreenTevrin::SetScroll>(&screen), &interrupts),
          serial(&interrupts),
          timer(&interrupts) {
        layout::BuildInternalMemory(
            memory, layout::ReadRomImage(std::string(TEVRIN_BIN_DIR) + "/tevrin.rom"));
        cpu.SetMachineTiming(true);
        screen.InstallColourWrite(memory);
        cpu.SetInterruptController(&interrupts);
        timer.ConnectSerial(&serial);
        cpu.AttachPort(0xE0, 0xE0, true, &organizer);
        cpu.AttachPort(0xD8, 0xFC, false, &organizer);
        cpu.AttachPort(0xCC, 0xFC, true, &screen);
        cpu.AttachPort(0xD4, 0xFC, false, &interrupts);
        cpu.AttachPort(0xC0, 0xFC, true, &pio);
        cpu.AttachPort(0xD0, 0xFC, false, &timer);
        cpu.AttachPort(0xC8, 0xFC, true, &serial);
        if (merged) {
            cpu.AddTickListener(TickListener::Bind<&IfTimer::OnTick>(&timer),
                                QuietQuery::Bind<&IfTimer::QuietTicks>(&timer));
            cpu.AddTickListener(TickListener::Bind<&IfSerial::OnTick>(&serial),
                                QuietQuery::Bind<&IfSerial::QuietTicks>(&serial));
            cpu.AddTickListener(TickListener::Bind<&IfInterrupt::OnTick>(&interrupts),
                                QuietQuery::Bind<&IfInterrupt::QuietTicks>(&interrupts));
        } else {
            cpu.AddTickListener(TickListener::Bind<&IfTimer::OnTickExact>(&timer));
            cpu.AddTickListener(TickListener::Bind<&IfSerial::OnTick>(&serial));
            cpu.AddTickListener(TickListener::Bind<&IfInterrupt::OnTick>(&interrupts));
        }
        tape.Attach(serial);
        // As the 8255 on its own did from the start, which these tests were written with.
        hostKeyboard_.SetChangeZY(true);
        cpu.RequestReset();
    }

    int64_t NowMs() const { return ticks_ / (kPeriod / 2); }

    // Runs whole periods until `ms` of emulated time have passed; false on a machine fault.
    bool RunUntilMs(int64_t ms) {
        while (NowMs() < ms) {
            cpu.Run(kPeriod);
            cpu.PeriodTicks -= kPeriod;
            ticks_ += kPeriod;
            if (cpu.PortFault || memory.Fault()) return false;
            if (++periods_ % 10 == 0) {
                if (typist_) typist_->Update(NowMs(), keyboard);
                pio.SetKeyMatrix(hostKeyboard_.Scan());
            }
        }
        return true;
    }
    bool RunForMs(int64_t ms) { return RunUntilMs(NowMs() + ms); }

    // Types `text` ("\r" is Enter) and runs until `settleMs` after the last key is up.
    bool Type(const std::string& text, int64_t settleMs = 300) {
        typist_ = std::make_unique<HostTypist>(text, NowMs() + 10);
        const bool ok = RunUntilMs(typist_->EndMs() + settleMs);
        typist_.reset();
        return ok;
    }
    // Runs until a row of the screen shows `text` or `limitMs` have passed.
    bool RunUntilShown(const std::string& text, int64_t limitMs) {
        const int64_t end = NowMs() + limitMs;
        while (NowMs() < end) {
            if (!RunForMs(20)) return false;
            for (const std::string& line : Lines()) {
                if (line.find(text) != std::string::npos) return true;
            }
        }
        return false;
    }

    // The rows of the screen's text that are not blank, trailing blanks removed.
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        for (int r = 0; r < 32; ++r) {
            std::string row;
            for (int c = 0; c < 32; ++c) {
                row.push_back(static_cast<char>(
                    memory.Peek(static_cast<uint16_t>(kTextBuffer + r * 32 + c))));
            }
            row.erase(row.find_last_not_of(' ') + 1);
            if (!row.empty()) lines.push_back(row);
        }
        return lines;
    }
    std::string LastLines(int count) const {
        std::vector<std::string> lines = Lines();
        std::string text;
        for (size_t i = lines.size() > static_cast<size_t>(count) ? lines.size() - count : 0;
             i < lines.size(); ++i) {
            text += lines[i] + "\n";
        }
        return text;
    }

    MemoryOrganizer organizer;
    ChipMemory memory;
    ChipCpu8080P cpu;
    ScreenTevrin screen;
    IfInterrupt interrupts;
    SystemPIO pio;
    IfSerial serial;
    IfTimer timer;
    IfTape tape;
    HostKeyboard hostKeyboard_;
    HostKeyboardState& keyboard = hostKeyboard_.Keys();

  private:
    int64_t ticks_ = 0;
    int64_t periods_ = 0;
    std::unique_ptr<HostTypist> typist_;
};

}  // namespace testing_support
