#include "media/tape/TapeRecording.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string_view>
#include <system_error>
#include <vector>

#include "host/files/AtomicFile.h"
#include "media/tape/AudioFile.h"
#include "media/tape/TapeImage.h"
#include "media/tape/TapeRecord.h"

namespace tape {
namespace {

constexpr int kTicksPerHalfPeriod = 833;
constexpr double kClock = 2000000.0;
// A record on tape fits the work buffer once its length field and type byte are added.
constexpr size_t kMaxRecordData = kWorkBufferSize - 5;
// A recording cannot hold more records than this many leaders fit an hour of tape; the limit
// only keeps a hostile file from growing the list without end.
constexpr size_t kMaxRecords = 4096;
// Blocks follow each other 7 bytes apart, records after a second's pause and a leader of 750
// bytes: a sync this many bits after the last block belongs to a new record.
constexpr double kNewRecordBits = 320 * 8;
// What the decoder reads at once.
constexpr size_t kReadFrames = 1 << 14;
constexpr const char* kImageFolderPrefix = "tevrin-recording-";
// The endings of the sound files a cassette is kept in: what libsndfile reads.
constexpr const char* kRecordingEndings[] = {".wav",  ".wave", ".w64", ".flac", ".aiff", ".aif",
                                             ".aifc", ".ogg",  ".oga", ".opus", ".au",   ".caf"};

struct Refusal {
    RecordingRefusal kind = RecordingRefusal::None;
    std::string text;
    std::vector<std::string> values;
};

Refusal Refuse(RecordingRefusal kind, std::string text, std::vector<std::string> values = {}) {
    return {kind, std::move(text), std::move(values)};
}

// What the decoder cannot take from a file libsndfile reads.
Refusal CheckFormat(const AudioReader& audio) {
    if (!audio.IsOpen()) {
        return Refuse(RecordingRefusal::NotAudio, "not a sound recording: " + audio.Error(),
                      {audio.Error()});
    }
    const AudioFormat& format = audio.Format();
    if (format.channels != 1 && format.channels != 2) {
        return Refuse(RecordingRefusal::Channels,
                      "only mono and stereo recordings can be read (this one has " +
                          std::to_string(format.channels) + " channels)",
                      {std::to_string(format.channels)});
    }
    if (format.sampleRate < kMinRecordingRate || format.sampleRate > kMaxRecordingRate) {
        return Refuse(RecordingRefusal::SampleRate,
                      "the sample rate " + std::to_string(format.sampleRate) + " Hz is outside " +
                          std::to_string(kMinRecordingRate) + " to " +
                          std::to_string(kMaxRecordingRate) + " Hz",
                      {std::to_string(format.sampleRate)});
    }
    return {};
}

// One block copy as it was heard.
struct HeardBlock {
    std::array<uint8_t, kBlockSize> bytes{};
    double firstBit = 0, lastBit = 0;  // mid-bit times, in samples
    bool clean = true;                 // every bit had its edge, and the clock held
};

struct RecordBuilder {
    std::vector<HeardBlock> blocks;
    bool leader = false;  // began with a leader, not only with a block gap
    double start = 0;
};

// The bytes, blocks and records of one channel: the clock recovered from the signal's
// transitions, the bit stream cut at the sync bytes.
class ChannelDecoder {
  public:
    explicit ChannelDecoder(int sampleRate)
        : halfNominal_(sampleRate * kTicksPerHalfPeriod / kClock),
          window_(std::max(8, static_cast<int>(16 * halfNominal_))),
          ring_(static_cast<size_t>(window_), 0.0f),
          // The envelope falls to a third in about 2 ms: after a click the signal counts again
          // within a few bits.
          envelopeDecay_(static_cast<float>(std::exp(-1.0 / (0.002 * sampleRate)))),
          halfEstimate_(halfNominal_),
          bitLength_(2 * halfNominal_) {}

