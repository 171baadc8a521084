#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "machine/ChipUSART8251.h"
#include "machine/IfInterrupt.h"
#include "machine/IfSerial.h"
#include "machine/IfTape.h"

namespace {

constexpr int64_t kHalf = 833;

// The bytes a record plays as, worked out from the format: 748 x 3F AA 55, then the data in
// blocks of 133 with 3F x 5 AA 55 between them, then 3F x 7.
std::vector<uint8_t> PlayedStream(const std::vector<uint8_t>& data) {
    std::vector<uint8_t> s(748, 0x3F);
    s.insert(s.end(), {0xAA, 0x55});
    for (size_t i = 0; i < data.size(); ++i) {
        if (i > 0 && i % 133 == 0) s.insert(s.end(), {0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0xAA, 0x55});
        s.push_back(data[i]);
    }
    s.insert(s.end(), 7, 0x3F);
    return s;
}

std::vector<uint8_t> Data(size_t size) {
    std::vector<uint8_t> d(size);
    for (size_t i = 0; i < size; ++i) d[i] = static_cast<uint8_t>(i * 29 + 3);
    return d;
}

struct Level {
    int channel, level;
    int64_t stamp;
    bool operator==(const Level&) const = default;
};
struct Received {
    int64_t tick;
    int byte;
    bool operator==(const Received&) const = default;
};

// The serial interface with the recorder on line 0 and a receiver hunting for AA 55, driven by
// hand: the test plays the processor, handing over ticks and reading the data port.
struct Rig {
    Rig() {
        tape.Attach(serial);
        tape.SetEventSink(IfTape::EventSink::Bind<&Rig::OnEvent>(this));
        tape.SetSoundSink(SoundLevelOutput::Bind<&Rig::OnLevel>(this));
    }
    void Receive() {
        for (uint8_t b : {0x0C, 0xAA, 0x55, 0xB6}) serial.PortWrite(0xC9, b, 0);
        EXPECT_EQ(serial.SelectedLine(), 0);
    }
    void Transmit() {
        for (uint8_t b : {0x8C, 0x3F, 0x33}) serial.PortWrite(0xC9, b, 0);
        EXPECT_EQ(serial.SelectedLine(), 0);
    }
    void Tick(int32_t ticks) {
        now += ticks;
        serial.OnTick(static_cast<int32_t>(now), ticks);
    }
    // A read of the data port when a byte waits, as a polling program does.
    void Poll() {
        if (serial.PortRead(0xC9, 0) & 0x02) received.push_back({now, serial.PortRead(0xC8, 0)});
    }
    // Writes a byte and clocks the transmitter until it has taken it.
    void Send(uint8_t value) {
        serial.PortWrite(0xC8, value, 0);
        for (int edge = 0; edge < 64 && !(serial.PortRead(0xC9, 0) & 0x01); ++edge) {
            serial.TimerOutput(static_cast<uint8_t>(edge & 1));
        }
        ASSERT_TRUE(serial.PortRead(0xC9, 0) & 0x01);
    }
    bool OnEvent(int code) {
        if (code == IfTape::kEventMonitorQuery) return monitoring;
        events.push_back({now, code});
        if (code == IfTape::kEventRecordingDone) {
            IfTape::Recording r = tape.TakeRecording();
            recording.assign(r.data, r.data + r.size);
        }
        return true;
    }
    void OnLevel(int channel, int level, int32_t tick) { levels.push_back({channel, level, tick}); }

