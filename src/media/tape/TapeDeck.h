#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "machine/Closure.h"
#include "media/tape/TapeEdit.h"
#include "media/tape/TapeImage.h"
#include "media/tape/TapeMessage.h"
#include "media/tape/TapeRecord.h"

class IfTape;

// The cassette deck behind the tape browser window: the inserted tape's record list, the
// current record, playing it into the tape interface and appending finished recordings.
//
// Threads: everything runs on the window's thread except the tape interface's events, which
// arrive on the emulation thread. The end of a record (event 2) moves the current record there,
// under a lock that the list's writers take too; reading the list on the window's thread needs
// no lock. Events 1, 5 and 6 must be handled on the window's thread while the emulation thread
// waits: they go to the hand-over closure the owner connects (its request cell), which then calls
// StopPlayback, NeedsTapeFile/SetNewTapePath and AppendRecording there.
class TapeDeck {
  public:
    using HandOver = Closure<void(int event)>;
    // Where the buttons' commands go (play `length` bytes from `data`, or stop on null): in a
    // running machine they are taken in between two periods, as the keys are. Without one they
    // go straight to the tape interface, for a single thread that does everything.
    using Commands = Closure<void(const uint8_t* data, int32_t length, bool fast)>;

    TapeDeck();
    ~TapeDeck();
    TapeDeck(const TapeDeck&) = delete;
    TapeDeck& operator=(const TapeDeck&) = delete;

    // Becomes the tape interface's event sink (null detaches).
    void AttachTape(IfTape* tape);
    HandOver SetHandOver(HandOver handOver);
    void SetCommands(Commands commands) { commands_ = commands; }

    const std::string& TapePath() const { return tapePath_; }
    // Makes the path absolute and the tape path, and loads it when the file exists.
    void OpenTapeFile(const std::string& path);
    // Reads the tape path again; the first data record becomes current. Recordings held (below)
    // stay listed at the end.
    void Load();
    // Why the last Load found no record to play in a file that is there (an empty file, no
    // tape image, a recording that cannot be read or holds no signal): "err.NoRecords.*" with
    // the file name first; empty when the file gave records, or a tape of info records only.
    const TapeMessage& LoadProblem() const { return loadProblem_; }
    // No tape: an empty list and no path.
    void NewTape();
    bool Changed() const { return changed_; }

    const TapeRecordList& Records() const { return records_; }
    int CurrentIndex() const { return currentIndex_.load(); }
    // The first data record at or after `index` becomes current (none when there is none).
    void MakeCurrent(int index);

    // Plays the current record (nothing without one); a source that cannot be read is reported
    // and nothing plays.
    TapeMessage Play();
    void Stop();
    bool Playing() const { return playing_.load(); }
    // After the machine went back in time: the deck plays when the recorder does (a restored
    // recorder plays on from what it kept, not from the deck's buffer).
    void FollowTape();
    // Fast loading changes only while stopped; monitoring at any time.
    void SetFast(bool on);
    bool Fast() const { return fast_.load(); }
    void SetMonitoring(bool on) { monitoring_.store(on); }
    bool Monitoring() const { return monitoring_.load(); }
    int32_t PlayLength() const { return playLength_; }
    // Bytes played of the current record, for the progress bar.
    int32_t Progress();

    // Event 5 (the first block of a recording is complete) found no tape file to write to (none
    // listed, only recordings held, or a WAV recording inserted, which is never written to): the
    // owner asks for a new tape file and passes it to SetNewTapePath, which writes the recordings
    // held so far into it first.
    bool NeedsTapeFile() const;
    void SetNewTapePath(const std::string& path);
    // Event 6: the finished recording goes to the end of the tape file, which is then reloaded.
    // With no file to write to, or when writing fails, the recording is held: listed at the end,
    // in no file yet, until it is saved or the user lets it go. The answer says so (a line when
    // no file was chosen, a failure when the write failed).
    TapeMessage AppendRecording();