    void Feed(float x) {
        // The mean over whole bits of the phase-encoded signal is zero, so the running mean of
        // 8 bits is the DC offset (and the slow rumble) alone; the sample in the middle of the
        // window is the one it is taken from.
        const float old = ring_[pos_];
        ring_[pos_] = x;
        sum_ += static_cast<double>(x) - old;
        if (++pos_ == ring_.size()) pos_ = 0;
        size_t middle = pos_ + ring_.size() / 2;
        if (middle >= ring_.size()) middle -= ring_.size();
        const float y = ring_[middle] - static_cast<float>(sum_ / static_cast<double>(window_));
        const double t = static_cast<double>(index_) - static_cast<double>(window_ - 1) +
                         static_cast<double>(ring_.size() / 2);
        ++index_;
        Detect(y, t);
    }

    void Finish() {
        LoseLock();
        EndRecord();
    }

    std::vector<RecordBuilder>& Records() { return records_; }

  private:
    // Transitions: a sign change counts once the signal has gone past a fifth of its current
    // level on the other side, so noise around zero does not make edges; its time is the middle
    // of the zero crossings on the way.
    void Detect(float y, double t) {
        const float magnitude = std::fabs(y);
        envelope_ = std::max(magnitude, envelope_ * envelopeDecay_);
        const float threshold = std::max(0.2f * envelope_, 1e-4f);
        if ((previous_ < 0) != (y < 0)) {
            const bool towardsOther = (y >= 0) == (state_ < 0) || state_ == 0;
            if (towardsOther) {
                const double crossing = t - 1 + previous_ / (previous_ - y);
                if (!crossing_) firstCrossing_ = crossing;
                lastCrossing_ = crossing;
                crossing_ = true;
            }
        }
        previous_ = y;
        if (y > threshold && state_ <= 0) {
            if (state_ < 0 && crossing_) Edge(0.5 * (firstCrossing_ + lastCrossing_), true);
            state_ = 1;
            crossing_ = false;
        } else if (y < -threshold && state_ >= 0) {
            if (state_ > 0 && crossing_) Edge(0.5 * (firstCrossing_ + lastCrossing_), false);
            state_ = -1;
            crossing_ = false;
        } else if ((state_ > 0 && y > threshold) || (state_ < 0 && y < -threshold)) {
            crossing_ = false;  // back on its side: the crossing was noise
        }
    }

    // Every bit has a transition in its middle; between two bits there is one only when they
    // are equal. The clock follows the middle transitions and ignores the others.
    void Edge(double t, bool rising) {
        const double interval = t - lastEdge_;
        lastEdge_ = t;
        if (!locked_) {
            Acquire(interval, t, rising);
            return;
        }
        const double window = 0.3 * bitLength_;
        if (t > expected_ + 24 * bitLength_) {  // a long silence: the clock starts again
            LoseLock();
            return;
        }
        while (t > expected_ + window) {  // a middle transition went missing
            Bit(0, expected_, false);
            expected_ += bitLength_;
            if (++missed_ > 24) {
                LoseLock();
                return;
            }
        }
        if (t < expected_ - window) {
            // A transition between two bits follows a middle one half a bit earlier. One that
            // ends an interval of a whole bit is a middle one: the clock had slipped by half a
            // bit and takes its phase from it.
            if (interval > 0.8 * bitLength_ && interval < 1.2 * bitLength_) {
                expected_ = t;
            } else {
                const double between = expected_ - bitLength_ / 2;
                if (std::fabs(t - between) > 0.2 * bitLength_ || interval < 0.3 * bitLength_) {
                    Garbage();
                }
                return;
            }
        }
        if (interval < 0.3 * bitLength_) {
            Garbage();
            if (!locked_) return;
        }
        const double error = t - expected_;
        bitLength_ = std::clamp(bitLength_ + 0.01 * error, 1.7 * halfNominal_, 2.3 * halfNominal_);
        expected_ += 0.2 * error + bitLength_;
        missed_ = 0;
        noise_ = std::max(0.0, noise_ - 0.25);
        Bit(rising ? 1 : 0, t, true);
    }

