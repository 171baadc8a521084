// The SD-ROM module over the serial line against a temporary card folder: the protocol's
// timing, every command's normal use, and frames from software that tries to get out.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/SdRomRig.h"
#include "support/TempFolder.h"

namespace {

using testing_support::Concat;
using testing_support::SdFrame;
using testing_support::SdName;
using testing_support::SdRomRig;
using testing_support::TempFolder;
using Bytes = std::vector<uint8_t>;

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}
std::string Str(const Bytes& b) {
    return std::string(b.begin(), b.end());
}

// Every file below a folder with its contents, links as "-> target".
std::map<std::string, std::string> Snapshot(const std::filesystem::path& dir) {
    std::map<std::string, std::string> files;
    for (auto it = std::filesystem::recursive_directory_iterator(dir);
         it != std::filesystem::recursive_directory_iterator(); ++it) {
        const auto& p = it->path();
        const std::string rel = std::filesystem::relative(p, dir).string();
        if (it->is_symlink()) {
            files[rel] = "-> " + std::filesystem::read_symlink(p).string();
        } else if (it->is_regular_file()) {
            files[rel] = testing_support::ReadFile(p.string());
        } else {
            files[rel] = "<dir>";
        }
    }
    return files;
}

TEST(SdRomModule, AnswersOneByteASlotShiftedOutOnTheTimersClock) {
    TempFolder card;
    for (int count : {2, 4}) {
        SdRomRig rig(card.Path(), count);
        EXPECT_EQ(rig.module->Activity(), SerialActivity::None);
        EXPECT_EQ(rig.module->QuietTicks(&rig.serial), INT32_MAX);
        // Send the presence check, then follow the receive line tick by tick.
        const Bytes frame{0xAA, 0x40, 0xEA};
        size_t sent = 0;
        std::vector<int64_t> edges;  // ticks at which the line changed
        uint8_t line = 1;
        std::vector<uint8_t> received;
        bool sawBusy = false;
        for (int64_t t = 0; t < 20000; ++t) {
            rig.Tick(1);
            const uint8_t status = rig.serial.PortRead(0xC9, 0);
            if ((status & 0x01) && sent < frame.size())
                rig.serial.PortWrite(0xC8, frame[sent++], 0);
            if (status & 0x02) received.push_back(rig.serial.PortRead(0xC8, 0));
            const uint8_t now = rig.serial.Chip().GetState().RxD;
            if (now != line) edges.push_back(rig.now);
            line = now;
            if (rig.module->Activity() == SerialActivity::SdRomBusy) {
                sawBusy = true;
                if (!rig.module->IsClockIdle(&rig.serial)) {
                    EXPECT_EQ(rig.module->QuietTicks(&rig.serial), 0);
                }
            }
        }
        EXPECT_TRUE(sawBusy);
        EXPECT_EQ(received, (Bytes{0x33, 0x00, 0x09, 0xA3})) << "count " << count;
        // Reconstruct the characters from the line: a bit is 16 rising clock edges.
        const int64_t bit = 16 * count;
        std::vector<int64_t> starts;
        std::vector<int> decoded;
        size_t e = 0;
        while (e < edges.size()) {
            const int64_t start = edges[e];  // a falling edge from idle: a start bit
            starts.push_back(start);
            int value = 0;
            for (int b = 0; b < 8; ++b) {
                const int64_t middle = start + bit * (b + 1) + bit / 2;
                int level = 1;  // the level at `middle`: idle high, toggled by every edge
                for (size_t k = e; k < edges.size() && edges[k] <= middle; ++k) level ^= 1;
                value |= level << b;
            }
            decoded.push_back(value);
            const int64_t stop = start + bit * 9;
            while (e < edges.size() && edges[e] <= stop) ++e;
        }
        EXPECT_EQ(decoded, (std::vector<int>{0x33, 0x00, 0x09, 0xA3}));
        ASSERT_EQ(starts.size(), 4u);
        // Acknowledge, a slot for the work, then one byte a slot.
        EXPECT_EQ(starts[1] - starts[0], 2 * IfSdRom::kSlotTicks);
        EXPECT_EQ(starts[2] - starts[1], IfSdRom::kSlotTicks);
        EXPECT_EQ(starts[3] - starts[2], IfSdRom::kSlotTicks);
        // The first start bit begins half a bit (8 rising edges) after a slot boundary.
        const int64_t afterSlot = starts[0] % IfSdRom::kSlotTicks;
        EXPECT_GT(afterSlot, 7 * count);
        EXPECT_LE(afterSlot, 8 * count);
        EXPECT_EQ(rig.module->Activity(), SerialActivity::None);
    }
}