    IfInterrupt interrupts;
    IfSerial serial{&interrupts};
    IfTape tape;
    int64_t now = 0;
    bool monitoring = false;
    std::vector<Received> events;  // tick, code
    std::vector<Received> received;
    std::vector<Level> levels;
    std::vector<uint8_t> recording;
};

TEST(IfTape, PlaysLeaderBlocksGapsAndTrailerBitByBitAtTheirTicks) {
    Rig rig;
    rig.Receive();
    const std::vector<uint8_t> data = Data(133 * 2 + 1);
    const std::vector<uint8_t> stream = PlayedStream(data);
    rig.tape.StartPlayback(data.data(), static_cast<int32_t>(data.size()), false);
    EXPECT_EQ(rig.tape.Activity(), SerialActivity::TapePlaying);
    const int64_t end = static_cast<int64_t>(stream.size()) * 16 * kHalf;
    while (rig.now < end + 10 * kHalf) {
        rig.Tick(1);
        rig.Poll();
    }
    // Bit b of stream byte k is on the line for half-periods 16k+2b+1 and 16k+2b+2, and the
    // receiver samples on the rising clock of every even one: byte k is complete at 16k+16. The
    // receiver finds AA 55 in the leader and then takes every byte that follows.
    ASSERT_GE(rig.received.size(), stream.size() - 750);
    for (size_t k = 750; k < stream.size(); ++k) {
        const Received& r = rig.received[k - 750];
        ASSERT_EQ(r, (Received{static_cast<int64_t>(k + 1) * 16 * kHalf, stream[k]})) << k;
    }
    EXPECT_EQ(rig.events, (std::vector<Received>{{end, IfTape::kEventEndOfRecord}}));
    EXPECT_EQ(rig.tape.PlayState(), IfTape::kIdle);
    EXPECT_EQ(rig.tape.Activity(), SerialActivity::None);

    // Nothing playing: the receiver clock goes on every 833 ticks, the lines stay as they were.
    const uint8_t rxd = rig.serial.Chip().GetState().RxD;
    for (int i = 0; i < 4; ++i) {
        const uint8_t clock = rig.serial.Chip().GetState().RxC;
        rig.Tick(kHalf);
        EXPECT_NE(rig.serial.Chip().GetState().RxC, clock);
        EXPECT_EQ(rig.serial.Chip().GetState().RxD, rxd);
    }
}

TEST(IfTape, MonitoringSendsThePhaseEncodedLevelOncePerHalfPeriod) {
    Rig rig;
    rig.Receive();
    rig.monitoring = true;
    const std::vector<uint8_t> data = {0xC5};
    const std::vector<uint8_t> stream = PlayedStream(data);
    rig.tape.StartPlayback(data.data(), 1, false);
    std::mt19937 rng(7);
    std::vector<uint8_t> dsr;
    const int64_t end = static_cast<int64_t>(stream.size()) * 16 * kHalf;
    while (rig.now < end + 40 * kHalf) {
        const size_t before = rig.levels.size();
        rig.Tick(static_cast<int32_t>(1 + rng() % 24));
        if (rig.levels.size() != before) dsr.push_back(rig.serial.Chip().GetState().DsrPin);
    }
    ASSERT_EQ(rig.levels.size(), stream.size() * 16);
    for (size_t j = 1; j <= rig.levels.size(); ++j) {
        const int clock = (j & 1) ? 0 : 1;  // it starts high and falls first
        const int bit = (stream[(j - 1) / 16] >> (((j - 1) / 2) % 8)) & 1;
        const Level expected{1, (clock ^ bit) ? 15 : 0, static_cast<int64_t>(j) * kHalf};
        ASSERT_EQ(rig.levels[j - 1], expected) << j;
        ASSERT_EQ(dsr[j - 1], clock ^ bit) << j;
    }
    // Fast loading and an idle tape are silent; so is a deck with monitoring off.
    rig.levels.clear();
    rig.tape.StartPlayback(data.data(), 1, true);
    for (int i = 0; i < 2000; ++i) rig.Tick(50);
    rig.monitoring = false;
    rig.tape.StartPlayback(data.data(), 1, false);
    for (int i = 0; i < 2000; ++i) rig.Tick(50);
    EXPECT_TRUE(rig.levels.empty());
}

TEST(IfTape, FastLoadingHandsOverBytesAsTheyAreRead) {
    for (const int64_t readEvery : {int64_t{1}, int64_t{7000}}) {
        Rig rig;
        rig.Receive();
        const std::vector<uint8_t> data = Data(133);
        rig.tape.StartPlayback(data.data(), 133, true);
        while (rig.now < 20000 * kHalf) {
            rig.Tick(1);
            if (rig.now % readEvery == 0) rig.Poll();
        }
        std::vector<uint8_t> bytes;
        for (const Received& r : rig.received) bytes.push_back(static_cast<uint8_t>(r.byte));
        // The leader at its speed, the first byte bit by bit, the rest whole; the idle line
        // after the record gives the free-running receiver zeros.
        ASSERT_GE(bytes.size(), 133u);
        EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 133), data);
        for (size_t i = 133; i < bytes.size(); ++i) EXPECT_EQ(bytes[i], 0) << i;
        EXPECT_EQ(rig.serial.Chip().GetState().OverrunError, 0);
        ASSERT_EQ(rig.events.size(), 1u);
        EXPECT_EQ(rig.events[0].byte, IfTape::kEventEndOfRecord);
        if (readEvery == 1) {
            // First byte done at half-period 16 x 751; then one byte every two half-periods
            // from the third on, no trailer.
            EXPECT_EQ(rig.received[0].tick, 751 * 16 * kHalf);
            EXPECT_EQ(rig.events[0].tick, (751 * 16 + 3 + 2 * 131) * kHalf);
        } else {
            EXPECT_GT(rig.events[0].tick, 132 * 7000);
        }
    }
}

