#include "media/tape/TapeDeck.h"

#include <filesystem>
#include <iterator>
#include <system_error>

#include "host/files/AtomicFile.h"
#include "machine/IfTape.h"
#include "media/tape/TapeRecording.h"

namespace {
constexpr std::size_t kMaxTapeFile = std::size_t{1} << 30;
constexpr const char* kHeldImageName = "recorded.pta";

std::string FileName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

// A tape image is never written under a recording's name: the recording would be replaced by
// bytes that are no recording, and read as one no longer.
TapeMessage RefuseRecordingTarget(const std::string& path) {
    if (!tape::IsRecordingPath(path)) return {};
    return TapeMessage::Make("SaveOverRecording", {path}, true);
}

// The recording's bytes at the end of the tape file, which is made when missing.
bool AppendToTapeFile(const std::string& path, std::string_view bytes) {
    std::string contents;
    const files::ReadResult read = files::ReadWholeFile(path, kMaxTapeFile, contents);
    if (read != files::ReadResult::Ok && read != files::ReadResult::Missing) return false;
    contents.append(bytes);
    return files::WriteFileAtomically(path, contents);
}
}  // namespace

// Room for the longest record at once, so that playing never moves the buffer.
TapeDeck::TapeDeck() : work_(tape::kMaxRecordLength) {}

TapeDeck::~TapeDeck() {
    AttachTape(nullptr);
    FreeRecords();
    ReleaseHeld();
}

void TapeDeck::AttachTape(IfTape* tape) {
    if (tape_ != nullptr) {
        Command(nullptr, 0, false);
        tape_->SetEventSink({});
    }
    tape_ = tape;
    if (tape_ != nullptr)
        tape_->SetEventSink(IfTape::EventSink::Bind<&TapeDeck::OnTapeEvent>(this));
}

TapeDeck::HandOver TapeDeck::SetHandOver(HandOver handOver) {
    HandOver previous = handOver_;
    handOver_ = handOver;
    return previous;
}

void TapeDeck::OpenTapeFile(const std::string& path) {
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    tapePath_ = ec ? path : absolute.lexically_normal().string();
    if (std::filesystem::is_regular_file(tapePath_, ec)) Load();
}

// Plain files the BASIC importer made exist only for the list that holds them.
void TapeDeck::FreeRecords() {
    std::lock_guard<std::mutex> lock(listMutex_);
    for (const tagTapeRecord& r : records_) {
        const std::string& path = r.sourcePath;
        if (path.size() >= 8 && path.compare(path.size() - 8, 8, "-tmp.tmp") == 0) {
            std::error_code ignored;
            std::filesystem::remove(path, ignored);
        }
    }
    records_.clear();
    currentIndex_ = -1;
    for (const std::string& image : decodedImages_) tape::RemoveRecordingImage(image);
    decodedImages_.clear();
}

tape::ReadResult TapeDeck::ReadTapeOrRecording(const std::string& path) {
    loadProblem_ = {};
    if (path.empty()) return {};
    if (tape::IsRecordingPath(path)) {
        const std::string image = tape::DecodeRecordingToImage(path, &loadProblem_);
        if (image.empty()) return {{}, true};
        decodedImages_.push_back(image);
        return tape::ReadTape(image);
    }
    tape::ReadResult read = tape::ReadTape(path);
    bool playable = false;
    for (const tagTapeRecord& r : read.records)
        playable = playable || r.recordType == tape::kTypeData;
    // A tape of info records only is a tape; a file that is not read to its end and gives
    // nothing to play is none.
    if (!playable && read.failed) {
        std::error_code ec;
        const std::uintmax_t size = std::filesystem::file_size(path, ec);
        const char* reason = ec ? "Unreadable" : size == 0 ? "Empty" : "NotTape";
        loadProblem_ = {
            std::string("err.NoRecords.") + reason, "err.NoRecords.Title", {FileName(path)}};
    }
    return read;
}

bool TapeDeck::NeedsTapeFile() const {
    return records_.empty() || tapePath_.empty() || tape::IsRecordingPath(tapePath_);
}

void TapeDeck::Load() {
    FreeRecords();
    tape::ReadResult read = ReadTapeOrRecording(tapePath_);
    {
        std::lock_guard<std::mutex> lock(listMutex_);
        records_ = std::move(read.records);
        ListHeldLocked();
        MakeCurrentLocked(0);
    }
    changed_ = false;
}

