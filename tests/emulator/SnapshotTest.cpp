#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "emulator/Snapshot.h"
#include "support/MachineFixture.h"

namespace {

// A program that keeps every chip busy: a 16-bit LFSR picks a port among C0-DB (everything but
// the page registers) and a value to write there, reads another port, stores into the video
// planes (the colour-write pages too) and runs with interrupts enabled; every RST vector
// answers with EI, RET. The ports are reached through an OUT/IN stub it copies into RAM.
TestRom ChaosRom() {
    TestRom rom;
    rom.Jump(0x0040);
    while (rom.Here() < 0x40) {
        if (rom.Here() % 8 == 0) {
            rom.Code({0xFB, 0xC9});  // EI; RET
        } else {
            rom.Code({0x00});
        }
    }
    rom.MapRam();
    rom.Code({0x31, 0x00, 0xF0});  // LXI SP,F000
    // The stub at 1000: OUT p; IN q; RET.
    rom.Code(
        {0x3E, 0xD3, 0x32, 0x00, 0x10, 0x3E, 0xDB, 0x32, 0x02, 0x10, 0x3E, 0xC9, 0x32, 0x04, 0x10});
    rom.Code({0x21, 0xE1, 0xAC});  // LXI H,ACE1
    rom.Code({0xFB});              // EI
    const uint16_t loop = rom.Here();
    // HL >>= 1, XOR B400 when a one fell out.
    rom.Code({0xB7, 0x7C, 0x1F, 0x67, 0x7D, 0x1F, 0x6F});
    const uint16_t skip = static_cast<uint16_t>(rom.Here() + 3 + 4);
    rom.Code({0xD2, static_cast<uint8_t>(skip), static_cast<uint8_t>(skip >> 8)});
    rom.Code({0x7C, 0xEE, 0xB4, 0x67});
    // Port C0 | (L & 1F), unless that is DC-DF (nothing there); the read port from H.
    const uint16_t after = static_cast<uint16_t>(rom.Here() + 25);
    rom.Code({0x7D,
              0xE6,
              0x1F,
              0xF6,
              0xC0,
              0xFE,
              0xDC,  // A = port
              0xD2,
              static_cast<uint8_t>(after),
              static_cast<uint8_t>(after >> 8),  // JNC after
              0x32,
              0x01,
              0x10,  // STA 1001
              0x7C,
              0xE6,
              0x1B,
              0xF6,
              0xC0,
              0x32,
              0x03,
              0x10,    // read port C0 | (H & 1B)
              0x7C});  // MOV A,H: the value
    // CALL 1000; `after` follows it.
    rom.Code({0xCD, 0x00, 0x10});
    // Store at (H | 40) L below E000 (the stack is above): the video planes and the
    // colour-write pages among them.
    rom.Code({0xE5, 0x7C, 0xF6, 0x40, 0xFE, 0xE0, 0xD2});
    const uint16_t pop = static_cast<uint16_t>(rom.Here() + 2 + 2);
    rom.Code({static_cast<uint8_t>(pop), static_cast<uint8_t>(pop >> 8), 0x67, 0x77});
    rom.Code({0xE1});  // POP H (pop is here)
    rom.Code({0xFB});  // EI again: a port write may have acknowledged an interrupt
    rom.Jump(loop);
    return rom;
}

class SnapshotTest : public MachineFixture, public ::testing::WithParamInterface<bool> {
  protected:
    // The chaos program on a machine with the multiplier, chained timers and, as the parameter
    // says, the SD-ROM module serving an empty folder.
    std::unique_ptr<Machine> MakeMachine() {
        auto m = std::make_unique<Machine>(*settings, SilentAudio());
        m->ApplySettings(config::GroupSet::All());
        m->WarmReset();
        m->SetThrottled(false);
        m->SetPaused(false);
        return m;
    }
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(LoadConfiguration(ChaosRom()));
        settings->Set(config::keys::kMultiplier, true);
        settings->Set(config::keys::kClockTimer0, true);
        settings->Set(config::keys::kChainTimer01, true);
        settings->Set(config::keys::kSdRomConnected, GetParam());
        settings->SetPath(config::keys::kSdRomRootPath, folder.Path());
    }
    static void Run(Machine& m, int periods) {
        for (int i = 0; i < periods; ++i) m.CpuTimerEvent();
    }
    static std::vector<uint8_t> State(Machine& m) {
        std::vector<uint8_t> bytes;
        m.SaveSnapshot(bytes);
        return bytes;
    }
};