TEST(SdRomModule, TicksHandedOverInBulkWhileQuietChangeNothing) {
    TempFolder card;
    card.Write("f.bin", std::string(3000, 'f'));
    const std::vector<Bytes> frames = {
        SdFrame('@'), SdFrame('L', {0}),  SdFrame('O', SdName("f.bin")),
        SdFrame('P'), {0xAA, 0x40, 0x00}, SdFrame('K')};
    auto run = [&](bool merge) {
        SdRomRig rig(card.Path(), 2);
        rig.merge = merge;
        rig.pollEvery = 37;  // a program that does other work between looks at the ports
        Bytes all;
        for (const Bytes& frame : frames) {
            const Bytes got = rig.Exchange(frame);
            all.insert(all.end(), got.begin(), got.end());
            rig.Exchange({}, 5000 + 13 * static_cast<int64_t>(all.size()));  // time passes
        }
        return std::make_pair(all, rig.arrivals);
    };
    const auto exact = run(false);
    const auto merged = run(true);
    EXPECT_EQ(merged.first, exact.first);
    EXPECT_EQ(merged.second, exact.second);
    EXPECT_GT(exact.first.size(), 20u);
}

TEST(SdRomModule, ChecksumsFramingAndResynchronisation) {
    TempFolder card;
    SdRomRig rig(card.Path());
    // Noise before the start, a doubled start byte, then a good frame.
    EXPECT_EQ(rig.Exchange({0x12, 0x40, 0xAA, 0xAA, 0x40, 0xEA}), (Bytes{0x33, 0x00, 0x09, 0xA3}));
    EXPECT_EQ(rig.Exchange({0xAA, 0x40, 0xEB}), Bytes{0x99});
    // A rename whose second length is 0 takes the next byte as its checksum, not as a name.
    Bytes rename = SdFrame('N', Concat({SdName("a"), {0}}));
    EXPECT_EQ(rig.Result(rename), 2);
    EXPECT_EQ(rig.Result(SdFrame('@')), 0);
    // An unknown command drops the frame silently; the next frame is answered.
    EXPECT_EQ(rig.Exchange({0xAA, 'Z', 0x00}), Bytes{});
    EXPECT_EQ(rig.Result(SdFrame('@')), 0);
}