void TapeDeck::ListHeldLocked() {
    for (const std::string& image : heldImages_) {
        tape::ReadResult held = tape::ReadTape(image);
        for (tagTapeRecord& r : held.records) records_.push_back(std::move(r));
    }
}

void TapeDeck::ReleaseHeld() {
    for (const std::string& image : heldImages_) tape::RemoveRecordingImage(image);
    heldImages_.clear();
}

void TapeDeck::NewTape() {
    changed_ = false;
    tapePath_.clear();
    loadProblem_ = {};
    FreeRecords();
    std::lock_guard<std::mutex> lock(listMutex_);
    ListHeldLocked();
    MakeCurrentLocked(0);
}

void TapeDeck::SetNewTapePath(const std::string& path) {
    if (editMode_) {
        // The list being edited stays as it is; leaving edit mode comes back to this file.
        tapePath_ = savedPath_ = path;
        return;
    }
    tapePath_ = path;
    // What was held goes into the new file first, so that the next recording follows it.
    bool written = true;
    for (const std::string& image : heldImages_) {
        std::string bytes;
        written = written &&
                  files::ReadWholeFile(image, kMaxTapeFile, bytes) == files::ReadResult::Ok &&
                  AppendToTapeFile(path, bytes);
    }
    if (written) ReleaseHeld();
    FreeRecords();
    {
        std::lock_guard<std::mutex> lock(listMutex_);
        ListHeldLocked();
        MakeCurrentLocked(0);
    }
    changed_ = false;
}

void TapeDeck::MakeCurrent(int index) {
    std::lock_guard<std::mutex> lock(listMutex_);
    MakeCurrentLocked(index);
}

void TapeDeck::MakeCurrentLocked(int index) {
    int i = 0;
    for (const tagTapeRecord& r : records_) {
        if (i >= index && r.recordType == tape::kTypeData) {
            currentIndex_ = i;
            return;
        }
        ++i;
    }
    currentIndex_ = -1;
}

TapeMessage TapeDeck::Play() {
    if (tape_ == nullptr) return {};
    Stop();
    const int current = currentIndex_.load();
    if (current < 0) return {};
    const tagTapeRecord& record = *std::next(records_.begin(), current);
    const int64_t bytes = tape::ReadPlayData(record, work_);
    if (bytes < 0) return TapeMessage::Make("OpenTape", {record.sourcePath});
    playLength_ = static_cast<int32_t>(bytes);
    progress_ = 0;
    playing_ = true;
    Command(work_.data(), playLength_, fast_.load());
    return {};
}

void TapeDeck::Stop() {
    playing_ = false;
    if (tape_ != nullptr) Command(nullptr, 0, false);
    progress_ = 0;
}

void TapeDeck::Command(const uint8_t* data, int32_t length, bool fast) {
    if (commands_) {
        commands_(data, length, fast);
    } else {
        tape_->StartPlayback(data, length, fast);
    }
}

void TapeDeck::FollowTape() {
    playing_ = tape_ != nullptr && tape_->PlayState() != IfTape::kIdle;
    if (!playing_) progress_ = 0;
}

void TapeDeck::SetFast(bool on) {
    if (!playing_.load()) fast_ = on;
}

int32_t TapeDeck::Progress() {
    if (tape_ == nullptr) return 0;
    const int state = tape_->PlayState();
    if (state == IfTape::kLeader || state == IfTape::kData) {
        progress_ = playLength_ - tape_->BytesRemaining();
    }
    return progress_;
}

TapeMessage TapeDeck::AppendRecording() {
    if (tape_ == nullptr) return {};
    const IfTape::Recording recording = tape_->TakeRecording();
    if (recording.size <= IfTape::kRecordHead) return {};
    const std::string_view bytes(reinterpret_cast<const char*>(recording.data),
                                 static_cast<std::size_t>(recording.size));
    // A WAV recording is read, never written: appending tape records would spoil it.
    if (tapePath_.empty() || tape::IsRecordingPath(tapePath_)) return Hold(bytes, {});
    if (!AppendToTapeFile(tapePath_, bytes)) {
        return Hold(bytes, TapeMessage::Make("CreateFile", {tapePath_}));
    }
    if (!editMode_) {
        Load();
        return {};
    }
    // A reload would drop the edits not saved yet. The file only grew, so the listed records
    // still point at their bytes: the new one joins them at the end.
    tape::ReadResult reread = tape::ReadTape(tapePath_);
    if (!reread.records.empty()) {
        std::lock_guard<std::mutex> lock(listMutex_);
        records_.push_back(std::move(reread.records.back()));
    }
    return {};
}