    // Transitions where the signal has none: noise, or no signal at all. The clock lets go
    // when they come faster than the good ones.
    void Garbage() {
        if (++noise_ > 6) LoseLock();
    }

    // The half-period is learned from the intervals (one or two half-periods long); the end of
    // a long one, after a run of intervals that all fit, is the middle of a bit, where the clock
    // starts.
    void Acquire(double interval, double t, bool rising) {
        const double h = halfEstimate_;
        const bool single = interval > 0.7 * h && interval < 1.4 * h;
        const bool twice = interval > 1.6 * h && interval < 2.4 * h;
        if (!single && !twice) {
            fitting_ = 0;
            return;
        }
        halfEstimate_ += 0.1 * ((twice ? interval / 2 : interval) - h);
        halfEstimate_ = std::clamp(halfEstimate_, 0.85 * halfNominal_, 1.15 * halfNominal_);
        if (++fitting_ < 16 || !twice) return;
        locked_ = true;
        missed_ = 0;
        noise_ = 0;
        bitLength_ = 2 * halfEstimate_;
        expected_ = t + bitLength_;
        Bit(rising ? 1 : 0, t, true);
    }

    void LoseLock() {
        locked_ = false;
        fitting_ = 0;
        halfEstimate_ = std::clamp(bitLength_ / 2, 0.94 * halfNominal_, 1.06 * halfNominal_);
        if (inBlock_) {
            // The rest of the block is lost; what was heard stays, its checksum will tell.
            block_.clean = false;
            StoreBlock();
        }
        inBlock_ = false;
    }

    // Raw bits: the direction of the middle transition. Which direction is a 1 depends on the
    // recording's polarity, and is settled by the sync bytes.
    void Bit(int raw, double t, bool heard) {
        history_[historyAt_++ & (history_.size() - 1)] = static_cast<uint8_t>(raw);
        shift_ = (shift_ >> 1) | (static_cast<uint64_t>(raw) << 63);
        if (inBlock_) {
            const int bit = raw ^ polarity_;
            if (bitCount_ == 0) block_.firstBit = t;
            block_.lastBit = t;
            if (!heard) block_.clean = false;
            block_.bytes[bitCount_ / 8] |= static_cast<uint8_t>(bit << (bitCount_ % 8));
            if (++bitCount_ == kBlockSize * 8) {
                StoreBlock();
                inBlock_ = false;
            }
            return;
        }
        // The gap before every block ends in 3F 3F 3F 3F 3F AA 55; a record's leader in 748 of
        // 3F before the AA 55.
        const uint32_t last4 = static_cast<uint32_t>(shift_ >> 32);
        constexpr uint32_t kSync = 0x55AA3F3Fu;
        int polarity = -1;
        if (last4 == kSync) polarity = 0;
        if (last4 == ~kSync) polarity = 1;
        if (polarity < 0) return;
        // A long run of 3F is a leader: a new record. A short one is the gap before the next
        // block of the record being heard, or, with none, a record whose leader was lost. Noise
        // may spoil a leader's last bytes; a sync heard long after the last block starts a new
        // record all the same.
        const bool leader = LeaderBytes(polarity) >= 48;
        const bool longAfter =
            current_ != nullptr && t - lastBlockEnd_ > kNewRecordBits * bitLength_;
        const bool newRecord = leader || longAfter;
        if (!newRecord && current_ != nullptr && polarity != polarity_) return;
        if (newRecord || current_ == nullptr) {
            EndRecord();
            if (records_.size() >= kMaxRecords) return;
            records_.emplace_back();
            current_ = &records_.back();
            current_->leader = leader;
            current_->start = t;
        }
        polarity_ = polarity;
        inBlock_ = true;
        bitCount_ = 0;
        block_ = HeardBlock{};
    }