TEST(IfTape, RecorderFindsBlocksAndEndsOrDropsRecordings) {
    Rig rig;
    rig.Transmit();
    auto state = [&] { return rig.tape.RecorderState(); };
    // 3F 3F AA 55 starts nothing: AfterBlock takes only AA, Hunt only 3F.
    rig.Send(0x3F);
    EXPECT_EQ(state(), IfTape::kAfterBlock);
    for (uint8_t b : {0x3F, 0xAA, 0x55}) {
        rig.Send(b);
        EXPECT_EQ(state(), IfTape::kHunt);
    }
    for (uint8_t b : {0x3F, 0xAA, 0x55}) rig.Send(b);
    EXPECT_EQ(state(), IfTape::kInBlock);
    EXPECT_EQ(rig.serial.Chip().GetState().ParallelTx, 1);
    EXPECT_EQ(rig.tape.Activity(), SerialActivity::TapeRecording);
    const std::vector<uint8_t> data = Data(266);
    for (int i = 0; i < 133; ++i) rig.Send(data[i]);
    EXPECT_EQ(state(), IfTape::kAfterBlock);
    for (uint8_t b : {0xAA, 0x55}) rig.Send(b);
    for (int i = 133; i < 266; ++i) rig.Send(data[i]);
    EXPECT_EQ(rig.events, (std::vector<Received>{{0, IfTape::kEventFirstBlock}}));
    // 240 half-periods of quiet are not enough, the 241st ends it.
    for (int i = 0; i < 240; ++i) rig.Tick(kHalf);
    EXPECT_EQ(rig.events.size(), 1u);
    rig.Tick(kHalf);
    ASSERT_EQ(rig.events.size(), 2u);
    EXPECT_EQ(rig.events[1].byte, IfTape::kEventRecordingDone);
    std::vector<uint8_t> expected = {0x0B, 0x01, 0, 0, 0xFF};  // 267 bytes follow the length
    expected.insert(expected.end(), data.begin(), data.end());
    EXPECT_EQ(rig.recording, expected);
    EXPECT_EQ(state(), IfTape::kHunt);
    EXPECT_EQ(rig.serial.Chip().GetState().ParallelTx, 0);

    // Anything but AA after a block drops the recording.
    for (uint8_t b : {0x3F, 0xAA, 0x55}) rig.Send(b);
    for (int i = 0; i < 133; ++i) rig.Send(data[i]);
    rig.Send(0x00);
    EXPECT_EQ(state(), IfTape::kHunt);
    for (int i = 0; i < 300; ++i) rig.Tick(kHalf);
    EXPECT_EQ(rig.events.size(), 3u);  // a first block, but no recording

    // Playback excludes recording: the next byte written while playing drops it.
    for (uint8_t b : {0x3F, 0xAA, 0x55}) rig.Send(b);
    const uint8_t one = 1;
    rig.tape.StartPlayback(&one, 1, false);
    EXPECT_EQ(rig.tape.Activity(), SerialActivity::TapePlaying);
    rig.serial.PortWrite(0xC8, 0x12, 0);
    EXPECT_EQ(state(), IfTape::kHunt);
    rig.tape.StopPlayback();
    EXPECT_EQ(rig.tape.Activity(), SerialActivity::None);

    rig.events.clear();
    rig.serial.Reset(0);
    EXPECT_EQ(rig.events, (std::vector<Received>{{rig.now, IfTape::kEventSerialReset}}));
}

TEST(IfTape, FullBufferEndsTheRecordingAtItsLastWholeBlock) {
    Rig rig;
    rig.Transmit();
    for (uint8_t b : {0x3F, 0xAA, 0x55}) rig.Send(b);
    const int blocks = (131072 - 5) / 133;  // 985
    for (int n = 0; n < blocks; ++n) {
        if (n > 0) {
            rig.serial.PortWrite(0xC8, 0xAA, 0);
            rig.serial.PortWrite(0xC8, 0x55, 0);
        }
        for (int i = 0; i < 133; ++i) rig.serial.PortWrite(0xC8, static_cast<uint8_t>(n + i), 0);
    }
    ASSERT_EQ(rig.events.size(), 2u);
    EXPECT_EQ(rig.events[1].byte, IfTape::kEventRecordingDone);
    ASSERT_EQ(rig.recording.size(), 5u + 985 * 133);
    const uint32_t length = rig.recording[0] | rig.recording[1] << 8 | rig.recording[2] << 16;
    EXPECT_EQ(length, 1u + 985 * 133);
    EXPECT_EQ(rig.recording.back(), static_cast<uint8_t>(984 + 132));
    EXPECT_EQ(rig.tape.RecorderState(), IfTape::kHunt);
}