TEST(SdRomModule, EveryCommandDoesItsWork) {
    TempFolder card;
    card.Write("tevrinsdrom.rmm", "FIRMWARE");
    card.Write("data.bin", std::string(1500, 'x'));
    card.Write("b.txt", "bb");
    card.Write("notes", "plain");
    SdRomRig rig(card.Path());
    EXPECT_TRUE(rig.module->ImageLoaded());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(rig.Page(0xF8)), 8), "FIRMWARE");
    EXPECT_EQ(rig.Page(0xF8)[8], 0xFF);
    EXPECT_EQ(rig.Page(0xFB)[0], 0x00);
    EXPECT_EQ(rig.module->BankLetter(), 'M');

    // Folders: make, enter, where, leave.
    EXPECT_EQ(rig.Result(SdFrame('F', SdName("games"))), 0);
    EXPECT_TRUE(std::filesystem::is_directory(card / "games"));
    EXPECT_EQ(rig.Result(SdFrame('F', SdName("games"))), 13);
    EXPECT_EQ(rig.Result(SdFrame('M', SdName("games"))), 0);
    EXPECT_EQ(rig.storedFolder.back(), "games");
    EXPECT_EQ(rig.Result(SdFrame('K')), 0);
    EXPECT_EQ(rig.Data(), Concat({{5}, Text("games")}));

    // Write a file of 256 + 44 bytes in two blocks (a count byte of 0 is 256).
    Bytes content;
    for (int i = 0; i < 300; ++i) content.push_back(static_cast<uint8_t>(i * 7));
    EXPECT_EQ(rig.Result(SdFrame('C', SdName("hi.bin"))), 0);
    EXPECT_EQ(
        rig.Result(SdFrame('B', Concat({{0, 0}, Bytes(content.begin(), content.begin() + 256)}))),
        0);
    EXPECT_EQ(
        rig.Result(SdFrame('B', Concat({{1, 44}, Bytes(content.begin() + 256, content.end())}))),
        0);
    EXPECT_EQ(TempFolder::Read(card / "games/hi.bin"), content);
    EXPECT_EQ(rig.Result(SdFrame('B', {1, 1, 0})), 8);  // the last block closed it

    // Read it back through the data window (page FB while the image bank is shown).
    EXPECT_EQ(rig.Result(SdFrame('P')), 8);
    EXPECT_EQ(rig.Result(SdFrame('O', SdName("hi.bin"))), 0);
    EXPECT_EQ(rig.Data(), (Bytes{44, 1, 0, 0}));
    EXPECT_EQ(rig.Result(SdFrame('P')), 0);
    EXPECT_EQ(rig.Data(), (Bytes{44, 1}));
    EXPECT_EQ(Bytes(rig.Page(0xFB), rig.Page(0xFB) + 300), content);
    EXPECT_EQ(rig.Result(SdFrame('P')), 9);

    // Attributes: read, set read-only (the host loses write permission), clear it.
    EXPECT_EQ(rig.Result(SdFrame('A', Concat({SdName("hi.bin"), {0xFF}}))), 0);
    EXPECT_EQ(rig.Data(), (Bytes{0x20, 44, 1, 0, 0}));
    EXPECT_EQ(rig.Result(SdFrame('A', Concat({SdName("hi.bin"), {0x21}}))), 0);
    EXPECT_EQ(rig.Data(), (Bytes{0x21, 44, 1, 0, 0}));
    struct stat info {};
    ASSERT_EQ(::stat((card / "games/hi.bin").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0222, 0u);
    EXPECT_EQ(rig.Result(SdFrame('D', SdName("hi.bin"))), 7);
    EXPECT_EQ(rig.Result(SdFrame('C', SdName("hi.bin"))), 7);
    EXPECT_EQ(rig.Result(SdFrame('A', Concat({SdName("hi.bin"), {0x02}}))), 4);  // hidden: no
    EXPECT_EQ(rig.Result(SdFrame('A', Concat({SdName("hi.bin"), {0x20}}))), 0);

    // Rename, list (sorted, ".." first below the root, then a zero entry), delete by pattern.
    EXPECT_EQ(rig.Result(SdFrame('N', Concat({SdName("hi.bin"), SdName("Zed.BIN")}))), 0);
    card.Write("games/a.txt", "a");
    card.Write("games/c.txt", "cc");
    card.MakeFolder("games/sub");
    std::vector<std::string> listed;
    Bytes ask = SdFrame('L', {0});
    for (int i = 0; i < 8; ++i) {
        ASSERT_EQ(rig.Result(ask), 0);
        Bytes d = rig.Data();
        ASSERT_GE(d.size(), 6u);
        if (d[0] == 0) {
            EXPECT_EQ(d, Bytes(6, 0));
            break;
        }
        listed.push_back(std::string(d.begin() + 1, d.begin() + 1 + d[0]) + ":" +
                         std::to_string(d[1 + d[0]]) + ":" + std::to_string(d[2 + d[0]]));
        ask = SdFrame('L', {32});
    }
    EXPECT_EQ(listed, (std::vector<std::string>{"..:16:0", "Zed.BIN:32:44", "a.txt:32:1",
                                                "c.txt:32:2", "sub:16:0"}));
    ASSERT_EQ(rig.Result(SdFrame('L', SdName("*.TXT"))), 0);
    EXPECT_EQ(rig.Data()[0], 2);  // ".." (folders are not matched), then a.txt
    ASSERT_EQ(rig.Result(SdFrame('L', {32})), 0);
    EXPECT_EQ(Str(rig.Data()), Str(Concat({SdName("a.txt"), {0x20, 1, 0, 0, 0}})));
    EXPECT_EQ(rig.Result(SdFrame('D', SdName("*.t?t"))), 0);
    EXPECT_FALSE(std::filesystem::exists(card / "games/a.txt"));
    EXPECT_FALSE(std::filesystem::exists(card / "games/c.txt"));
    EXPECT_EQ(rig.Result(SdFrame('D', SdName("*.txt"))), 3);
    EXPECT_EQ(rig.Result(SdFrame('D', SdName("zed.bin"))), 3);  // the host tells case apart
    EXPECT_EQ(rig.Result(SdFrame('D', SdName("Zed.BIN"))), 0);
    card.Write("games/sub/x", "x");
    EXPECT_EQ(rig.Result(SdFrame('d', SdName("sub"))), 12);
    std::filesystem::remove(card / "games/sub/x");
    EXPECT_EQ(rig.Result(SdFrame('d', SdName("sub"))), 0);
    EXPECT_EQ(rig.Result(SdFrame('d', SdName("sub"))), 3);

    // Up to the root; ".." there stays at the root.
    EXPECT_EQ(rig.Result(SdFrame('M', SdName(".."))), 0);
    EXPECT_EQ(rig.Result(SdFrame('M', SdName(".."))), 0);
    EXPECT_EQ(rig.Result(SdFrame('K')), 0);
    EXPECT_EQ(rig.Data(), Bytes{0});
    EXPECT_EQ(rig.storedFolder.back(), "");

    // Load into the load bank at an offset, padded to the next kilobyte; then show that bank.
    EXPECT_EQ(rig.Result(SdFrame('R', Concat({SdName("data.bin"), {0x00, 0x01}}))), 0);
    EXPECT_EQ(rig.module->BankLetter(), 'M');
    EXPECT_EQ(rig.Result(SdFrame('0')), 0);
    EXPECT_EQ(rig.module->BankLetter(), 'R');
    const uint8_t* bank = rig.Page(0xF8);
    EXPECT_EQ(bank[0x0FF], 0xFF);
    EXPECT_EQ(bank[0x100], 'x');
    EXPECT_EQ(bank[0x100 + 1499], 'x');
    EXPECT_EQ(bank[0x100 + 1500], 0xFF);
    // Lower-case commands take paths from the root; a load shows at once in the load bank.
    card.Write("games/deep/f.bin", "DEEP");
    EXPECT_EQ(rig.Result(SdFrame('r', Concat({SdName("games\\deep/./f.bin"), {0x00, 0x00}}))), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bank), 4), "DEEP");
    EXPECT_EQ(rig.Result(SdFrame('1')), 0);
    EXPECT_EQ(rig.Page(0xF8)[0], 'F');
    EXPECT_EQ(rig.Result(SdFrame('o', SdName("games/deep/f.bin"))), 0);
    EXPECT_EQ(rig.Data(), (Bytes{4, 0, 0, 0}));
    EXPECT_EQ(rig.Result(SdFrame('c', SdName("games/deep/new"))), 0);
    EXPECT_EQ(rig.Result(SdFrame('B', {1, 2, 'o', 'k'})), 0);
    EXPECT_EQ(testing_support::ReadFile(card / "games/deep/new"), "ok");
    EXPECT_EQ(rig.Result(SdFrame('a', Concat({SdName("games/deep/new"), {0xFF}}))), 0);
    // Nothing left behind by the writes.
    EXPECT_EQ(std::filesystem::directory_entry(card / "games/deep").exists(), true);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(card / "games/deep"))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"f.bin", "new"}));
}

