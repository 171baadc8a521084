#include "emulator/InputMovie.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "host/files/AtomicFile.h"
#include "machine/StateStream.h"

namespace movie {

namespace {

using snapshot::LoadError;

constexpr size_t kHeaderSize = sizeof kMagic + 4;
constexpr size_t kChecksumSize = 4;
constexpr size_t kInputsSize = 16 + 1 + 1;

constexpr uint32_t Tag(const char (&text)[5]) {
    return static_cast<uint32_t>(static_cast<uint8_t>(text[0])) |
           static_cast<uint32_t>(static_cast<uint8_t>(text[1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(text[2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(text[3])) << 24;
}

constexpr uint32_t kTagHead = Tag("HEAD"), kTagStart = Tag("STRT"), kTagEvents = Tag("EVTS"),
                   kTagEnd = Tag("END ");

uint32_t ReadU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void PutU32At(std::vector<uint8_t>& out, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

template <typename Fill>
void Section(std::vector<uint8_t>& out, uint32_t tag, Fill fill) {
    StateWriter head(out);
    head.U32(tag);
    const size_t lengthAt = out.size();
    head.U32(0);
    StateWriter body(out);
    fill(body);
    PutU32At(out, lengthAt, static_cast<uint32_t>(out.size() - lengthAt - 4));
}

// A held snapshot is checked as far as it can be without a machine: its start and its own
// checksum. Whether it fits the machine is found when it is played.
bool LooksLikeSnapshot(const uint8_t* data, size_t size) {
    constexpr size_t kSnapshotHeader = sizeof snapshot::kMagic + 4;
    if (size < kSnapshotHeader + 8 + 4) return false;
    if (std::memcmp(data, snapshot::kMagic, sizeof snapshot::kMagic) != 0) return false;
    return snapshot::Crc32(data, size - 4) == ReadU32(data + size - 4);
}

}  // namespace

std::vector<uint8_t> Encode(const Movie& movie) {
    std::vector<uint8_t> out(kMagic, kMagic + sizeof kMagic);
    StateWriter(out).U32(kFormatVersion);
    Section(out, kTagHead, [&](StateWriter& w) {
        w.I64(movie.length);
        w.U32(static_cast<uint32_t>(movie.events.size()));
    });
    Section(out, kTagStart,
            [&](StateWriter& w) { w.Bytes(movie.start.data(), movie.start.size()); });
    Section(out, kTagEvents, [&](StateWriter& w) {
        for (const Event& event : movie.events) {
            w.I64(event.tick);
            w.U8(static_cast<uint8_t>(event.kind));
            w.Bytes(event.inputs.keys.data(), event.inputs.keys.size());
            w.U8(event.inputs.modifiers);
            w.U8(event.inputs.joystick);
            if (event.kind == Event::Kind::Result) w.U32(static_cast<uint32_t>(event.period));
            if (event.kind != Event::Kind::Inputs) {
                w.U32(static_cast<uint32_t>(event.state.size()));
                w.Bytes(event.state.data(), event.state.size());
            }
        }
    });
    Section(out, kTagEnd, [](StateWriter&) {});
    StateWriter(out).U32(snapshot::Crc32(out.data(), out.size()));
    return out;
}

LoadError Decode(const uint8_t* data, size_t size, Movie& movie, uint32_t* version) {
    uint32_t fileVersion = 0;
    if (version != nullptr) *version = 0;
    if (size < kHeaderSize || std::memcmp(data, kMagic, sizeof kMagic) != 0) {
        return LoadError::NotSnapshot;
    }
    fileVersion = ReadU32(data + sizeof kMagic);
    if (version != nullptr) *version = fileVersion;
    if (fileVersion > kFormatVersion) return LoadError::NewerVersion;
    if (fileVersion < kOldestVersion) return LoadError::OlderVersion;
    if (size < kHeaderSize + kChecksumSize) return LoadError::Damaged;
    const size_t body = size - kChecksumSize;
    if (snapshot::Crc32(data, body) != ReadU32(data + body)) return LoadError::Damaged;

    struct Span {
        const uint8_t* data = nullptr;
        size_t size = 0;
        bool seen = false;
    };
    Span head, start, events;
    size_t at = kHeaderSize;
    bool ended = false;
    while (at < body) {
        if (body - at < 8) return LoadError::Damaged;
        const uint32_t tag = ReadU32(data + at);
        const uint32_t length = ReadU32(data + at + 4);
        at += 8;
        if (length > body - at) return LoadError::Damaged;
        if (tag == kTagEnd) {
            ended = length == 0 && at == body;
            break;
        }
        Span* known = tag == kTagHead     ? &head
                      : tag == kTagStart  ? &start
                      : tag == kTagEvents ? &events
                                          : nullptr;
        if (known != nullptr) {
            if (known->seen) return LoadError::Damaged;
            *known = Span{data + at, length, true};
        }
        at += length;
    }
    if (!ended || !head.seen || !start.seen || !events.seen) return LoadError::Damaged;

    StateReader headIn(head.data, head.size);
    const int64_t length = headIn.I64();
    const uint32_t count = headIn.U32();
    if (!headIn.Complete() || length < 0) return LoadError::Damaged;
    if (!LooksLikeSnapshot(start.data, start.size)) return LoadError::Damaged;
    // Each event takes at least its tick, kind and inputs: a count no section could hold is
    // refused before anything is reserved for it.
    if (count > events.size / (8 + 1 + kInputsSize)) return LoadError::Damaged;

    Movie read;
    read.length = length;
    read.start.assign(start.data, start.data + start.size);
    read.events.reserve(count);
    StateReader in(events.data, events.size);
    int64_t last = 0;
    for (uint32_t i = 0; i < count; ++i) {
        Event event;
        event.tick = in.I64();
        const uint8_t kind = in.U8();
        if (in.Failed() || event.tick < last || event.tick > length) return LoadError::Damaged;
        last = event.tick;
        in.Bytes(event.inputs.keys.data(), event.inputs.keys.size());
        event.inputs.modifiers = in.U8();
        event.inputs.joystick = in.U8();
        if (kind == static_cast<uint8_t>(Event::Kind::Inputs)) {
            event.kind = Event::Kind::Inputs;
        } else if (kind == static_cast<uint8_t>(Event::Kind::State) ||
                   kind == static_cast<uint8_t>(Event::Kind::Result)) {
            event.kind = static_cast<Event::Kind>(kind);
            if (event.kind == Event::Kind::Result) {
                // Nothing else can happen inside a period the movie gives whole.
                event.period = in.U32();
                if (event.period == 0 || event.period > length - event.tick) {
                    return LoadError::Damaged;
                }
                last = event.tick + event.period;
            }
            const uint32_t bytes = in.U32();
            const uint8_t* state = in.Take(bytes);
            if (state == nullptr || !LooksLikeSnapshot(state, bytes)) return LoadError::Damaged;
            event.state.assign(state, state + bytes);
        } else {
            return LoadError::Damaged;
        }
        if (in.Failed()) return LoadError::Damaged;
        read.events.push_back(std::move(event));
    }
    if (!in.Complete()) return LoadError::Damaged;
    movie = std::move(read);
    return LoadError::None;
}

bool SaveFile(const std::string& path, const Movie& movie, std::string* error) {
    const std::vector<uint8_t> bytes = Encode(movie);
    return files::WriteFileAtomically(path, std::span<const uint8_t>(bytes), error);
}

LoadError LoadFile(const std::string& path, Movie& movie, uint32_t* version) {
    if (version != nullptr) *version = 0;
    std::string contents;
    if (files::ReadWholeFile(path, kMaxFileSize, contents) != files::ReadResult::Ok) {
        return LoadError::Unreadable;
    }
    return Decode(reinterpret_cast<const uint8_t*>(contents.data()), contents.size(), movie,
                  version);
}

std::string DescribeError(LoadError error, uint32_t version) {
    switch (error) {
        case LoadError::None: return {};
        case LoadError::Unreadable: return "the input movie cannot be read";
        case LoadError::NotSnapshot: return "the file is not a Tevrin input movie";
        case LoadError::NewerVersion:
            return "the input movie has format version " + std::to_string(version) +
                   ", newer than this program reads (" + std::to_string(kFormatVersion) + ")";
        case LoadError::OlderVersion:
            return "the input movie has format version " + std::to_string(version) +
                   ", which this program no longer reads";
        case LoadError::Damaged: return "the input movie is damaged";
        case LoadError::OtherHardware:
            return "the input movie was recorded with other hardware settings (memory, "
                   "multiplier or SD-ROM module)";
        case LoadError::NotBuilt: return "the machine is not built";
    }
    return {};
}

MovieRecorder::Registers MovieRecorder::Read(const Board& board) {
    Registers r;
    const ChipCpu8080& cpu = *board.Cpu();
    r.af = static_cast<uint16_t>(cpu.A << 8 | cpu.F);
    r.bc = cpu.BC();
    r.de = cpu.DE();
    r.hl = cpu.HL();
    r.sp = cpu.SP;
    r.pc = cpu.PC;
    r.count = cpu.InstructionCount;
    r.periodTicks = cpu.PeriodTicks;
    r.inte = cpu.Inte;
    r.halted = cpu.Halted;
    return r;
}

void MovieRecorder::TakeState(Board& board) {
    Event event;
    event.kind = Event::Kind::State;
    event.tick = elapsed_;
    board.SaveSnapshot(event.state, 1.0);
    event.inputs = board.CurrentInputs();
    // Two changes before one period (a load, then an edit): the later moment holds both.
    if (!movie_.events.empty() && movie_.events.back().tick == elapsed_ &&
        movie_.events.back().kind != Event::Kind::Result) {
        movie_.events.pop_back();
    }
    inputs_ = event.inputs;
    movie_.events.push_back(std::move(event));
}

void MovieRecorder::Start(Board& board, double speed) {
    movie_ = Movie{};
    board.SaveSnapshot(movie_.start, speed);
    elapsed_ = 0;
    // The joystick's switches are the host's, not the machine's: a snapshot does not hold them.
    inputs_ = board.CurrentInputs();
    Event first;
    first.inputs = inputs_;
    movie_.events.push_back(first);
    after_ = Read(board);
    cardCommands_ = board.SdRom() != nullptr ? board.SdRom()->CardCommands() : 0;
    changeNoted_ = false;
}

void MovieRecorder::BeforePeriod(Board& board, bool changed) {
    // The processor moved without a period (the debugger stepped it, a register was set, an
    // earlier moment came back): the inputs alone cannot bring the replay there.
    if (changed || changeNoted_ || !(Read(board) == after_)) {
        TakeState(board);
        changeNoted_ = false;
    } else {
        const Board::Inputs inputs = board.CurrentInputs();
        if (!(inputs == inputs_)) {
            Event event;
            event.tick = elapsed_;
            event.inputs = inputs;
            movie_.events.push_back(event);
            inputs_ = inputs;
        }
    }
    periodStart_ = board.EmulatedTicks();
    periodElapsed_ = elapsed_;
}

void MovieRecorder::AfterPeriod(Board& board) {
    elapsed_ += board.EmulatedTicks() - periodStart_;
    after_ = Read(board);
    // A period the debugger ended before its budget (a breakpoint, a step over) leaves the
    // processor short of the period's end, which a playback's full period would run past.
    if (board.Cpu()->PeriodTicks < 0) changeNoted_ = true;
    // The card is the host's folder, which a playback must neither read again nor write: the
    // period that reached it is taken down as the machine it left.
    if (const IfSdRom* sd = board.SdRom(); sd != nullptr && sd->CardCommands() != cardCommands_) {
        cardCommands_ = sd->CardCommands();
        if (elapsed_ > periodElapsed_) {
            Event event;
            event.kind = Event::Kind::Result;
            event.tick = periodElapsed_;
            event.period = elapsed_ - periodElapsed_;
            board.SaveSnapshot(event.state, 1.0);
            event.inputs = board.CurrentInputs();
            movie_.events.push_back(std::move(event));
        } else {
            changeNoted_ = true;  // a faulted period: the next one starts from the machine
        }
    }
}

Movie MovieRecorder::Finish(Board& board) {
    // A change made after the last period still belongs to the moment the movie ends at.
    if (board.Built() && (changeNoted_ || !(Read(board) == after_))) TakeState(board);
    movie_.length = elapsed_;
    Movie done = std::move(movie_);
    movie_ = Movie{};
    return done;
}

LoadError MoviePlayer::Start(Board& board) {
    const LoadError error =
        board.LoadSnapshot(movie_.start.data(), movie_.start.size(), nullptr, nullptr);
    if (error != LoadError::None) return error;
    next_ = 0;
    elapsed_ = 0;
    periodStart_ = board.EmulatedTicks();
    return LoadError::None;
}

MoviePlayer::Due MoviePlayer::ApplyDue(Board& board) {
    Due due;
    while (next_ < movie_.events.size() && movie_.events[next_].tick <= elapsed_) {
        const Event& event = movie_.events[next_];
        ++next_;
        if (event.kind == Event::Kind::Inputs) {
            board.ApplyInputs(event.inputs);
            continue;
        }
        due.error = board.LoadSnapshot(event.state.data(), event.state.size(), nullptr, nullptr);
        if (due.error != LoadError::None) {
            due.ended = true;
            return due;
        }
        board.ApplyInputs(event.inputs);
        due.stateLoaded = true;
        if (event.kind == Event::Kind::Result) {
            due.periodTaken = true;
            elapsed_ += event.period;
            break;
        }
    }
    return due;
}

MoviePlayer::Due MoviePlayer::AfterPeriod(Board& board) {
    elapsed_ += board.EmulatedTicks() - periodStart_;
    if (elapsed_ < movie_.length) return {};
    Due due = ApplyDue(board);
    due.ended = true;
    return due;
}

MoviePlayer::Due MoviePlayer::BeforePeriod(Board& board, int32_t budget) {
    Due due = ApplyDue(board);
    due.budget = budget;
    periodStart_ = board.EmulatedTicks();
    if (due.ended || due.periodTaken) return due;
    if (elapsed_ >= movie_.length) {
        due.ended = true;
        return due;
    }
    const int64_t until = next_ < movie_.events.size() ? movie_.events[next_].tick : movie_.length;
    due.budget = static_cast<int32_t>(std::min<int64_t>(budget, until - elapsed_));
    return due;
}

}  // namespace movie
