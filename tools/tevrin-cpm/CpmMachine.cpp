#include "CpmMachine.h"

#include <cstdio>

#include "machine/ChipCpu8080P.h"

CpmMachine::CpmMachine(bool machineTiming) : memory_(organizer_) {
    memory_.AllocatePages(0xE0, 16, false);
    for (int window = 0; window < 16; ++window) {
        organizer_.SetPageRegister(window, static_cast<uint8_t>(0xE0 + window));
    }
    organizer_.EnablePaging();
    if (machineTiming) {
        cpu_ = std::make_unique<ChipCpu8080P>(memory_);
    } else {
        cpu_ = std::make_unique<ChipCpu8080>(memory_);
    }
    console_ = std::make_unique<CpmConsole>(*cpu_);
    cpu_->AttachPort(0x00, 0xFE, false, console_.get());
}

bool CpmMachine::Load(const std::vector<uint8_t>& program) {
    if (program.size() > 0x10000u - kLoadAddress) return false;
    for (size_t i = 0; i < program.size(); ++i) {
        memory_.Write(static_cast<uint16_t>(kLoadAddress + i), program[i]);
    }
    // Warm boot: OUT 0 ends the run. BDOS entry: OUT 1 serves the call, RET returns from it.
    const uint8_t warmBoot[] = {0xD3, 0x00};
    const uint8_t bdos[] = {0xD3, 0x01, 0xC9};
    for (size_t i = 0; i < sizeof warmBoot; ++i)
        memory_.Write(static_cast<uint16_t>(i), warmBoot[i]);
    for (size_t i = 0; i < sizeof bdos; ++i) memory_.Write(static_cast<uint16_t>(5 + i), bdos[i]);
    cpu_->PC = kLoadAddress;
    return true;
}

CpmMachine::Outcome CpmMachine::Run(uint64_t maxCycles, void (*onOutput)(const std::string&)) {
    // Runs in slices; the processor's 32-bit period counter is rebased after each by an even
    // amount, so the machine timing's odd-tick rule is unaffected.
    constexpr int32_t kSlice = 1 << 20;
    while (!console_->Finished()) {
        int32_t budget = kSlice;
        if (maxCycles != 0 && maxCycles - cycles_ < static_cast<uint64_t>(kSlice)) {
            budget = static_cast<int32_t>(maxCycles - cycles_);
        }
        int32_t before = cpu_->PeriodTicks;
        instructions_ += static_cast<uint64_t>(cpu_->Run(before + budget));
        int32_t elapsed = cpu_->PeriodTicks - before;
        cycles_ += static_cast<uint64_t>(elapsed);
        cpu_->PeriodTicks -= elapsed & ~1;
        if (onOutput != nullptr) {
            std::string text = console_->TakeOutput();
            if (!text.empty()) onOutput(text);
        }
        if (cpu_->PortFault || memory_.Fault()) return Outcome::Fault;
        if (maxCycles != 0 && cycles_ >= maxCycles && !console_->Finished()) {
            return Outcome::OutOfCycles;
        }
    }
    return Outcome::Finished;
}

std::string CpmMachine::FaultDescription() const {
    char text[96];
    if (cpu_->PortFault) {
        std::snprintf(text, sizeof text, "port fault: %s port %02X at %04X",
                      cpu_->FaultPortWrite ? "OUT to" : "IN from", cpu_->FaultPort, cpu_->PC);
    } else {
        std::snprintf(text, sizeof text, "memory fault: %s %04X at %04X",
                      memory_.FaultWrite ? "write to" : "read from", memory_.FaultAddress,
                      cpu_->PC);
    }
    return text;
}