// A file the machine's software replaces is there, old and whole, until the new one is stored
// over it: a host that stops half way (killed, full) keeps it. To the software it is gone as the
// write is opened: the next command that looks finds no such file. A link's place is taken by
// the new file; what the link leads to stays as it was.
TEST(SdRomModule, AReplacedFileGoesOnlyWhenItsSuccessorIsWhole) {
    TempFolder card;
    card.Write("keep.bin", "old contents");
    card.Write("target.txt", "target");
    std::filesystem::create_symlink("target.txt", card.Path() + "alias");
    SdRomRig rig(card.Path());
    const Bytes first(256, 0x11);
    EXPECT_EQ(rig.Result(SdFrame('C', SdName("keep.bin"))), 0);
    EXPECT_EQ(Str(TempFolder::Read(card.Path() + "keep.bin")), "old contents");
    EXPECT_EQ(rig.Result(SdFrame('B', Concat({{0, 0}, first}))), 0);
    EXPECT_EQ(Str(TempFolder::Read(card.Path() + "keep.bin")), "old contents");
    EXPECT_EQ(rig.Result(SdFrame('B', Concat({{1, 2}, {0x22, 0x33}}))), 0);
    Bytes whole = first;
    whole.insert(whole.end(), {0x22, 0x33});
    EXPECT_EQ(TempFolder::Read(card.Path() + "keep.bin"), whole);

    // Opened and left without a block: gone for the next look, as before any block came.
    EXPECT_EQ(rig.Result(SdFrame('C', SdName("keep.bin"))), 0);
    EXPECT_EQ(rig.Result(SdFrame('O', SdName("keep.bin"))), 3);
    EXPECT_FALSE(std::filesystem::exists(card.Path() + "keep.bin"));

    EXPECT_EQ(rig.Result(SdFrame('C', SdName("alias"))), 0);
    EXPECT_EQ(rig.Result(SdFrame('B', Concat({{1, 3}, Text("new")}))), 0);
    EXPECT_FALSE(std::filesystem::is_symlink(card.Path() + "alias"));
    EXPECT_EQ(Str(TempFolder::Read(card.Path() + "alias")), "new");
    EXPECT_EQ(Str(TempFolder::Read(card.Path() + "target.txt")), "target");
}

