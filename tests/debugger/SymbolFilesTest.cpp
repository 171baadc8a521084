#include "debugger/SymbolFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "debugger/SymbolTable.h"
#include "support/TempFolder.h"

namespace {

TEST(SymbolFiles, TheFileBesideAProgramAndAFailedReadLeavesTheTableAsItWas) {
    testing_support::TempFolder folder;
    const std::string program = folder.Write("game.bin", "\x31\x00\x30");
    EXPECT_EQ(debugger::SymbolFileBeside(program), "");
    const std::string symbols = folder.Write("game.sym", "START EQU 0100H\nLOOP EQU 0105H\n");
    EXPECT_EQ(debugger::SymbolFileBeside(program), symbols);
    // The symbols file itself has no other beside it.
    EXPECT_EQ(debugger::SymbolFileBeside(symbols), "");

    debugger::SymbolTable table;
    std::string error;
    ASSERT_TRUE(debugger::ReadSymbolFile(symbols, table, error)) << error;
    EXPECT_EQ(table.Find("LOOP"), 0x0105);
    EXPECT_FALSE(debugger::ReadSymbolFile(folder / "missing.sym", table, error));
    EXPECT_FALSE(error.empty());
    std::filesystem::resize_file(folder.Write("huge.sym", ""),
                                 debugger::SymbolTable::kMaxFileBytes + 1);
    EXPECT_FALSE(debugger::ReadSymbolFile(folder / "huge.sym", table, error));
    EXPECT_EQ(table.Size(), 2u);
    EXPECT_EQ(table.Find("START"), 0x0100);
}

}  // namespace