    // How many of the 64 bytes before the sync were 3F.
    int LeaderBytes(int polarity) const {
        int count = 0;
        // The last 16 bits are AA 55; the bytes before them, newest first.
        for (size_t back = 16 + 8; back <= 16 + 64 * 8 && back <= historyAt_; back += 8) {
            int value = 0;
            for (int b = 0; b < 8; ++b) {
                const size_t at = (historyAt_ - back + b) & (history_.size() - 1);
                value |= (history_[at] ^ polarity) << b;
            }
            count += value == 0x3F ? 1 : 0;
        }
        return count;
    }

    void StoreBlock() {
        if (current_ == nullptr) return;
        lastBlockEnd_ = block_.lastBit;
        if ((current_->blocks.size() + 1) * kBlockSize > kMaxRecordData) return;
        current_->blocks.push_back(block_);
    }

    void EndRecord() {
        if (current_ != nullptr && current_->blocks.empty()) records_.pop_back();
        current_ = nullptr;
    }

    const double halfNominal_;
    const int window_;
    std::vector<float> ring_;
    size_t pos_ = 0;
    double sum_ = 0;
    int64_t index_ = 0;
    const float envelopeDecay_;
    float envelope_ = 0, previous_ = 0;
    int state_ = 0;
    bool crossing_ = false;
    double firstCrossing_ = 0, lastCrossing_ = 0;

    double lastEdge_ = -1e9;
    double halfEstimate_;
    bool locked_ = false;
    double bitLength_;
    double expected_ = 0;
    int missed_ = 0;
    double noise_ = 0;
    int fitting_ = 0;

