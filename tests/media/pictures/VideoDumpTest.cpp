#include "media/pictures/VideoDump.h"

#include <gtest/gtest.h>

#include "machine/MemoryLayout.h"
#include "machine/MemoryOrganizer.h"
#include "support/TempFolder.h"

namespace {

class VideoDump : public ::testing::Test {
  protected:
    VideoDump() : memory(organizer) {}

    // Every byte of a page tells its page and offset apart from every other.
    void Mark(int page) {
        uint8_t* bytes = memory.PagePointer(page);
        for (int i = 0; i < ChipMemory::kPageSize; ++i) {
            bytes[i] = static_cast<uint8_t>(page * 3 + i * 7 + i / 256);
        }
    }
    uint8_t Marked(int page, int offset) const {
        return static_cast<uint8_t>(page * 3 + offset * 7 + offset / 256);
    }

    MemoryOrganizer organizer;
    ChipMemory memory;
};

TEST_F(VideoDump, IsRedGreenBlueStraightFromThePhysicalPages) {
    ASSERT_TRUE(memory.AllocatePages(layout::kRamFirstPage, layout::kRamPages, false));
    for (int page : {0xE5, 0xE6, 0xE7, 0xE8, 0xEA, 0xEB, 0xEE, 0xEF}) Mark(page);
    // Paging stays off: the dump reads the pages themselves, not the processor's view.
    testing_support::TempFolder folder;
    std::string path = folder.File("video.raw");
    ASSERT_TRUE(media::SaveVideoPlanes(memory, path));
    std::vector<uint8_t> dump = testing_support::TempFolder::Read(path);
    ASSERT_EQ(dump.size(), 24576u);
    const int pages[6] = {0xE6, 0xE7, 0xEA, 0xEB, 0xEE, 0xEF};
    for (int i = 0; i < 6; ++i) {
        for (int offset = 0; offset < ChipMemory::kPageSize; offset += 97) {
            ASSERT_EQ(dump[static_cast<size_t>(i * ChipMemory::kPageSize + offset)],
                      Marked(pages[i], offset))
                << "page " << std::hex << pages[i] << " offset " << offset;
        }
    }
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"video.raw"});
}

TEST_F(VideoDump, MissingPagesGiveZeros) {
    ASSERT_TRUE(memory.AllocatePages(0xE6, 2, false));
    ASSERT_TRUE(memory.AllocatePages(0xEB, 1, false));
    Mark(0xE6);
    Mark(0xE7);
    Mark(0xEB);
    std::vector<uint8_t> dump = media::CollectVideoPlanes(memory);
    ASSERT_EQ(dump.size(), 24576u);
    EXPECT_EQ(dump[0x1FFF], Marked(0xE7, 0xFFF));
    EXPECT_EQ(dump[0x2000], 0);  // page EA absent
    EXPECT_EQ(dump[0x3000], Marked(0xEB, 0));
    EXPECT_EQ(std::vector<uint8_t>(dump.begin() + 0x4000, dump.end()),
              std::vector<uint8_t>(0x2000, 0));  // blue absent
}

TEST_F(VideoDump, ReplacesAnExistingFileWhole) {
    testing_support::TempFolder folder;
    std::string path = folder.File("video.raw");
    { std::ofstream(path) << std::string(30000, 'x'); }
    ASSERT_TRUE(media::SaveVideoPlanes(memory, path));
    EXPECT_EQ(testing_support::TempFolder::Read(path), std::vector<uint8_t>(24576, 0));
}

}  // namespace