TapeMessage TapeDeck::Hold(std::string_view recording, const TapeMessage& failure) {
    const std::string image = tape::WritePrivateImage(kHeldImageName, recording);
    if (image.empty()) {
        return failure ? failure : TapeMessage::Make("CreateFile", {tapePath_});
    }
    heldImages_.push_back(image);
    tape::ReadResult read = tape::ReadTape(image);
    {
        std::lock_guard<std::mutex> lock(listMutex_);
        for (tagTapeRecord& r : read.records) records_.push_back(std::move(r));
        if (currentIndex_.load() < 0) MakeCurrentLocked(0);
    }
    if (failure) {
        return {"err.RecordingKept.Message", "err.RecordingKept.Title", failure.inserted};
    }
    return {"text.RecordingKept.Message", "", {}, false, true};
}

TapeDeck::Unsaved TapeDeck::UnsavedWork(Leaving leaving) const {
    Unsaved work;
    work.recordings = HeldRecordings();
    work.edits = editMode_ && changed_;
    work.recordingUnderWay =
        leaving == Leaving::Program && tape_ != nullptr && tape_->RecorderState() != IfTape::kHunt;
    return work;
}

TapeMessage TapeDeck::QuestionFor(const Unsaved& work) {
    if (work.recordingUnderWay) return TapeMessage::Make("RecordingUnderWay", {}, true);
    if (work.recordings > 0) {
        return TapeMessage::Make("UnsavedRecording", {std::to_string(work.recordings)}, true);
    }
    if (work.edits) return TapeMessage::Make("ChangedTape", {});
    return {};
}

void TapeDeck::DropUnsaved() {
    ReleaseHeld();
    Load();
}

bool TapeDeck::IsHeld(const tagTapeRecord& record) const {
    for (const std::string& image : heldImages_) {
        if (record.sourcePath == image) return true;
    }
    return false;
}

std::string TapeDeck::SaveStart() const {
    if (tapePath_.empty()) return {};
    const std::filesystem::path path(tapePath_);
    if (tape::IsRecordingPath(tapePath_))
        return std::filesystem::path(path).replace_extension(".pta").string();
    return path.parent_path().string() + "/";
}

bool TapeDeck::OnTapeEvent(int code) {
    switch (code) {
        case IfTape::kEventMonitorQuery: return monitoring_.load();
        case IfTape::kEventEndOfRecord: EndOfRecord(); return true;
        case IfTape::kEventSerialReset:
        case IfTape::kEventFirstBlock:
        case IfTape::kEventRecordingDone: handOver_(code); return true;
        default: return false;
    }
}

// On the emulation thread: the next data record becomes current (the first one after the last
// item) and the deck stops; the user starts the next record.
void TapeDeck::EndOfRecord() {
    {
        std::lock_guard<std::mutex> lock(listMutex_);
        const int current = currentIndex_.load();
        const int last = static_cast<int>(records_.size()) - 1;
        MakeCurrentLocked(current < 0 || current >= last ? 0 : current + 1);
    }
    playing_ = false;
    if (tape_ != nullptr) tape_->StopPlayback();
}

void TapeDeck::Edited() {
    changed_ = true;
    MakeCurrentLocked(0);
}

void TapeDeck::EnterEditMode() {
    Stop();
    savedPath_ = tapePath_;
    editMode_ = true;
    Load();
}

TapeMessage TapeDeck::LeaveEditMode(const std::string* saveTo) {
    if ((changed_ || !heldImages_.empty()) && saveTo != nullptr) {
        if (TapeMessage failed = SaveTape(*saveTo)) return failed;
    }
    // Unsaved changes not written are dropped with the reload.
    tapePath_ = savedPath_;
    editMode_ = false;
    Load();
    return {};
}

TapeMessage TapeDeck::SaveTape(const std::string& path) {
    if (TapeMessage refused = RefuseRecordingTarget(path)) return refused;
    if (TapeMessage failed = tape::WriteTape(path, records_, work_)) return failed;
    // The held recordings are in the file now, as far as the list still had them.
    ReleaseHeld();
    tapePath_ = path;
    if (editMode_) savedPath_ = path;
    Load();
    return {};
}

