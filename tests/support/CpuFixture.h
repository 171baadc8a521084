#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "machine/ChipCpu8080.h"
#include "machine/ChipCpu8080P.h"
#include "machine/ChipMemory.h"
#include "machine/MemoryOrganizer.h"

// A port device that records what reaches it and answers reads with a programmable value.
class RecordingDevice : public PeripheralDevice {
  public:
    struct Access {
        bool write;
        uint8_t port;
        uint8_t value;
        int32_t ticks;
        bool operator==(const Access&) const = default;
    };

    void PortWrite(uint8_t port, uint8_t value, int32_t ticks) override {
        log.push_back({true, port, value, ticks});
    }
    uint8_t PortRead(uint8_t port, int32_t ticks) override {
        uint8_t value = static_cast<uint8_t>(readValue + port);
        log.push_back({false, port, value, ticks});
        return value;
    }
    void Reset(int32_t ticks) override { resets.push_back(ticks); }
    int DeviceType() const override { return 99; }

    std::vector<Access> log;
    std::vector<int32_t> resets;
    uint8_t readValue = 0x40;
};

// An interrupt unit that supplies a fixed instruction and records the processor's INTE output.
class FakeInterruptController : public InterruptController {
  public:
    uint8_t InterruptInstruction(int index) override {
        fetched.push_back(index);
        return bytes[index];
    }
    void SetInteInput(bool state) override { inteLog.push_back(state); }

    uint8_t bytes[3] = {0xCF, 0, 0};  // RST 1
    std::vector<int> fetched;
    std::vector<bool> inteLog;
};

// The processor over 64 KB of RAM (pages E0-EF, paging on) and the internal ROM pages FC-FF.
class CpuFixture : public ::testing::Test {
  protected:
    CpuFixture() : memory(organizer), cpu(memory) {
        memory.AllocatePages(0xFC, 4, true);
        memory.AllocatePages(0xE0, 16, false);
        for (int w = 0; w < 16; ++w) organizer.SetPageRegister(w, static_cast<uint8_t>(0xE0 + w));
        organizer.EnablePaging();
        cpu.SetMachineTiming(false);
    }

    void Poke(uint16_t address, std::initializer_list<uint8_t> bytes) {
        for (uint8_t b : bytes) memory.Write(address++, b);
    }
    uint8_t Peek(uint16_t address) { return memory.Peek(address); }

    // Places a program at `address`, points PC at it and runs `count` instructions.
    void RunProgram(uint16_t address, std::initializer_list<uint8_t> bytes, int count) {
        Poke(address, bytes);
        cpu.PC = address;
        for (int i = 0; i < count; ++i) cpu.Step();
    }

    MemoryOrganizer organizer;
    ChipMemory memory;
    ChipCpu8080P cpu;
};
