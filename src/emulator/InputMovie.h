#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "emulator/Board.h"
#include "emulator/Snapshot.h"

// The ".tvm" input movie: a snapshot of the moment it starts and every input from outside the
// machine after it, each stamped with the ticks run since the start, so that the same run comes
// out of it tick for tick on any host and at any speed. Layout (little-endian, described for
// users in docs/MOVIE.md):
//   "TEVRINMV"  8 bytes
//   version     u32
//   sections    tag (4 ASCII bytes), length u32, that many bytes; "END " (length 0) last
//   checksum    u32, CRC-32 (IEEE) of every byte before it
// A reader skips sections it does not know; "HEAD", "STRT" and "EVTS" are required, once each.
namespace movie {

inline constexpr char kMagic[8] = {'T', 'E', 'V', 'R', 'I', 'N', 'M', 'V'};
inline constexpr uint32_t kFormatVersion = 1;
inline constexpr uint32_t kOldestVersion = 1;
inline constexpr const char* kExtension = ".tvm";
// A movie holds a whole machine for every change from outside (a file loaded, a tape started):
// some hundreds of them fit, and a larger file is refused before it is read.
inline constexpr size_t kMaxFileSize = 256u << 20;

struct Event {
    // Result: a period whose run reached the SD-ROM card, given as the machine after it, so
    // that a playback neither reads nor writes the host's card folder again.
    enum class Kind : uint8_t { Inputs = 1, State = 2, Result = 3 };
    Kind kind = Kind::Inputs;
    int64_t tick = 0;            // ticks run since the movie's start
    int64_t period = 0;          // Result: the period's ticks
    Board::Inputs inputs;        // the key matrix and the joystick's switches from then on
    std::vector<uint8_t> state;  // State, Result: a whole snapshot of the machine
};

struct Movie {
    std::vector<uint8_t> start;  // the snapshot it starts from
    std::vector<Event> events;   // in the order of their ticks
    int64_t length = 0;          // ticks from the start to the end of the recording
};

std::vector<uint8_t> Encode(const Movie& movie);
// Checks the whole file (checksum, sections, every event in order and within the length, each
// held snapshot's own start and checksum) before it fills `movie`; `version` gets the file's
// format version. The snapshots are checked against the machine only when they are played.
snapshot::LoadError Decode(const uint8_t* data, size_t size, Movie& movie, uint32_t* version);

bool SaveFile(const std::string& path, const Movie& movie, std::string* error);
snapshot::LoadError LoadFile(const std::string& path, Movie& movie, uint32_t* version);

// What a load or a playback refused, in English for the command line.
std::string DescribeError(snapshot::LoadError error, uint32_t version);

// Takes a movie down as the run loop goes: the inputs it put in place before each period, and a
// whole snapshot whenever the machine was changed in some other way (a file loaded, a tape
// started or stopped, a debugger's step or edit, the SD-ROM card's answers, a reset). Everything
// runs on the thread that moves the board, or while it is held off.
class MovieRecorder {
  public:
    void Start(Board& board, double speed);
    // After the period's inputs were put in place; `changed` when something the inputs do not
    // hold happened since the last period (a tape command).
    void BeforePeriod(Board& board, bool changed);
    void AfterPeriod(Board& board);
    // The machine was changed from outside: the next period starts with a snapshot.
    void NoteChange() { changeNoted_ = true; }
    Movie Finish(Board& board);
    int64_t Length() const { return elapsed_; }

  private:
    struct Registers {
        uint16_t af = 0, bc = 0, de = 0, hl = 0, sp = 0, pc = 0;
        int64_t count = 0;
        int32_t periodTicks = 0;
        bool inte = false, halted = false;
        bool operator==(const Registers&) const = default;
    };
    static Registers Read(const Board& board);
    void TakeState(Board& board);

    Movie movie_;
    int64_t elapsed_ = 0;
    int64_t periodStart_ = 0;  // the board's ticks when the period began
    int64_t periodElapsed_ = 0;
    Registers after_;  // the processor as the last period left it
    Board::Inputs inputs_;
    uint32_t cardCommands_ = 0;
    bool changeNoted_ = false;
};

// Plays a movie into a board: the events due before each period, and a budget that ends the
// period at the next event, so each input lands between the same two instructions as recorded.
class MoviePlayer {
  public:
    explicit MoviePlayer(Movie movie) : movie_(std::move(movie)) {}
    // Loads the starting moment; the board is left as it was when the snapshot is refused.
    snapshot::LoadError Start(Board& board);
    struct Due {
        int32_t budget = 0;
        bool stateLoaded = false;
        bool periodTaken = false;  // the period came from the movie: nothing is to be run
        snapshot::LoadError error = snapshot::LoadError::None;  // the board is as it was
        bool ended = false;  // the whole movie has been played: the run goes on without it
    };
    Due BeforePeriod(Board& board, int32_t budget);
    // At the movie's length the events stamped with it are put in place and the playback ends,
    // so that the machine stops playing exactly where the recording stopped.
    Due AfterPeriod(Board& board);
    // The events due now (all of a movie of no length).
    Due ApplyDue(Board& board);
    int64_t Elapsed() const { return elapsed_; }
    int64_t Length() const { return movie_.length; }

  private:
    Movie movie_;
    size_t next_ = 0;
    int64_t elapsed_ = 0;
    int64_t periodStart_ = 0;
};

}  // namespace movie
