#include <gtest/gtest.h>

#include <cerrno>

#include <array>
#include <cstdio>
#include <fstream>
#include <random>

#include "machine/ChipMemory.h"
#include "machine/MemoryLayout.h"
#include "machine/MemoryOrganizer.h"

namespace {

class Memory : public ::testing::Test {
  protected:
    Memory() : memory(organizer) {}

    void MapAllRam() {
        ASSERT_TRUE(memory.AllocatePages(0xE0, 16, false));
        for (int w = 0; w < 16; ++w) organizer.SetPageRegister(w, static_cast<uint8_t>(0xE0 + w));
        organizer.EnablePaging();
    }

    MemoryOrganizer organizer;
    ChipMemory memory;
};

TEST_F(Memory, BeforePagingEveryAddressShowsTheLastRomPage) {
    std::array<uint8_t, 4 * 4096> rom{};
    for (size_t i = 0; i < rom.size(); ++i) rom[i] = static_cast<uint8_t>(i * 7 + i / 4096);
    ASSERT_TRUE(memory.AllocatePages(0xFC, 4, true));
    ASSERT_TRUE(memory.LoadPages(0xFC, rom.data(), static_cast<int>(rom.size())));
    EXPECT_EQ(memory.Read(0x0000), rom[3 * 4096]);
    EXPECT_EQ(memory.Read(0xF000), rom[3 * 4096]);
    EXPECT_EQ(memory.Read(0x7123), rom[3 * 4096 + 0x123]);
    EXPECT_FALSE(memory.Fault());

    memory.Write(0x1234, 0x00);  // ROM: every write faults until paging is on
    EXPECT_TRUE(memory.Fault());
    EXPECT_TRUE(memory.FaultWrite);
    EXPECT_EQ(memory.FaultAddress, 0x1234);
    EXPECT_EQ(memory.Read(0x1234), rom[3 * 4096 + 0x234]) << "ROM unchanged";
}

// The one-block view the processor reads through: it follows the page registers window by
// window (the same page may show twice), sees every write to a page at once, and is withdrawn
// while a window shows absent memory or a fault is pending.
TEST_F(Memory, ViewShowsTheMappedPagesAsOneBlock) {
    MapAllRam();
    ASSERT_TRUE(memory.AllocatePages(0xFC, 4, true));
    organizer.SetPageRegister(0x3, 0xFD);
    organizer.SetPageRegister(0x4, 0xE9);
    organizer.SetPageRegister(0xF, 0xE9);
    const uint8_t* view = memory.View();
    ASSERT_NE(view, nullptr) << "memfd and mmap are available on every Linux this runs on";
    memory.PagePointer(0xFD)[0x123] = 0x5A;
    memory.Write(0x9FFF, 0xA5);  // page E9, shown in windows 4, 9 and F
    EXPECT_EQ(view[0x3123], 0x5A);
    EXPECT_EQ(view[0x4FFF], 0xA5);
    EXPECT_EQ(view[0xFFFF], 0xA5);
    EXPECT_EQ(view[0x2000], 0x00);

    organizer.SetPageRegister(0x7, 0x40);  // nothing there
    EXPECT_EQ(memory.View(), nullptr);
    organizer.SetPageRegister(0x7, 0xE7);
    EXPECT_EQ(memory.View(), view);
    memory.Write(0x3000, 1);  // ROM
    ASSERT_TRUE(memory.Fault());
    EXPECT_EQ(memory.View(), nullptr);
    memory.ClearFault();
    EXPECT_EQ(memory.View(), view);
    EXPECT_EQ(view[0x3000], 0xFF) << "the ROM write left the page as it was";
}

TEST_F(Memory, PageRegistersReadBackInvertedOnlyWithPagingOn) {
    organizer.PortWrite(0xE5, 0x12, 0);
    EXPECT_EQ(organizer.PortRead(0xE5, 0), 0xFF);
    EXPECT_FALSE(organizer.PagingOn());
    EXPECT_EQ(organizer.PortRead(0xD9, 0), 0xFF);  // touching D8-DB switches paging on
    EXPECT_TRUE(organizer.PagingOn());
    EXPECT_EQ(organizer.PortRead(0xE5, 0), 0xED);
    organizer.PortWrite(0xF3, 0xE7, 0);  // F0-FF reach the same registers
    EXPECT_EQ(organizer.PageRegister(3), 0xE7);
    EXPECT_EQ(organizer.PortRead(0xE3, 0), 0x18);
    organizer.Reset(0);
    EXPECT_FALSE(organizer.PagingOn());
    EXPECT_EQ(organizer.PageRegister(5), 0xFF);
}

TEST_F(Memory, WritingAnyPagingPortSwitchesPagingOnAndRemapsTheWindows) {
    ASSERT_TRUE(memory.AllocatePages(0xE0, 16, false));
    organizer.PortWrite(0xE0, 0xE3, 0);
    memory.Write(0x0010, 0x55);  // still mapped to page FF: absent here
    EXPECT_TRUE(memory.Fault());
    memory.ClearFault();
    organizer.PortWrite(0xDA, 0x00, 0);
    memory.Write(0x0010, 0x55);
    EXPECT_FALSE(memory.Fault());
    EXPECT_EQ(memory.PagePointer(0xE3)[0x10], 0x55);
}

TEST_F(Memory, WordAccessWrapsAtTheTopOfTheAddressSpace) {
    MapAllRam();
    memory.WriteWord(0xFFFF, 0xBEEF);
    EXPECT_EQ(memory.Read(0xFFFF), 0xEF);
    EXPECT_EQ(memory.Read(0x0000), 0xBE);
    EXPECT_EQ(memory.ReadWord(0xFFFF), 0xBEEF);
}

TEST_F(Memory, WordAccessStopsAtItsFirstFault) {
    MapAllRam();
    organizer.SetPageRegister(0x1, 0x30);  // 1000-1FFF absent
    memory.Write(0x0FFF, 0x11);
    memory.WriteWord(0x0FFF, 0xAABB);  // low byte lands, high byte faults
    EXPECT_EQ(memory.Read(0x0FFF), 0xBB);
    EXPECT_TRUE(memory.Fault());
    EXPECT_EQ(memory.FaultAddress, 0x1000);
    memory.ClearFault();
    EXPECT_EQ(memory.ReadWord(0x1FFF), 0x00FF) << "the failed low read is the whole result";
    EXPECT_EQ(memory.FaultAddress, 0x1FFF);
    EXPECT_EQ(memory.Peek(0x1000), 0xFF);
}

struct HookRecorder {
    bool Hook(uint8_t* page, uint16_t offset, uint8_t value) {
        calls.push_back({page, offset, value});
        return claim;
    }
    struct Call {
        uint8_t* page;
        uint16_t offset;
        uint8_t value;
    };
    std::vector<Call> calls;
    bool claim = true;
};

TEST_F(Memory, WriteHookSeesOnlyTheGreenPlanePages) {
    MapAllRam();
    HookRecorder recorder;
    auto previous =
        memory.SetWriteHook(ChipMemory::WriteHook::Bind<&HookRecorder::Hook>(&recorder));
    EXPECT_FALSE(static_cast<bool>(previous));

    memory.Write(0xA010, 0x5A);  // page EA
    memory.Write(0xB020, 0x5B);  // page EB
    memory.Write(0x6000, 0x66);  // red plane: not hooked
    ASSERT_EQ(recorder.calls.size(), 2u);
    EXPECT_EQ(recorder.calls[0].page, memory.PagePointer(0xEA));
    EXPECT_EQ(recorder.calls[0].offset, 0x010);
    EXPECT_EQ(recorder.calls[1].value, 0x5B);
    EXPECT_EQ(memory.PagePointer(0xEA)[0x10], 0x00) << "a claiming hook stores for the memory";
    EXPECT_EQ(memory.Read(0x6000), 0x66);

    recorder.claim = false;
    memory.Write(0xA011, 0x77);
    EXPECT_EQ(memory.PagePointer(0xEA)[0x11], 0x77);

    auto mine = memory.SetWriteHook(previous);
    EXPECT_TRUE(static_cast<bool>(mine));
    memory.Write(0xA012, 0x78);
    EXPECT_EQ(recorder.calls.size(), 3u);
    EXPECT_EQ(memory.PagePointer(0xEA)[0x12], 0x78);
}

TEST_F(Memory, ADisarmedWriteHookIsLeftOut) {
    MapAllRam();
    HookRecorder recorder;
    memory.SetWriteHook(ChipMemory::WriteHook::Bind<&HookRecorder::Hook>(&recorder));
    memory.SetWriteHookArmed(false);
    memory.Write(0xA000, 0x12);
    EXPECT_TRUE(recorder.calls.empty());
    EXPECT_EQ(memory.PagePointer(0xEA)[0], 0x12) << "stored as ordinary RAM";
    memory.SetWriteHookArmed(true);
    memory.Write(0xA001, 0x34);
    ASSERT_EQ(recorder.calls.size(), 1u);
    EXPECT_EQ(recorder.calls[0].value, 0x34);
}

TEST_F(Memory, AllocationRefusesOverlapsAndBadRanges) {
    EXPECT_TRUE(memory.AllocatePages(0x10, 4, false));
    EXPECT_FALSE(memory.AllocatePages(0x12, 4, false)) << "overlaps";
    EXPECT_EQ(memory.PagePointer(0x14), nullptr) << "a refused allocation changes nothing";
    EXPECT_FALSE(memory.AllocatePages(-1, 1, false));
    EXPECT_FALSE(memory.AllocatePages(0, 0, false));
    EXPECT_FALSE(memory.AllocatePages(0xFF, 2, false));
    EXPECT_FALSE(memory.AllocatePages(0, 257, false));
    EXPECT_TRUE(memory.AllocatePages(0xFF, 1, true));
    EXPECT_EQ(memory.PagePointer(0xFF)[0], 0xFF) << "ROM starts erased";
    EXPECT_EQ(memory.PagePointer(0x11)[5], 0x00) << "RAM starts zeroed";
    EXPECT_EQ(memory.PagePointer(0x11), memory.PagePointer(0x10) + 4096) << "one block";
    EXPECT_EQ(memory.PagePointer(256), nullptr);
}

TEST_F(Memory, FreeingPartOfABlockNeverLeavesPagesPointingAtFreedStorage) {
    ASSERT_TRUE(memory.AllocatePages(0x20, 4, false));
    EXPECT_TRUE(memory.FreePages(0x20, 1));  // the block's first page owns the storage
    for (int p = 0x20; p < 0x24; ++p) {
        EXPECT_EQ(memory.PagePointer(p), nullptr) << p;
        EXPECT_TRUE(memory.IsReadOnly(p));
    }
    EXPECT_TRUE(memory.AllocatePages(0x20, 4, false));
    EXPECT_TRUE(memory.FreePages(0x22, 2));  // the tail only: storage stays with the head
    EXPECT_NE(memory.PagePointer(0x21), nullptr);
    EXPECT_EQ(memory.PagePointer(0x22), nullptr);
    EXPECT_FALSE(memory.FreePages(0x00, 0));
}

TEST_F(Memory, LoadAndSaveCrossPagesAndCheckTheirRange) {
    ASSERT_TRUE(memory.AllocatePages(0xF8, 4, true));
    std::vector<uint8_t> data(5000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i);
    EXPECT_TRUE(memory.LoadPages(0xF8, data.data(), 5000)) << "read-only pages still load";
    std::vector<uint8_t> back(5000);
    EXPECT_TRUE(memory.SavePages(back.data(), 0xF8, 5000));
    EXPECT_EQ(back, data);
    EXPECT_FALSE(memory.LoadPages(0xFB, data.data(), 5000)) << "would need page FC";
    EXPECT_FALSE(memory.LoadPages(0xF8, nullptr, 10));
    EXPECT_FALSE(memory.LoadPages(0xF8, data.data(), 0));
    EXPECT_FALSE(memory.SavePages(back.data(), 0x00, 1)) << "absent page";
}

TEST(MemoryLayout, PageNames) {
    EXPECT_EQ(layout::PageName(0xE0), "IntRAM[0]");
    EXPECT_EQ(layout::PageName(0xE5), "IntRAM[5]");
    EXPECT_EQ(layout::PageName(0xE7), "VRAM-R");
    EXPECT_EQ(layout::PageName(0xEA), "VRAM-G");
    EXPECT_EQ(layout::PageName(0xEF), "VRAM-B");
    EXPECT_EQ(layout::PageName(0xF9), "ExtROM[1]");
    EXPECT_EQ(layout::PageName(0xFF), "IntROM[3]");
    EXPECT_EQ(layout::PageName(0x00), "I41");
    EXPECT_EQ(layout::PageName(0xF4), "I41");
}

TEST(MemoryLayout, RomImagesAreErasedWhereTheFileEnds) {
    std::string path = ::testing::TempDir() + "short.rom";
    {
        std::ofstream out(path, std::ios::binary);
        out << "ABC";
    }
    layout::RomRead read;
    layout::RomImage rom = layout::ReadRomImage(path, &read);
    EXPECT_EQ(rom[0], 'A');
    EXPECT_EQ(rom[2], 'C');
    EXPECT_EQ(rom[3], 0xFF);
    EXPECT_EQ(rom[16383], 0xFF);
    EXPECT_EQ(read.status, layout::RomRead::Status::Short);
    EXPECT_EQ(read.bytes, 3u);
    std::remove(path.c_str());
    layout::RomImage missing = layout::ReadRomImage(path, &read);
    EXPECT_EQ(std::count(missing.begin(), missing.end(), 0xFF), 16384);
    EXPECT_EQ(read.status, layout::RomRead::Status::Unreadable);
    EXPECT_EQ(read.error, ENOENT);
    layout::ReadRomImage(::testing::TempDir(), &read);
    EXPECT_EQ(read.status, layout::RomRead::Status::Unreadable) << "a folder is no ROM";
    {
        std::ofstream out(path, std::ios::binary);
        out << std::string(20000, 'x');  // longer than a ROM: the first 16 KB count
    }
    layout::RomImage whole = layout::ReadRomImage(path, &read);
    EXPECT_EQ(read.status, layout::RomRead::Status::Complete);
    EXPECT_EQ(whole[16383], 'x');
    std::remove(path.c_str());

    MemoryOrganizer organizer;
    ChipMemory memory(organizer);
    ASSERT_TRUE(layout::BuildInternalMemory(memory, rom));
    EXPECT_EQ(memory.PagePointer(0xFC)[1], 'B');
    EXPECT_TRUE(memory.IsReadOnly(0xFF));
    EXPECT_FALSE(memory.IsReadOnly(0xE6));
    EXPECT_FALSE(layout::BuildInternalMemory(memory, rom)) << "already built";
    layout::InstallBlankExternalRom(memory);
    EXPECT_EQ(memory.PagePointer(0xFB)[100], 0xFF);
    layout::RomImage module;
    module.fill(0x3C);
    EXPECT_TRUE(layout::InstallExternalRom(memory, module));
    EXPECT_EQ(memory.PagePointer(0xF8)[0], 0x3C);
    layout::InstallBlankExternalRom(memory);
    EXPECT_EQ(memory.PagePointer(0xF8)[0], 0xFF);
}

class VideoFill : public ::testing::Test {
  protected:
    // The three planes as they sit in RAM: red, green 4000h later, blue 8000h later.
    std::vector<uint8_t> ram = std::vector<uint8_t>(0xA000, 0xAA);
    uint8_t* red = ram.data();
    uint8_t Plane(int plane, int offset) const { return ram[plane * 0x4000 + offset]; }
    std::mt19937 rng{42};
};

TEST_F(VideoFill, RainbowHasEightBands) {
    layout::FillVideoPlanes(red, layout::ResetPattern::Rainbow, rng);
    for (int band = 0; band < 8; ++band) {
        int at = band * 1024 + 17;
        EXPECT_EQ(Plane(0, at), (band & 2) ? 0xFF : 0x00) << band;
        EXPECT_EQ(Plane(1, at), (band & 4) ? 0xFF : 0x00) << band;
        EXPECT_EQ(Plane(2, at), (band & 1) ? 0xFF : 0x00) << band;
    }
    EXPECT_EQ(ram[0x2000], 0xAA) << "only the planes are touched";
}

TEST_F(VideoFill, GridStepsPerGroupAndOnceMorePerBlock) {
    layout::FillVideoPlanes(red, layout::ResetPattern::Grid, rng);
    auto colour = [&](int offset) {
        return (Plane(0, offset) ? 2 : 0) | (Plane(1, offset) ? 4 : 0) | (Plane(2, offset) ? 1 : 0);
    };
    EXPECT_EQ(colour(0), 0);
    EXPECT_EQ(colour(3), 0);
    EXPECT_EQ(colour(4), 1);
    EXPECT_EQ(colour(28), 7);
    EXPECT_EQ(colour(32), 0);  // c = 8: colour bits 0-2 are 0 again
    EXPECT_EQ(colour(1024), (256 + 1) & 7);
    EXPECT_EQ(colour(2048 + 8), (512 + 2 + 2) & 7);
}

TEST_F(VideoFill, ClearZeroesThePlanesAndSnowIsNotUniform) {
    layout::FillVideoPlanes(red, layout::ResetPattern::Clear, rng);
    EXPECT_EQ(std::count(ram.begin(), ram.begin() + 0x2000, 0), 0x2000);
    EXPECT_EQ(std::count(ram.begin() + 0x8000, ram.begin() + 0xA000, 0), 0x2000);
    layout::FillVideoPlanes(red, layout::ResetPattern::Snow, rng);
    EXPECT_LT(std::count(ram.begin(), ram.begin() + 0x2000, 0), 200);
}

TEST_F(VideoFill, RandomPicksOneOfTheFourWithTheLowTwoBits) {
    static constexpr layout::ResetPattern kByNumber[] = {
        layout::ResetPattern::Clear, layout::ResetPattern::Rainbow, layout::ResetPattern::Snow,
        layout::ResetPattern::Grid};
    int compared = 0;
    for (uint32_t seed = 0; seed < 16; ++seed) {
        std::mt19937 probe(seed);
        layout::ResetPattern expected = kByNumber[probe() & 3];
        if (expected == layout::ResetPattern::Snow) continue;
        std::mt19937 chooser(seed);
        layout::FillVideoPlanes(red, layout::ResetPattern::Random, chooser);
        std::vector<uint8_t> chosen = ram;
        layout::FillVideoPlanes(red, expected, rng);
        EXPECT_EQ(chosen, ram) << "seed " << seed;
        ++compared;
    }
    EXPECT_GT(compared, 3);
}

}  // namespace