TEST_P(SnapshotTest, RunContinuedFromSnapshotMatchesUninterruptedRun) {
    constexpr int kPeriods = 600;
    std::unique_ptr<Machine> straight = MakeMachine();
    Run(*straight, kPeriods);
    ASSERT_FALSE(straight->FaultPending());
    const std::vector<uint8_t> expected = State(*straight);
    ASSERT_GT(straight->ExecutedInstructions(), 100000);

    std::mt19937 random(GetParam() ? 7 : 11);
    for (int trial = 0; trial < 3; ++trial) {
        const int at = std::uniform_int_distribution<int>(1, kPeriods - 1)(random);
        std::unique_ptr<Machine> first = MakeMachine();
        Run(*first, at);
        const std::vector<uint8_t> saved = State(*first);
        // Saving brings the timer up to date; the run it was taken from goes on unchanged.
        Run(*first, kPeriods - at);
        EXPECT_EQ(State(*first), expected) << "saved at period " << at;

        std::unique_ptr<Machine> second = MakeMachine();
        Run(*second, 37);  // some other state, to be replaced whole
        ASSERT_EQ(second->LoadSnapshot(saved.data(), saved.size()), snapshot::LoadError::None);
        EXPECT_EQ(second->EmulatedTicks(), first->EmulatedTicks() - (kPeriods - at) * 4000LL);
        Run(*second, kPeriods - at);
        EXPECT_EQ(second->ExecutedInstructions(), straight->ExecutedInstructions());
        EXPECT_EQ(MachineTestAccess::Cpu(*second).PC, MachineTestAccess::Cpu(*straight).PC);
        EXPECT_EQ(State(*second), expected) << "restored at period " << at;
    }
}