    std::array<uint8_t, 1024> history_{};
    size_t historyAt_ = 0;
    uint64_t shift_ = 0;
    int polarity_ = 0;
    double lastBlockEnd_ = 0;
    bool inBlock_ = false;
    int bitCount_ = 0;
    HeardBlock block_;
    std::vector<RecordBuilder> records_;
    RecordBuilder* current_ = nullptr;
};

int BlockNumber(const uint8_t* block) {
    return block[0] | block[1] << 8;
}

// A copy that failed its checksum keeps its payload and checksum as heard, but its head is set
// from the copies around it, so that the tape image's reader walks on past it to the good
// copies that follow.
DecodedRecord Finish(const RecordBuilder& built, int sampleRate) {
    DecodedRecord record;
    const size_t count = built.blocks.size();
    std::vector<bool> good(count);
    std::vector<int> number(count, -1);
    int firstGood = -1;
    for (size_t i = 0; i < count; ++i) {
        good[i] = BlockChecksum(built.blocks[i].bytes.data());
        if (good[i]) {
            number[i] = BlockNumber(built.blocks[i].bytes.data());
            if (firstGood < 0) firstGood = static_cast<int>(i);
        }
    }
    const uint8_t* model = built.blocks[firstGood >= 0 ? firstGood : 0].bytes.data();
    record.number = model[2] & 0x7F;
    record.fileType = model[3];
    int previous = -1, previousCopies = 0;
    for (size_t i = 0; i < count; ++i) {
        if (!good[i]) {
            const int heard = BlockNumber(built.blocks[i].bytes.data());
            int nextGood = -1;
            size_t j = i + 1;
            while (j < count && !good[j]) ++j;
            if (j < count) nextGood = number[j];
            int guess;
            if (previous >= 0) {
                // What was heard stands when it fits between its neighbours.
                const bool plausible = heard <= previous && heard >= std::max(nextGood, 0) &&
                                       (heard != previous || previousCopies == 1);
                guess = plausible ? heard : previousCopies == 1 ? previous : previous - 1;
                if (nextGood >= 0 && guess < nextGood) guess = nextGood;
            } else if (nextGood >= 0) {
                const bool twinFollows = j + 1 < count && good[j + 1] && number[j + 1] == nextGood;
                guess = twinFollows ? nextGood + 1 : nextGood;
            } else {
                guess = heard;
            }
            number[i] = std::max(guess, 0);
        }
        if (number[i] == previous) {
            ++previousCopies;
        } else {
            previous = number[i];
            previousCopies = 1;
        }
    }
    const int highest = count > 0 ? *std::max_element(number.begin(), number.end()) : -1;
    record.blocks = highest + 1;
    std::vector<bool> haveGood(static_cast<size_t>(record.blocks), false);
    double bits = 0, span = 0;
    for (size_t i = 0; i < count; ++i) {
        std::array<uint8_t, kBlockSize> bytes = built.blocks[i].bytes;
        if (good[i]) {
            haveGood[static_cast<size_t>(number[i])] = true;
        } else {
            bytes[0] = static_cast<uint8_t>(number[i]);
            bytes[1] = static_cast<uint8_t>(number[i] >> 8);
            bytes[2] = static_cast<uint8_t>(record.number | (number[i] == highest ? 0x80 : 0));
            bytes[3] = record.fileType;
        }
        record.data.insert(record.data.end(), bytes.begin(), bytes.end());
        const HeardBlock& heard = built.blocks[i];
        if (heard.clean && heard.lastBit > heard.firstBit) {
            bits += kBlockSize * 8 - 1;
            span += heard.lastBit - heard.firstBit;
        }
    }
    record.blocksWithoutGoodCopy =
        static_cast<int>(std::count(haveGood.begin(), haveGood.end(), false));
    record.bitsPerSecond = span > 0 ? bits * sampleRate / span : 0;
    record.startSeconds = std::max(0.0, built.start / sampleRate);
    return record;
}

int GoodCopies(const std::vector<RecordBuilder>& records) {
    int good = 0;
    for (const RecordBuilder& r : records) {
        for (const HeardBlock& b : r.blocks) good += BlockChecksum(b.bytes.data()) ? 1 : 0;
    }
    return good;
}

// Noise can look like a block gap once in a long while; a record counts when it began with a
// leader or holds a block that passed its checksum.
bool IsRealRecord(const RecordBuilder& record) {
    if (record.leader) return true;
    for (const HeardBlock& b : record.blocks) {
        if (BlockChecksum(b.bytes.data())) return true;
    }
    return false;
}

}  // namespace

bool IsRecordingPath(const std::string& path) {
    std::string ending = std::filesystem::path(path).extension().string();
    for (char& c : ending) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* sound : kRecordingEndings) {
        if (ending == sound) return true;
    }
    return false;
}

RecordingResult DecodeRecording(TapeSource& source) {
    RecordingResult result;
    AudioReader audio(source);
    Refusal refusal = CheckFormat(audio);
    result.error = std::move(refusal.text);
    result.refusal = refusal.kind;
    result.refusalValues = std::move(refusal.values);
    if (!result.error.empty()) return result;
    result.format = audio.Format();
    const int channels = result.format.channels;
    // Either channel may carry the signal: both are decoded, the one with more good blocks wins.
    std::vector<std::unique_ptr<ChannelDecoder>> decoders;
    for (int c = 0; c < channels; ++c) {
        decoders.push_back(std::make_unique<ChannelDecoder>(result.format.sampleRate));
    }
    std::vector<float> buffer(kReadFrames * static_cast<size_t>(channels));
    int64_t done = 0;
    while (const size_t got = audio.Read(buffer.data(), kReadFrames)) {
        for (size_t f = 0; f < got; ++f) {
            const float* frame = buffer.data() + f * static_cast<size_t>(channels);
            for (int c = 0; c < channels; ++c) decoders[static_cast<size_t>(c)]->Feed(frame[c]);
        }
        done += static_cast<int64_t>(got);
    }
    result.seconds = static_cast<double>(done) / result.format.sampleRate;
    int best = -1, bestScore = -1;
    for (int c = 0; c < channels; ++c) {
        ChannelDecoder& decoder = *decoders[static_cast<size_t>(c)];
        decoder.Finish();
        std::vector<RecordBuilder>& records = decoder.Records();
        records.erase(std::remove_if(records.begin(), records.end(),
                                     [](const RecordBuilder& r) { return !IsRealRecord(r); }),
                      records.end());
        const int score = GoodCopies(records) * 2 + (records.empty() ? 0 : 1);
        if (score > bestScore) {
            best = c;
            bestScore = score;
        }
    }
    result.channel = best;
    for (const RecordBuilder& built : decoders[static_cast<size_t>(best)]->Records()) {
        result.records.push_back(Finish(built, result.format.sampleRate));
    }
    return result;
}

