#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <vector>

#include "machine/MemoryOrganizer.h"
#include "media/memory/MemoryTransfer.h"
#include "support/TempFolder.h"

namespace {

using media::MemoryArea;

class MemoryTransfer : public ::testing::Test {
  protected:
    MemoryTransfer() : memory(organizer) {
        // Windows 0-D: RAM pages E0-ED; E: nothing; F: ROM page FF.
        EXPECT_TRUE(memory.AllocatePages(0xE0, 14, false));
        EXPECT_TRUE(memory.AllocatePages(0xFF, 1, true));
        for (int w = 0; w < 14; ++w) organizer.SetPageRegister(w, static_cast<uint8_t>(0xE0 + w));
        organizer.SetPageRegister(14, 0xF0);
        organizer.SetPageRegister(15, 0xFF);
        organizer.EnablePaging();
        std::vector<uint8_t> rom(4096, 0xC9);
        memory.LoadPages(0xFF, rom.data(), 4096);
    }

    static MemoryArea Pages(int from, int to) { return {true, 0, 1, from, to}; }
    static MemoryArea Range(int start, int length) { return {false, start, length, 0, 0}; }

    MemoryOrganizer organizer;
    ChipMemory memory;
    testing_support::TempFolder folder;
};

TEST_F(MemoryTransfer, ASavedRangeShowsMappedBytesAndFFWithoutStoppingTheMachine) {
    memory.Write(0xDFFF, 0x42);
    // The last RAM byte, the absent window E and the first ROM byte.
    const std::string path = folder / "range.bin";
    ASSERT_TRUE(media::SaveMemoryToFile(memory, Range(0xDFFF, 0x1002), path));
    const std::string saved = testing_support::ReadFile(path);
    ASSERT_EQ(saved.size(), 0x1002u);
    EXPECT_EQ(saved[0], '\x42');
    EXPECT_EQ(saved[1], '\xFF');
    EXPECT_EQ(saved[0x1000], '\xFF');
    EXPECT_EQ(saved[0x1001], '\xC9');
    EXPECT_FALSE(memory.Fault()) << "a save is not a processor read";
}

TEST_F(MemoryTransfer, SavedPagesFillMissingOnesWithFF) {
    memory.PagePointer(0xED)[0] = 0x11;
    memory.PagePointer(0xED)[4095] = 0x22;
    const std::vector<uint8_t> bytes = media::CollectMemory(memory, Pages(0xED, 0xEE));
    ASSERT_EQ(bytes.size(), 8192u);
    EXPECT_EQ(bytes[0], 0x11);
    EXPECT_EQ(bytes[4095], 0x22);
    for (size_t i = 4096; i < bytes.size(); ++i) ASSERT_EQ(bytes[i], 0xFF) << i;
}

TEST_F(MemoryTransfer, ALoadedFileReachesOnlyItsPagesAndSkipsMissingOnes) {
    const std::string path = folder.Write("ten.bin", "0123456789");
    ASSERT_TRUE(media::LoadFileIntoMemory(memory, Pages(0xE0, 0xE1), path));
    EXPECT_EQ(memory.PagePointer(0xE0)[9], '9');
    EXPECT_EQ(memory.PagePointer(0xE0)[10], 0);
    EXPECT_EQ(memory.PagePointer(0xE1)[0], 0) << "the file ended in the first page";

    // 4096 + 3 bytes over pages ED (RAM) and EE (absent): the first page only.
    std::string big(4099, 'x');
    const std::string bigPath = folder.Write("big.bin", big);
    std::vector<uint8_t> data(big.begin(), big.end());
    EXPECT_EQ(media::StoreInMemory(memory, Pages(0xED, 0xEE), data), 4096u);
    EXPECT_EQ(memory.PagePointer(0xED)[4095], 'x');
}

TEST_F(MemoryTransfer, ALoadThroughTheMappingPassesRomAndHolesByWithoutAFault) {
    std::vector<uint8_t> data(0x1003, 0x77);
    // From the last RAM byte over the hole (window E) into the ROM (window F).
    EXPECT_EQ(media::StoreInMemory(memory, Range(0xDFFF, 0x1003), data), 1u);
    EXPECT_EQ(memory.Peek(0xDFFF), 0x77);
    EXPECT_EQ(memory.Peek(0xF000), 0xC9);
    EXPECT_FALSE(memory.Fault());
    // Only as much as the area holds is read from a longer file.
    const std::string path = folder.Write("long.bin", "abcdef");
    ASSERT_TRUE(media::LoadFileIntoMemory(memory, Range(0x100, 3), path));
    EXPECT_EQ(memory.Peek(0x102), 'c');
    EXPECT_EQ(memory.Peek(0x103), 0);
}

TEST_F(MemoryTransfer, NothingToReadLeavesMemoryAlone) {
    memory.Write(0, 0x5A);
    EXPECT_FALSE(media::LoadFileIntoMemory(memory, Range(0, 4), folder / "missing.bin"));
    EXPECT_FALSE(media::LoadFileIntoMemory(memory, Range(0, 4), folder.Write("empty.bin", "")));
    EXPECT_FALSE(media::LoadFileIntoMemory(memory, Range(0, 4), folder.Path()));
    ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0600), 0);
    EXPECT_FALSE(media::LoadFileIntoMemory(memory, Range(0, 4), folder / "pipe"))
        << "a pipe must not hang the program";
    EXPECT_EQ(memory.Peek(0), 0x5A);
    EXPECT_EQ(media::RegularFileSize(folder / "pipe"), -1);
    EXPECT_EQ(media::RegularFileSize(folder.Write("three", "abc")), 3);
}

}  // namespace
