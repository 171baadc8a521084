#include "media/tape/TapeRecording.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "TapeBuilder.h"
#include "machine/IfTape.h"
#include "media/tape/TapeDeck.h"
#include "media/tape/TapeImage.h"
#include "media/tape/TapeSignal.h"
#include "media/tape/TapeSource.h"
#include "support/CassetteSignal.h"
#include "support/TempFolder.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A record's data as the tape image stores it after the type byte: both copies of each block.
Bytes RecordData(int blocks, uint8_t number, uint8_t fileType) {
    const std::string record = tapebuild::DataRecord(blocks, 2, number, fileType);
    return Bytes(record.begin() + 5, record.end());
}

const std::vector<Bytes>& Originals() {
    static const std::vector<Bytes> records = {RecordData(3, 0x01, 0x08), RecordData(1, 0x7F, 0x02),
                                               RecordData(2, 0x05, 0x04)};
    return records;
}

const std::vector<int16_t>& CleanSignal() {
    static const std::vector<int16_t> signal = tape::PlaySignal(Originals());
    return signal;
}

tape::RecordingResult Decode(const std::string& wav) {
    MemoryTapeSource source(wav);
    return tape::DecodeRecording(source);
}

tape::RecordingResult DecodeDamaged(const std::vector<int16_t>& clean, const cassette::Damage& d) {
    return Decode(cassette::Wave(cassette::Degrade(clean, d), d));
}

struct Case {
    const char* name;
    cassette::Damage damage;
};

std::vector<Case> Cases() {
    std::vector<Case> cases;
    auto add = [&cases](const char* name, auto change) {
        cassette::Damage d;
        change(d);
        cases.push_back({name, d});
    };
    add("6 % slow, 22050 Hz, 8 bits", [](auto& d) {
        d.speed = 0.94;
        d.rate = 22050;
        d.bits = 8;
    });
    add("6 % fast, 48000 Hz, 24 bits", [](auto& d) {
        d.speed = 1.06;
        d.rate = 48000;
        d.bits = 24;
    });
    add("drifting from 6 % slow to 6 % fast with flutter, 32 bits", [](auto& d) {
        d.speed = 0.94;
        d.endSpeed = 1.06;
        d.flutter = 0.01;
        d.bits = 32;
    });
    add("3 kHz band, float", [](auto& d) {
        d.lowPass = true;
        d.isFloat = true;
        d.bits = 32;
    });
    add("noise", [](auto& d) { d.noise = 0.1; });
    add("DC and inverted", [](auto& d) {
        d.dc = 0.3;
        d.invert = true;
    });
    add("level steps", [](auto& d) { d.levelSteps = true; });
    add("clicks between records", [](auto& d) { d.clicks = true; });
    add("stereo, signal on the right", [](auto& d) {
        d.channels = 2;
        d.signalChannel = 1;
    });
    add("stereo, signal on the left", [](auto& d) { d.channels = 2; });
    add("everything at once", [](auto& d) {
        d.rate = 22050;
        d.speed = 1.05;
        d.endSpeed = 0.95;
        d.flutter = 0.008;
        d.lowPass = true;
        d.noise = 0.06;
        d.dc = -0.1;
        d.invert = true;
        d.levelSteps = true;
        d.clicks = true;
        d.channels = 2;
        d.signalChannel = 1;
        d.isFloat = true;
        d.bits = 32;
    });
    return cases;
}

TEST(TapeRecording, WhatCassettesDoToTheSignalLeavesTheRecordsExact) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        const tape::RecordingResult result = DecodeDamaged(CleanSignal(), c.damage);
        ASSERT_EQ(result.error, "");
        EXPECT_EQ(result.channel, c.damage.signalChannel);
        ASSERT_EQ(result.records.size(), Originals().size());
        for (size_t i = 0; i < Originals().size(); ++i) {
            const tape::DecodedRecord& r = result.records[i];
            EXPECT_TRUE(r.data == Originals()[i]) << "record " << i + 1;
            EXPECT_EQ(r.blocksWithoutGoodCopy, 0);
        }
        EXPECT_EQ(result.records[1].number, 0x7F);
        EXPECT_EQ(result.records[1].fileType, 0x02);
        EXPECT_EQ(result.records[0].blocks, 3);
        if (c.damage.endSpeed == 0) {
            // 1666 ticks of 2 MHz per bit, as fast as the tape ran.
            const double expected = 2000000.0 / 1666 * c.damage.speed;
            for (const tape::DecodedRecord& r : result.records) {
                EXPECT_NEAR(r.bitsPerSecond, expected, expected * 0.003);
            }
        }
    }
}