TEST(SdRomModule, NamesAreLatin1OnTheMachineAndUtf8OnTheHost) {
    TempFolder card;
    card.Write("\xD0\xB6.txt", "zhe");  // a Cyrillic letter: not Latin-1
    SdRomRig rig(card.Path());
    EXPECT_EQ(rig.Result(SdFrame('C', SdName("caf\xE9"))), 0);
    EXPECT_EQ(rig.Result(SdFrame('B', {1, 1, '!'})), 0);
    EXPECT_EQ(testing_support::ReadFile(card / "caf\xC3\xA9"), "!");
    EXPECT_EQ(rig.Result(SdFrame('L', {0})), 0);
    EXPECT_EQ(rig.Data(), Concat({SdName("caf\xE9"), {0x20, 1, 0, 0, 0}}));
    EXPECT_EQ(rig.Result(SdFrame('L', {40})), 0);
    EXPECT_EQ(rig.Data(), Concat({SdName("?.txt"), {0x20, 3, 0, 0, 0}}));
    // A configured current folder that is not there is dropped, and the setting cleared.
    SdRomRig other(card.Path(), 2, "gone");
    EXPECT_EQ(other.module->CurrentFolder(), "");
    EXPECT_EQ(other.storedFolder, std::vector<std::string>{""});
}

