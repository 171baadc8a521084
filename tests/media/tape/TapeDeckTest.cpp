#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "machine/IfInterrupt.h"
#include "machine/IfSerial.h"
#include "machine/IfTape.h"
#include "media/tape/TapeBuilder.h"
#include "media/tape/TapeDeck.h"
#include "support/TempFolder.h"

namespace {

using namespace tapebuild;

// The end of a record moves the deck to the next data record, past info records, and from the
// last item back to the first data record.
TEST(TapeDeck, EndOfRecordMovesToTheNextDataRecordAndStops) {
    testing_support::TempFolder folder;
    const std::string path =
        folder.Write("deck.pta", Record(0x00, "side A") + DataRecord(1, 2) + Record(0x00, "note") +
                                     DataRecord(1, 2, 2) + Record(0x00, "end"));
    IfTape tape;
    TapeDeck deck;
    deck.AttachTape(&tape);
    deck.OpenTapeFile(path);
    ASSERT_EQ(deck.Records().size(), 5u);
    EXPECT_EQ(deck.CurrentIndex(), 1);
    EXPECT_FALSE(deck.Play());
    EXPECT_TRUE(deck.Playing());
    EXPECT_EQ(tape.PlayState(), IfTape::kLeader);
    EXPECT_EQ(deck.PlayLength(), 2 * 133);
    EXPECT_TRUE(deck.OnTapeEvent(IfTape::kEventEndOfRecord));
    EXPECT_EQ(deck.CurrentIndex(), 3);
    EXPECT_FALSE(deck.Playing());
    EXPECT_EQ(tape.PlayState(), IfTape::kIdle);
    deck.OnTapeEvent(IfTape::kEventEndOfRecord);  // only an info record follows: none
    EXPECT_EQ(deck.CurrentIndex(), -1);
    deck.OpenTapeFile(folder.Write("two.pta", DataRecord(1, 2) + DataRecord(1, 2, 2)));
    deck.MakeCurrent(1);
    deck.OnTapeEvent(IfTape::kEventEndOfRecord);  // the last item: back to the first
    EXPECT_EQ(deck.CurrentIndex(), 0);

    deck.SetMonitoring(true);
    EXPECT_TRUE(deck.OnTapeEvent(IfTape::kEventMonitorQuery));
    deck.SetFast(true);
    EXPECT_TRUE(deck.Fast());

    const std::string gone = folder / "two.pta";
    // A source gone missing is reported and nothing plays; a tape without data records plays
    // nothing at all.
    std::filesystem::remove(gone);
    TapeMessage failed = deck.Play();
    EXPECT_EQ(failed.messageKey, "err.OpenTape.Message");
    EXPECT_EQ(failed.inserted, std::vector<std::string>{gone});
    EXPECT_EQ(tape.PlayState(), IfTape::kIdle);
    deck.OpenTapeFile(folder.Write("info.pta", Record(0x00, "only text")));
    EXPECT_EQ(deck.CurrentIndex(), -1);
    EXPECT_FALSE(deck.Play());
    EXPECT_EQ(tape.PlayState(), IfTape::kIdle);
}

}  // namespace

namespace {

// The window's thread plays, stops and watches the progress while the emulation thread ticks
// and ends records (run under ThreadSanitizer in CI). The buttons' commands reach the tape the
// way a running machine takes them: latched by the window's thread, applied by the emulation
// thread in between two of its periods; the progress is read from the window's thread at any
// time.
TEST(TapeDeck, PlayAndStopFromAnotherThreadWhileTheTapeRuns) {
    testing_support::TempFolder folder;
    const std::string path = folder.Write("deck.pta", DataRecord(2, 1) + DataRecord(1, 1, 2));
    IfInterrupt interrupts;
    IfSerial serial(&interrupts);
    IfTape tape;
    tape.Attach(serial);
    for (uint8_t b : {0x0C, 0xAA, 0x55, 0xB6}) serial.PortWrite(0xC9, b, 0);
    struct Latch {
        std::mutex mutex;
        bool pending = false;
        std::vector<uint8_t> data;
        bool fast = false;
        void Command(const uint8_t* bytes, int32_t length, bool isFast) {
            std::lock_guard<std::mutex> lock(mutex);
            data.assign(bytes, bytes + (bytes != nullptr ? length : 0));
            fast = isFast;
            pending = true;
        }
    } latch;
    TapeDeck deck;
    deck.AttachTape(&tape);
    deck.SetCommands(TapeDeck::Commands::Bind<&Latch::Command>(&latch));
    deck.OpenTapeFile(path);
    deck.SetFast(true);
    std::atomic<bool> done{false};
    std::thread emulation([&] {
        int32_t position = 0;
        while (!done.load()) {
            {
                std::lock_guard<std::mutex> lock(latch.mutex);
                if (latch.pending) {
                    if (latch.data.empty()) {
                        tape.StopPlayback();
                    } else {
                        tape.StartPlayback(latch.data.data(), static_cast<int>(latch.data.size()),
                                           latch.fast);
                    }
                    latch.pending = false;
                }
            }
            position = (position + 18) % 4000;
            serial.OnTick(position, 18);
            if (serial.PortRead(0xC9, 0) & 0x02) serial.PortRead(0xC8, 0);
        }
    });
    int32_t progress = 0;
    for (int round = 0; round < 200; ++round) {
        EXPECT_FALSE(deck.Play());
        for (int i = 0; i < 50; ++i) progress = std::max(progress, deck.Progress());
        if (round % 3 == 0) deck.Stop();
        std::this_thread::yield();
    }
    done = true;
    emulation.join();
    deck.SetCommands({});  // one thread again: the stop goes straight to the tape
    deck.Stop();
    EXPECT_EQ(tape.PlayState(), IfTape::kIdle);
    EXPECT_GE(progress, 0);
}

}  // namespace