std::vector<int> TapeDeck::MoveRecords(const std::vector<int>& selection, bool down) {
    std::lock_guard<std::mutex> lock(listMutex_);
    std::vector<int> moved = tape::MoveRecords(records_, selection, down);
    if (!moved.empty()) Edited();
    return moved;
}

void TapeDeck::DeleteRecords(const std::vector<int>& selection) {
    if (selection.empty()) return;
    std::lock_guard<std::mutex> lock(listMutex_);
    tape::DeleteRecords(records_, selection);
    Edited();
}

TapeMessage TapeDeck::AppendTape(const std::string& path) {
    std::string source = path;
    if (tape::IsRecordingPath(path)) {
        source = tape::DecodeRecordingToImage(path);
        if (source.empty()) {
            return TapeMessage::Make("OpenTape", {std::filesystem::path(path).filename().string()});
        }
    }
    std::lock_guard<std::mutex> lock(listMutex_);
    if (TapeMessage failed = tape::AppendTape(records_, source)) {
        if (source != path) tape::RemoveRecordingImage(source);
        return failed;
    }
    if (source != path) decodedImages_.push_back(source);
    Edited();
    return {};
}

TapeMessage TapeDeck::AddFile(const std::string& path, const tape::RecordHeader& header) {
    tagTapeRecord record;
    if (TapeMessage failed = tape::MakeFileRecord(path, header.number, header.fileType,
                                                  header.singleBlocks, record)) {
        return failed;
    }
    std::lock_guard<std::mutex> lock(listMutex_);
    records_.push_back(std::move(record));
    Edited();
    return {};
}

void TapeDeck::AddInfo(const std::string& text) {
    std::lock_guard<std::mutex> lock(listMutex_);
    records_.push_back(tape::MakeInfoRecord(text));
    Edited();
}

const tagTapeRecord* TapeDeck::RecordAt(int index) const {
    if (index < 0 || index >= static_cast<int>(records_.size())) return nullptr;
    return &*std::next(records_.begin(), index);
}

bool TapeDeck::EditRecord(int index, const tape::RecordHeader& header) {
    std::lock_guard<std::mutex> lock(listMutex_);
    auto* record = const_cast<tagTapeRecord*>(RecordAt(index));
    if (record == nullptr || record->recordType != tape::kTypeData ||
        !tape::CanEditRecord(*record) || !tape::ApplyHeader(*record, header)) {
        return false;
    }
    Edited();
    return true;
}

bool TapeDeck::EditInfo(int index, const std::string& text) {
    std::lock_guard<std::mutex> lock(listMutex_);
    auto* record = const_cast<tagTapeRecord*>(RecordAt(index));
    if (record == nullptr || record->recordType != tape::kTypeInfo ||
        !tape::ApplyInfoText(*record, text)) {
        return false;
    }
    Edited();
    return true;
}

TapeMessage TapeDeck::SaveSelection(const std::vector<int>& selection, const std::string& path) {
    if (TapeMessage refused = RefuseRecordingTarget(path)) return refused;
    const TapeRecordList copies = tape::CopyRecords(records_, selection);
    // The list keeps its records, so the importer's files they come from must stay.
    return tape::WriteTape(path, copies, work_, false);
}

TapeMessage TapeDeck::SaveRaw(int index, const std::string& path) {
    const tagTapeRecord* record = RecordAt(index);
    if (record == nullptr) return {};
    if (!record->rawSource) return tape::ExportRawData(*record, path, work_);
    std::string bytes;
    if (TapeMessage failed = RecordPayload(index, bytes)) return failed;
    if (!files::WriteFileAtomically(path, bytes)) return TapeMessage::Make("CreateFile", {path});
    return {};
}

TapeMessage TapeDeck::RecordPayload(int index, std::string& bytes) {
    bytes.clear();
    const tagTapeRecord* record = RecordAt(index);
    if (record == nullptr) return {};
    if (record->rawSource) {
        if (files::ReadWholeFile(record->sourcePath, tape::kMaxAddedFileSize, bytes) !=
            files::ReadResult::Ok) {
            return TapeMessage::Make("OpenTape", {record->sourcePath});
        }
        return {};
    }
    const size_t size = tape::ExtractRawData(*record, work_);
    bytes.assign(reinterpret_cast<const char*>(work_.data()), size);
    return {};
}