TEST(SdRomModule, HostileFramesNeverReachOutsideTheRoot) {
    TempFolder top;
    const std::string card = top.MakeFolder("card");
    const std::string outside = top.MakeFolder("outside");
    top.Write("outside/secret", "secret");
    top.Write("card/inside.txt", "in");
    top.MakeFolder("card/sub");
    ASSERT_EQ(::symlink("/etc", (card + "etc").c_str()), 0);
    ASSERT_EQ(::symlink((outside + "secret").c_str(), (card + "secret").c_str()), 0);
    ASSERT_EQ(::symlink(outside.c_str(), (card + "out").c_str()), 0);
    ASSERT_EQ(::symlink((outside + "nothing").c_str(), (card + "dangling").c_str()), 0);
    ASSERT_EQ(::symlink("inside.txt", (card + "alias").c_str()), 0);  // stays inside: fine
    const auto before = Snapshot(top.Dir());

    SdRomRig rig(card, 2, "sub");
    EXPECT_EQ(rig.module->CurrentFolder(), "sub");
    struct Case {
        uint8_t command;
        std::string name;
        Bytes extra;
        int result;
    };
    const std::string longName(40, 'n');
    const std::vector<Case> cases = {
        {'o', "/etc/passwd", {}, 14},
        {'o', "\\etc\\passwd", {}, 14},
        {'o', "../outside/secret", {}, 14},
        {'o', "sub/../../outside/secret", {}, 14},
        {'o', "etc/passwd", {}, 14},
        {'o', "secret", {}, 14},
        {'o', "out/secret", {}, 14},
        {'r', "../../../etc/passwd", {0, 0}, 14},
        {'a', "out/secret", {0x01}, 14},
        {'c', "out/new", {}, 14},
        {'c', "dangling", {}, 14},
        {'c', "/tmp/x", {}, 14},
        {'M', "..", {}, 0},
        {'M', "etc", {}, 14},
        {'M', "out", {}, 14},
        {'O', "secret", {}, 14},
        {'D', "secret", {}, 14},
        {'D', "dangling", {}, 14},
        {'N', "secret", SdName("mine"), 14},
        {'N', "inside.txt", SdName("out"), 14},
        {'d', "out", {}, 14},
        {'d', "..", {}, 14},
        {'F', "..", {}, 14},
        {'O', "..", {}, 14},
        {'O', std::string("a\0b", 3), {}, 14},
        {'o', std::string("sub\0/x", 6), {}, 14},
        {'O', "a/b", {}, 14},
        {'D', "a\\b", {}, 14},
        {'O', "a:b", {}, 14},
        {'O', "a?b", {}, 14},
        {'M', "a*", {}, 14},
        {'O', longName, {}, 2},
        {'D', longName, {}, 2},
        {'o', std::string(128, 'p'), {}, 2},
        {'O', "", {}, 3},
        {'D', "", {}, 2},
        {'O', "alias", {}, 0},
    };
    for (const Case& c : cases) {
        const int result = rig.Result(SdFrame(c.command, Concat({SdName(c.name), c.extra})));
        EXPECT_EQ(result, c.result) << char(c.command) << " " << c.name;
    }
    // The listing leaves out links that lead out of the root.
    std::vector<std::string> listed;
    Bytes ask = SdFrame('L', {0});
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(rig.Result(ask), 0);
        const Bytes d = rig.Data();
        ASSERT_FALSE(d.empty());
        if (d[0] == 0) break;
        listed.push_back(std::string(d.begin() + 1, d.begin() + 1 + d[0]));
        ask = SdFrame('L', {32});
    }
    EXPECT_EQ(listed, (std::vector<std::string>{"alias", "inside.txt", "sub"}));
    // Patterns and reads that would not fit: refused or cut, never past a buffer.
    EXPECT_EQ(rig.Result(SdFrame('L', SdName("a/b"))), 14);
    EXPECT_EQ(rig.Result(SdFrame('D', SdName("*"))), 0);  // the plain files only
    EXPECT_EQ(Snapshot(std::filesystem::path(outside)),
              (std::map<std::string, std::string>{{"secret", "secret"}}));
    auto after = Snapshot(top.Dir());
    after.erase("card/inside.txt");
    auto expected = before;
    expected.erase("card/inside.txt");
    expected.erase("card/alias");  // a link inside the root is the card's own file
    EXPECT_EQ(after, expected);
}

}  // namespace