// A stretch of noise where record 2's block 1 was (both copies) and a dropout inside the second
// copy of its block 0.
TEST(TapeRecording, ADamagedStretchKeepsTheGoodRecordsAndMarksItsBlocks) {
    const std::vector<Bytes> records = {RecordData(1, 0x11, 0x08), RecordData(3, 0x22, 0x04),
                                        RecordData(1, 0x33, 0x02)};
    std::vector<int16_t> signal = tape::PlaySignal(records);
    // Record 2 starts after record 1 and its pause. A byte lasts 16 half-periods of 833 ticks.
    const double byteSamples = 16 * 833 * 44100.0 / 2000000;
    const std::vector<int16_t> first = tape::PlaySignal({records[0]});
    const double start = static_cast<double>(first.size()) + 44100;
    auto copyAt = [&](int copy) { return start + byteSamples * (750 + 140 * copy); };
    std::mt19937 random(7);
    for (auto i = static_cast<size_t>(copyAt(2) - byteSamples); i < copyAt(3) + 100 * byteSamples;
         ++i) {
        signal[i] = static_cast<int16_t>(std::uniform_int_distribution<int>(-20000, 20000)(random));
    }
    const auto dropout = static_cast<size_t>(copyAt(5) + 60 * byteSamples);
    std::fill(signal.begin() + dropout, signal.begin() + dropout + 2 * byteSamples, 0);

    const tape::RecordingResult result = DecodeDamaged(signal, cassette::Damage{});
    ASSERT_EQ(result.records.size(), 3u);
    EXPECT_TRUE(result.records[0].data == records[0]);
    EXPECT_TRUE(result.records[2].data == records[2]);
    const tape::DecodedRecord& damaged = result.records[1];
    EXPECT_EQ(damaged.number, 0x22);
    EXPECT_EQ(damaged.blocks, 3);
    EXPECT_EQ(damaged.blocksWithoutGoodCopy, 1);
    // Block 2 twice, block 0 once whole and once with the dropout, in the order heard.
    ASSERT_EQ(damaged.data.size(), 4u * 133);
    const Bytes& original = records[1];
    EXPECT_TRUE(Bytes(damaged.data.begin(), damaged.data.begin() + 266) ==
                Bytes(original.begin(), original.begin() + 266));
    EXPECT_TRUE(Bytes(damaged.data.begin() + 266, damaged.data.begin() + 399) ==
                Bytes(original.begin() + 532, original.begin() + 665));
    EXPECT_FALSE(Bytes(damaged.data.begin() + 399, damaged.data.end()) ==
                 Bytes(original.begin() + 665, original.end()));

    // The tape image lists the damage; the good copies make up block 2 and block 0.
    const std::string image = tape::RecordingImage(result);
    MemoryTapeSource source(image);
    const tape::ReadResult read = tape::ReadTapeFrom(source, "decoded.pta");
    EXPECT_FALSE(read.failed);
    ASSERT_EQ(read.records.size(), 3u);
    const tagTapeRecord& listed = *std::next(read.records.begin());
    EXPECT_TRUE(listed.incomplete);
    EXPECT_FALSE(read.records.front().incomplete || read.records.front().crcError);
}

TEST(TapeRecording, GarbageSilenceAndUnreadableFormatsGiveNoRecord) {
    cassette::Damage d;
    const std::vector<float> silence(44100 * 3, 0.0f);
    EXPECT_TRUE(Decode(cassette::Wave(silence, d)).records.empty());
    std::mt19937 random(99);
    std::vector<float> noise(44100 * 20);
    for (float& v : noise) v = std::uniform_real_distribution<float>(-1, 1)(random);
    const tape::RecordingResult fromNoise = Decode(cassette::Wave(noise, d));
    EXPECT_EQ(fromNoise.error, "");
    EXPECT_TRUE(fromNoise.records.empty());

    const std::string good = cassette::Wave(silence, d);
    auto refused = [](std::string wav, tape::RecordingRefusal kind, const char* named) {
        const tape::RecordingResult r = Decode(wav);
        EXPECT_EQ(r.refusal, kind) << r.error;
        EXPECT_NE(r.error.find(named), std::string::npos) << r.error;
        EXPECT_TRUE(r.records.empty());
    };
    // What libsndfile cannot read is refused in its words.
    refused("", tape::RecordingRefusal::NotAudio, "not a sound recording: ");
    refused("Dear Sir, this is no recording.", tape::RecordingRefusal::NotAudio, "recognised");
    refused(good.substr(0, 30), tape::RecordingRefusal::NotAudio, "not a sound recording: ");
    std::string threeChannels = good;
    threeChannels[22] = 3;
    threeChannels[32] = 6;  // the frame's bytes, as a consistent header has them
    refused(threeChannels, tape::RecordingRefusal::Channels, "mono and stereo");
    cassette::Damage slow;
    slow.rate = 11025;
    refused(cassette::Wave(silence, slow), tape::RecordingRefusal::SampleRate, "11025 Hz");
    // A data chunk that claims more than the file holds is read as far as the file goes.
    std::string cut = cassette::Wave(cassette::Degrade(CleanSignal(), d), d);
    cut.resize(cut.size() / 2);
    const tape::RecordingResult half = Decode(cut);
    EXPECT_EQ(half.error, "");
    ASSERT_GE(half.records.size(), 1u);
    EXPECT_TRUE(half.records[0].data == Originals()[0]);
}