TEST_P(SnapshotTest, DamagedSnapshotsAreRefusedAndChangeNothing) {
    // A machine that has not run yet (its chips never reset) saves what it loads back.
    std::unique_ptr<Machine> fresh = MakeMachine();
    const std::vector<uint8_t> unrun = State(*fresh);
    EXPECT_EQ(fresh->LoadSnapshot(unrun.data(), unrun.size()), snapshot::LoadError::None);

    std::unique_ptr<Machine> source = MakeMachine();
    Run(*source, 120);
    const std::vector<uint8_t> saved = State(*source);
    std::unique_ptr<Machine> target = MakeMachine();
    Run(*target, 50);
    const std::vector<uint8_t> before = State(*target);

    auto refused = [&](std::vector<uint8_t> bytes, snapshot::LoadError expected) {
        uint32_t version = 0;
        EXPECT_EQ(target->LoadSnapshot(bytes.data(), bytes.size(), &version), expected);
        EXPECT_EQ(State(*target), before);
        return version;
    };
    auto withChecksum = [](std::vector<uint8_t> bytes) {
        const uint32_t crc = snapshot::Crc32(bytes.data(), bytes.size() - 4);
        for (int i = 0; i < 4; ++i)
            bytes[bytes.size() - 4 + i] = static_cast<uint8_t>(crc >> (8 * i));
        return bytes;
    };
    for (size_t length : {size_t{0}, size_t{7}, size_t{12}, size_t{40}, saved.size() / 2,
                          saved.size() - 5, saved.size() - 1}) {
        std::vector<uint8_t> cut(saved.begin(), saved.begin() + static_cast<ptrdiff_t>(length));
        refused(cut, length < 12 ? snapshot::LoadError::NotSnapshot : snapshot::LoadError::Damaged);
        if (length >= 16) refused(withChecksum(cut), snapshot::LoadError::Damaged);
    }
    std::vector<uint8_t> flipped = saved;
    flipped[flipped.size() / 3] ^= 0x10;
    refused(flipped, snapshot::LoadError::Damaged);
    std::vector<uint8_t> newer = saved;
    newer[8] = 9;
    EXPECT_EQ(refused(withChecksum(newer), snapshot::LoadError::NewerVersion), 9u);
    std::vector<uint8_t> older = saved;
    older[8] = 0;
    EXPECT_EQ(refused(withChecksum(older), snapshot::LoadError::OlderVersion), 0u);
    std::vector<uint8_t> other = saved;
    other[0] = 'X';
    refused(other, snapshot::LoadError::NotSnapshot);

    // Values no chip can hold, behind a valid checksum: the CPU section comes last, so the
    // parts loaded before it must be put back. Its first period-counter byte is made huge.
    std::vector<uint8_t> badCpu = saved;
    const size_t cpu =
        std::search(badCpu.begin(), badCpu.end(), std::begin("CPU "), std::begin("CPU ") + 4) -
        badCpu.begin();
    ASSERT_LT(cpu, badCpu.size());
    badCpu[cpu + 8 + 18 + 3] = 0x7F;  // PeriodTicks' top byte
    refused(withChecksum(badCpu), snapshot::LoadError::Damaged);

    // A machine without the multiplier refuses a snapshot that has one.
    settings->Set(config::keys::kMultiplier, false);
    std::unique_ptr<Machine> plain = MakeMachine();
    EXPECT_EQ(plain->LoadSnapshot(saved.data(), saved.size()), snapshot::LoadError::OtherHardware);

    // Unknown sections are skipped: one inserted before the end still loads.
    std::vector<uint8_t> extended(saved.begin(), saved.end() - 12);
    for (int b : {int{'X'}, int{'T'}, int{'R'}, int{'A'}, 2, 0, 0, 0, 0xAB, 0xCD}) {
        extended.push_back(static_cast<uint8_t>(b));
    }
    extended.insert(extended.end(), saved.end() - 12, saved.end());
    EXPECT_EQ(target->LoadSnapshot(withChecksum(extended).data(), extended.size()),
              snapshot::LoadError::None);
    EXPECT_EQ(State(*target), saved);
}

// The checksum stored files carry must stay the standard CRC-32 (what zip and PNG use) however it
// is computed: its published check value, and a bit-at-a-time reference on every length and
// starting offset around the eight-byte steps.
TEST(SnapshotChecksum, IsTheStandardCrc32AtEveryLengthAndAlignment) {
    const char* check = "123456789";
    EXPECT_EQ(snapshot::Crc32(reinterpret_cast<const uint8_t*>(check), 9), 0xCBF43926u);
    EXPECT_EQ(snapshot::Crc32(nullptr, 0), 0u);

    std::mt19937 rng(7);
    std::vector<uint8_t> bytes(300);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng());
    auto reference = [](const uint8_t* data, size_t length) {
        uint32_t crc = 0xFFFFFFFFu;
        for (size_t i = 0; i < length; ++i) {
            crc ^= data[i];
            for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
        }
        return ~crc;
    };
    for (size_t offset = 0; offset < 8; ++offset) {
        for (size_t length = 0; offset + length <= 40; ++length) {
            ASSERT_EQ(snapshot::Crc32(bytes.data() + offset, length),
                      reference(bytes.data() + offset, length))
                << "offset " << offset << ", length " << length;
        }
    }
    EXPECT_EQ(snapshot::Crc32(bytes.data(), bytes.size()), reference(bytes.data(), bytes.size()));
}

INSTANTIATE_TEST_SUITE_P(Snapshot, SnapshotTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "WithSdRom" : "Plain"; });

}  // namespace