// The processor hands the ticks over in merged calls when the listeners allow it; everything
// the tape does must land on the same ticks as with a call after every instruction.
TEST(IfTape, MergedTickCallsMatchCallsAfterEveryInstruction) {
    for (const bool fast : {false, true}) {
        Rig exact, merged;
        exact.monitoring = merged.monitoring = true;
        exact.Receive();
        merged.Receive();
        const std::vector<uint8_t> data = Data(133 * 2 + 40);
        exact.tape.StartPlayback(data.data(), static_cast<int32_t>(data.size()), fast);
        merged.tape.StartPlayback(data.data(), static_cast<int32_t>(data.size()), fast);
        std::mt19937 rng(fast ? 11 : 5);
        int32_t pending = 0, quiet = 0;
        const int64_t end = 1300LL * 16 * kHalf;
        for (int64_t n = 0; exact.now < end; ++n) {
            const int32_t ticks = static_cast<int32_t>(4 + rng() % 15);
            exact.Tick(ticks);
            pending += ticks;
            if (pending >= quiet) {
                merged.Tick(pending);
                pending = 0;
                quiet = merged.serial.QuietTicks();
            }
            if (n % 97 == 0) {
                // A port access hands over what is pending first.
                if (pending > 0) merged.Tick(pending);
                pending = 0;
                quiet = merged.serial.QuietTicks();
                exact.Poll();
                merged.Poll();
            }
        }
        EXPECT_GT(exact.received.size(), 250u);
        EXPECT_EQ(merged.received, exact.received);
        EXPECT_EQ(merged.levels, exact.levels);
        EXPECT_EQ(merged.events, exact.events);
    }
}

// With nothing playing the recorder's quiet answer covers every half-period that only moves
// the receiver's clock on. The stretches must end where the receiver starts to care (a sync
// hunt, an asynchronous receiver that is programmed later) and where a recording ends, and the
// receiver's divider must count the same edges as with a call after every instruction.
TEST(IfTape, IdleStretchesMatchCallsAfterEveryInstruction) {
    Rig exact, merged;
    std::mt19937 rng(3);
    int32_t pending = 0, quiet = 0;
    int32_t longest = 0;
    const std::vector<uint8_t> block = Data(133);
    auto expectSame = [&](int64_t n) {
        const ChipUSART8251::State& a = exact.serial.Chip().GetState();
        const ChipUSART8251::State& b = merged.serial.Chip().GetState();
        ASSERT_EQ(a.RxClockCount, b.RxClockCount) << n;
        ASSERT_EQ(a.RxC, b.RxC) << n;
        ASSERT_EQ(a.RxState, b.RxState) << n;
        ASSERT_TRUE(a == b) << n;
        ASSERT_EQ(exact.events, merged.events) << n;
    };
    for (int64_t n = 0; n < 240000; ++n) {
        const int32_t ticks = static_cast<int32_t>(4 + rng() % 15);
        exact.Tick(ticks);
        pending += ticks;
        if (pending >= quiet) {
            merged.Tick(pending);
            longest = std::max(longest, pending);
            pending = 0;
            quiet = merged.serial.QuietTicks();
        }
        const int64_t step = n % 40000;
        if (step != 0 && step != 20000 && n != 120001) continue;
        // A port access: what is pending first, then the same writes on both.
        if (pending > 0) merged.Tick(pending);
        pending = 0;
        expectSame(n);
        for (Rig* rig : {&exact, &merged}) {
            // The 8251's way back to its mode byte from any state.
            for (uint8_t b : {0x00, 0x00, 0x00, 0x40}) rig->serial.PortWrite(0xC9, b, 0);
            if (step == 0 && (n / 40000) % 3 == 0) {
                // A block recorded: it ends 241 half-periods later.
                rig->Transmit();
                for (uint8_t b : {0x3F, 0xAA, 0x55}) rig->Send(b);
                for (uint8_t b : block) rig->Send(b);
            } else if (step == 0 && (n / 40000) % 3 == 1) {
                rig->Receive();  // synchronous, hunting: every edge counts
            } else if (step == 0 || n == 120001) {
                // Asynchronous, 16 clocks a bit, line 0: the divider runs on an idle line.
                for (uint8_t b : {0x4E, 0x37}) rig->serial.PortWrite(0xC9, b, 0);
            } else {
                // Receiver off.
                for (uint8_t b : {0x4E, 0x33}) rig->serial.PortWrite(0xC9, b, 0);
            }
        }
        quiet = merged.serial.QuietTicks();
    }
    merged.Tick(pending);
    expectSame(-1);
    EXPECT_EQ(
        std::count_if(exact.events.begin(), exact.events.end(),
                      [](const Received& e) { return e.byte == IfTape::kEventRecordingDone; }),
        2);
    // The stretches really were longer than one half-period.
    EXPECT_GT(longest, 100 * kHalf);
}

}  // namespace