// The tape browser's deck takes a recording as it takes a tape image: records listed under the
// recording's name, playable, saved as a tape image; the recording itself is never written.
TEST(TapeRecording, TheDeckPlaysARecordingAndSavesItAsATapeImage) {
    testing_support::TempFolder folder;
    cassette::Damage d;
    d.speed = 0.97;
    d.noise = 0.05;
    const std::string wav = cassette::Wave(cassette::Degrade(CleanSignal(), d), d);
    const std::string path = folder.Write("side-a.wav", wav);
    IfTape tape;
    TapeDeck deck;
    deck.AttachTape(&tape);
    deck.OpenTapeFile(path);
    ASSERT_EQ(deck.Records().size(), 3u);
    EXPECT_EQ(deck.TapePath(), path);
    const std::string image = deck.Records().front().sourcePath;
    EXPECT_EQ(std::filesystem::path(image).filename(), "side-a.wav");
    EXPECT_EQ(deck.CurrentIndex(), 0);
    EXPECT_FALSE(deck.Play());
    EXPECT_EQ(deck.PlayLength(), static_cast<int32_t>(Originals()[0].size()));
    deck.Stop();
    tape::WorkBuffer work(tape::kWorkBufferSize);
    const tagTapeRecord& second = *std::next(deck.Records().begin());
    ASSERT_EQ(tape::ReadPlayData(second, work), static_cast<int64_t>(Originals()[1].size()));
    EXPECT_TRUE(Bytes(work.begin(), work.begin() + Originals()[1].size()) == Originals()[1]);

    // A recording made by the machine asks for a tape file of its own.
    EXPECT_TRUE(deck.NeedsTapeFile());

    // Edited, the recording is saved as a tape image only: its own name is refused.
    deck.EnterEditMode();
    EXPECT_FALSE(deck.AppendTape(path));
    EXPECT_EQ(deck.Records().size(), 6u);
    EXPECT_EQ(deck.SaveStart(), folder / "side-a.pta");
    const TapeMessage overRecording = deck.SaveTape(path);
    EXPECT_EQ(overRecording.messageKey, "err.SaveOverRecording.Message");
    EXPECT_EQ(deck.SaveSelection({0}, folder / "SIDE.WAV").messageKey, overRecording.messageKey);
    EXPECT_TRUE(deck.EditMode() && deck.Changed());
    const Bytes unchanged = testing_support::TempFolder::Read(path);
    EXPECT_EQ(std::string(unchanged.begin(), unchanged.end()), wav);
    EXPECT_FALSE(std::filesystem::exists(folder / "SIDE.WAV"));
    EXPECT_EQ(
        deck.AppendTape(folder.Write("noise.wav", cassette::Wave({0.5f, -0.5f}, d))).messageKey,
        "err.OpenTape.Message");
    ASSERT_FALSE(deck.LeaveEditMode(nullptr));
    const std::string saved = folder / "side-a.pta";
    ASSERT_FALSE(deck.SaveTape(saved));
    std::string expected;
    for (const Bytes& r : Originals()) {
        expected += tapebuild::Record(0xFF, std::string(r.begin(), r.end()));
    }
    const Bytes written = testing_support::TempFolder::Read(saved);
    EXPECT_EQ(std::string(written.begin(), written.end()), expected);
    EXPECT_FALSE(deck.NeedsTapeFile());
    // The decoded images went with the records that came from them.
    EXPECT_FALSE(std::filesystem::exists(image));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(image).parent_path()));
}

// A file that gives no record says why, in the browser's language keys, with its name.
TEST(TapeRecording, TheDeckSaysWhyAFileGaveNoRecord) {
    testing_support::TempFolder folder;
    cassette::Damage slow;
    slow.rate = 11025;
    const std::vector<float> silence(44100, 0.0f);
    const struct {
        std::string name, bytes, key, value;
    } files[] = {
        {"empty.pta", "", "err.NoRecords.Empty", ""},
        {"letter.pta", "Dear Sir, this is no tape.", "err.NoRecords.NotTape", ""},
        {"silent.wav", cassette::Wave(silence, cassette::Damage{}), "err.NoRecords.NoSignal", ""},
        {"slow.wav", cassette::Wave(silence, slow), "err.NoRecords.SampleRate", "11025"},
        {"text.wav", "no RIFF here", "err.NoRecords.NotAudio", "Format not recognised."},
    };
    TapeDeck deck;
    for (const auto& file : files) {
        deck.OpenTapeFile(folder.Write(file.name, file.bytes));
        EXPECT_TRUE(deck.Records().empty() || deck.Records().front().recordType != tape::kTypeData)
            << file.name;
        EXPECT_EQ(deck.LoadProblem().messageKey, file.key) << file.name;
        EXPECT_EQ(deck.LoadProblem().titleKey, "err.NoRecords.Title");
        std::vector<std::string> inserted{file.name};
        if (!file.value.empty()) inserted.push_back(file.value);
        EXPECT_EQ(deck.LoadProblem().inserted, inserted) << file.name;
    }
    // A tape of info records only is a tape.
    deck.OpenTapeFile(folder.Write("notes.pta", tapebuild::Record(0x00, "side B is empty")));
    EXPECT_FALSE(deck.LoadProblem());
}

}  // namespace