    // The one rule for work the machine recorded or the user edited that is in no file: it is
    // never dropped without the user's word. Everything that would drop the list (another tape,
    // a new tape, leaving edit mode, closing the browser, ending the program) first asks
    // UnsavedWork; when there is some, the user is asked QuestionFor it: Yes saves the list
    // (SaveTape), No lets it go (DropUnsaved), Cancel keeps everything as it is. A recording still
    // under way is only lost when the program ends.
    enum class Leaving { List, Program };
    struct Unsaved {
        int recordings = 0;              // held recordings
        bool edits = false;              // edit mode's changes
        bool recordingUnderWay = false;  // blocks the recorder holds (ending the program only)
        explicit operator bool() const { return recordings > 0 || edits || recordingUnderWay; }
    };
    Unsaved UnsavedWork(Leaving leaving) const;
    // The question for the work, the recording under way first: "err.RecordingUnderWay.*" (Yes:
    // lose it and go on, No: stay), else "err.UnsavedRecording.*" (the count inserted) or
    // "err.ChangedTape.*" (Yes: save, No: drop, Cancel: stay).
    static TapeMessage QuestionFor(const Unsaved& work);
    // The user's No: held recordings and edit mode's changes go; the tape file is read again.
    void DropUnsaved();
    int HeldRecordings() const { return static_cast<int>(heldImages_.size()); }
    bool IsHeld(const tagTapeRecord& record) const;
    // Where a save dialog for the list starts: the tape's folder, or for a recording (never
    // written to) its name as a tape image; empty without a tape.
    std::string SaveStart() const;

    // The tape interface's event sink.
    bool OnTapeEvent(int code);

    // Edit mode: the list changes in memory only, until it is saved. A selection is item
    // indices in ascending order. Every change sets Changed().
    bool EditMode() const { return editMode_; }
    const std::string& SavedPath() const { return savedPath_; }
    // Remembers the tape path and reloads it.
    void EnterEditMode();
    // Without changes the remembered path comes back; with changes they are written to
    // `saveTo` first (the tape path becomes it), or dropped when it is null. Reloads. A failed
    // save stays in edit mode with the list untouched.
    TapeMessage LeaveEditMode(const std::string* saveTo);
    // Writes the list to `path`, which becomes the tape path (in edit mode also the one leaving
    // it comes back to), and reloads it; held recordings are then in that file. A recording's
    // name is refused: a tape image never replaces a cassette recording.
    TapeMessage SaveTape(const std::string& path);
    std::vector<int> MoveRecords(const std::vector<int>& selection, bool down);
    void DeleteRecords(const std::vector<int>& selection);
    TapeMessage AppendTape(const std::string& path);
    // A plain file as a new data record at the end, with the header chosen for it.
    TapeMessage AddFile(const std::string& path, const tape::RecordHeader& header);
    void AddInfo(const std::string& text);
    // The header dialog's or the info editor's answer for item `index`; true when it changed.
    bool EditRecord(int index, const tape::RecordHeader& header);
    bool EditInfo(int index, const std::string& text);
    // Outside edit mode too: the selected records as a new tape, and one record's raw data.
    TapeMessage SaveSelection(const std::vector<int>& selection, const std::string& path);
    TapeMessage SaveRaw(int index, const std::string& path);
    const tagTapeRecord* RecordAt(int index) const;
    // A data record's payload: a stored record's good blocks, or the bytes of a file added in
    // this session (not cut into blocks until the tape is saved).
    TapeMessage RecordPayload(int index, std::string& bytes);

  private:
    // A tape image, or a WAV recording through the tape image it is decoded into.
    tape::ReadResult ReadTapeOrRecording(const std::string& path);
    void FreeRecords();
    void MakeCurrentLocked(int index);
    void EndOfRecord();
    void Edited();
    // A recording that no file took: listed at the end from an image of its own.
    TapeMessage Hold(std::string_view recording, const TapeMessage& failure);
    void ListHeldLocked();
    void ReleaseHeld();
    // The deck's own buttons (not an event's handling on the emulation thread).
    void Command(const uint8_t* data, int32_t length, bool fast);

    IfTape* tape_ = nullptr;
    HandOver handOver_;
    Commands commands_;
    std::string tapePath_;
    bool changed_ = false;
    bool editMode_ = false;
    std::string savedPath_;
    std::mutex listMutex_;  // the list and the current record, against the end-of-record event
    TapeRecordList records_;
    std::atomic<int> currentIndex_{-1};
    std::atomic<bool> playing_{false};
    std::atomic<bool> fast_{false};
    std::atomic<bool> monitoring_{false};
    int32_t playLength_ = 0;
    int32_t progress_ = 0;
    tape::WorkBuffer work_;  // also the play buffer
    // The tape images decoded from recordings that listed records come from; deleted with them.
    std::vector<std::string> decodedImages_;
    // The recordings held, each a one-record tape image of its own (see Hold).
    std::vector<std::string> heldImages_;
    TapeMessage loadProblem_;
};
