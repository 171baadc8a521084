#include "frontend/TapeHandOver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "machine/IfTape.h"
#include "media/tape/TapeBuilder.h"
#include "support/TapeRomMachine.h"
#include "support/TempFolder.h"

namespace {

using namespace std::chrono_literals;

struct FakeWindow : TapeHandOver::Window {
    bool AskNewTapePath(std::string& path) override {
        ++asked;
        path = answer;
        return !answer.empty();
    }
    void ShowTapeMessage(const TapeMessage& message) override { shown.push_back(message); }
    int asked = 0;
    std::string answer;
    std::vector<TapeMessage> shown;
};

// The emulation thread's side: the recorder's event reaches the deck, and the deck's hand-over.
struct EmulationThread {
    EmulationThread(TapeDeck& deck, int event)
        : thread([&deck, event, this] {
              deck.OnTapeEvent(event);
              returned = true;
          }) {}
    ~EmulationThread() { thread.join(); }
    bool ReturnsWithin(std::chrono::milliseconds limit) const {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!returned && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(1ms);
        return returned;
    }
    std::atomic<bool> returned{false};
    std::thread thread;
};

class TapeHandOverTest : public ::testing::Test {
  protected:
    TapeHandOverTest() {
        deck.AttachTape(&tape);
        tapePath = folder.Write("one.pta", tapebuild::DataRecord(1, 2));
    }
    testing_support::TempFolder folder;
    std::string tapePath;
    IfTape tape;
    TapeDeck deck;
    FakeWindow window;
    TapeHandOver handOver{deck, window};
};

// An event posted while the window is free waits until the window's refresh has served it;
// a call into the machine that the window starts meanwhile serves it first.
TEST_F(TapeHandOverTest, APostedEventWaitsForTheWindowWhichServesItBeforeTakingTheMachine) {
    window.answer = folder / "new.pta";
    {
        EmulationThread emulation(deck, IfTape::kEventFirstBlock);
        EXPECT_FALSE(emulation.ReturnsWithin(100ms)) << "the machine stands still meanwhile";
        EXPECT_EQ(window.asked, 0);
        TapeHandOver::MachineCall call(handOver);
        EXPECT_TRUE(call);
        EXPECT_EQ(window.asked, 1);
        EXPECT_TRUE(emulation.ReturnsWithin(2000ms));
    }
    EXPECT_EQ(deck.TapePath(), folder / "new.pta");
    EXPECT_EQ(handOver.ListChanges(), 1);

    // With a tape listed the first block needs nothing; the refresh completes it.
    deck.OpenTapeFile(tapePath);
    EmulationThread emulation(deck, IfTape::kEventFirstBlock);
    while (!emulation.returned) {
        handOver.Serve();
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(window.asked, 1);
}

// The window waiting for the processor mutex cannot serve anything: the event is served on the
// emulation thread at once, and only the question for the user is left for the next refresh.
TEST_F(TapeHandOverTest, AnEventThatFindsTheWindowInTheMachineIsServedWithoutWaiting) {
    deck.OpenTapeFile(tapePath);
    ASSERT_FALSE(deck.Play());
    ASSERT_TRUE(deck.Playing());
    {
        TapeHandOver::MachineCall call(handOver);
        ASSERT_TRUE(call);
        {
            EmulationThread reset(deck, IfTape::kEventSerialReset);
            EXPECT_TRUE(reset.ReturnsWithin(2000ms));
        }
        EXPECT_FALSE(deck.Playing());
        deck.NewTape();
        EmulationThread firstBlock(deck, IfTape::kEventFirstBlock);
        EXPECT_TRUE(firstBlock.ReturnsWithin(2000ms));
    }
    EXPECT_EQ(window.asked, 0);
    window.answer.clear();  // the user cancels
    handOver.Serve();
    EXPECT_EQ(window.asked, 1);
    handOver.Serve();
    EXPECT_EQ(window.asked, 1) << "asked once";
}

// A SAVE while the window is inside the machine: both events are served on the emulation
// thread at once. With no tape file the recording is held in the list; the window's next
// refresh asks for a file again and, cancelled, tells the user the recording is kept.
TEST(TapeHandOver, ARecordingWithNoFileIsHeldAndTheWindowToldAtItsRefresh) {
    testing_support::TapeRomMachine machine;
    TapeDeck deck;
    deck.AttachTape(&machine.tape);
    FakeWindow window;  // cancels every question
    TapeHandOver handOver{deck, window};
    ASSERT_TRUE(machine.RunForMs(1500));
    {
        TapeHandOver::MachineCall call(handOver);
        ASSERT_TRUE(call);
        std::thread emulation([&] {
            machine.Type("save 1000 20\r");
            for (int ms = 0; ms < 10000 && deck.Records().empty(); ms += 20) machine.RunForMs(20);
        });
        emulation.join();
    }
    ASSERT_EQ(deck.Records().size(), 1u) << machine.LastLines(4);
    EXPECT_EQ(deck.HeldRecordings(), 1);
    EXPECT_EQ(window.asked, 0);
    EXPECT_TRUE(window.shown.empty());
    handOver.Serve();
    EXPECT_EQ(window.asked, 1);
    ASSERT_EQ(window.shown.size(), 1u);
    EXPECT_EQ(window.shown[0].messageKey, "text.RecordingKept.Message");
    EXPECT_TRUE(window.shown[0].done);
    EXPECT_EQ(deck.HeldRecordings(), 1);
}

}  // namespace