std::string RecordingImage(const RecordingResult& result) {
    std::string image;
    for (const DecodedRecord& r : result.records) {
        const uint32_t length = static_cast<uint32_t>(r.data.size() + 1);
        for (int i = 0; i < 4; ++i) image.push_back(static_cast<char>(length >> (8 * i)));
        image.push_back(static_cast<char>(kTypeData));
        image.append(reinterpret_cast<const char*>(r.data.data()), r.data.size());
    }
    return image;
}

std::string RecordReportLine(int index, const DecodedRecord& r) {
    char line[200];
    const double deviation = (r.bitsPerSecond / kNominalBitRate - 1) * 100;
    std::snprintf(line, sizeof line,
                  "%3d  %02X  %02X %-6s  %4d blocks  %4d with no good copy  %7.1f bit/s "
                  "(%+.1f %% of 1200.5)  at %.1f s",
                  index, r.number, r.fileType, FileTypeName(r.fileType), r.blocks,
                  r.blocksWithoutGoodCopy, r.bitsPerSecond, deviation, r.startSeconds);
    return line;
}

std::string WritePrivateImage(const std::string& fileName, std::string_view bytes) {
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    if (ec) return {};
    std::string folder = (base / (std::string(kImageFolderPrefix) + "XXXXXX")).string();
    if (::mkdtemp(folder.data()) == nullptr) return {};
    const std::string image = (std::filesystem::path(folder) / fileName).string();
    if (!files::WriteFileAtomically(image, bytes)) {
        std::filesystem::remove(folder, ec);
        return {};
    }
    return image;
}

std::string DecodeRecordingToImage(const std::string& path, TapeMessage* why) {
    const std::string name = std::filesystem::path(path).filename().string();
    auto refuse = [&](const std::string& reason, std::vector<std::string> values = {}) {
        if (why != nullptr) {
            values.insert(values.begin(), name);
            *why = {"err.NoRecords." + reason, "err.NoRecords.Title", std::move(values)};
        }
        return std::string();
    };
    FileTapeSource source(path);
    if (!source.IsOpen()) return refuse("Unreadable");
    const RecordingResult result = DecodeRecording(source);
    switch (result.refusal) {
        case RecordingRefusal::None: break;
        case RecordingRefusal::NotAudio: return refuse("NotAudio", result.refusalValues);
        case RecordingRefusal::Channels: return refuse("Channels", result.refusalValues);
        case RecordingRefusal::SampleRate: return refuse("SampleRate", result.refusalValues);
    }
    if (result.records.empty()) return refuse("NoSignal");
    const std::string image = WritePrivateImage(name, RecordingImage(result));
    if (image.empty()) return refuse("Unreadable");
    return image;
}

void RemoveRecordingImage(const std::string& imagePath) {
    const std::filesystem::path image(imagePath);
    const std::filesystem::path folder = image.parent_path();
    std::error_code ec;
    if (folder.filename().string().rfind(kImageFolderPrefix, 0) != 0 ||
        folder.parent_path() != std::filesystem::temp_directory_path(ec)) {
        return;
    }
    std::filesystem::remove(image, ec);
    std::filesystem::remove(folder, ec);
}

}  // namespace tape
