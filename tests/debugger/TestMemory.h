#pragma once

#include <cstdint>
#include <initializer_list>

#include "machine/ChipMemory.h"
#include "machine/MemoryOrganizer.h"

// 64 KB of RAM seen through the paging unit (window n shows page n), with helpers to turn a
// window into ROM or leave it unmapped.
struct TestMemory {
    static constexpr uint8_t kRomPage = 0x40;
    static constexpr uint8_t kAbsentPage = 0x80;

    MemoryOrganizer organizer;
    ChipMemory memory{organizer};

    TestMemory() {
        memory.AllocatePages(0, 16, false);
        memory.AllocatePages(kRomPage, 1, true);
        for (int window = 0; window < 16; ++window) {
            organizer.SetPageRegister(window, static_cast<uint8_t>(window));
        }
        organizer.EnablePaging();
    }

    void Put(uint16_t address, std::initializer_list<uint8_t> bytes) {
        for (uint8_t b : bytes) {
            memory.PagePointer(Page(address))[address & 0x0FFF] = b;
            ++address;
        }
    }

    uint8_t At(uint16_t address) const { return memory.Peek(address); }

    void MapRom(int window) { organizer.SetPageRegister(window, kRomPage); }
    void Unmap(int window) { organizer.SetPageRegister(window, kAbsentPage); }

  private:
    int Page(uint16_t address) const { return organizer.MapPage(address); }
};
