#include "media/tape/TapeDeck.h"

#include <filesystem>
#include <iterator>
#include <system_error>

#include "host/files/AtomicFile.h"
#include "machine/IfTape.h"
#include "media/tape/TapeRecording.h"

namespace {
constexpr std::size_t kMaxTapeFile = std::size_t{1} << 30;
}

// Room for the longest record at once, so that playing never moves the buffer.
TapeDeck::TapeDeck() : work_(tape::kMaxRecordLength) {}

TapeDeck::~TapeDeck() {
    AttachTape(nullptr);
    FreeRecords();
}

void TapeDeck::AttachTape(IfTape* tape) {
    if (tape_ != nullptr) {
        tape_->StopPlayback();
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
    if (!tape::IsRecordingPath(path)) return tape::ReadTape(path);
    const std::string image = tape::DecodeRecordingToImage(path);
    if (image.empty()) return {{}, true};
    decodedImages_.push_back(image);
    return tape::ReadTape(image);
}

bool TapeDeck::NeedsTapeFile() const {
    return records_.empty() || tape::IsRecordingPath(tapePath_);
}

void TapeDeck::Load() {
    FreeRecords();
    tape::ReadResult read = ReadTapeOrRecording(tapePath_);
    {
        std::lock_guard<std::mutex> lock(listMutex_);
        records_ = std::move(read.records);
        MakeCurrentLocked(0);
    }
    changed_ = false;
}

void TapeDeck::NewTape() {
    changed_ = false;
    tapePath_.clear();
    FreeRecords();
}

void TapeDeck::SetNewTapePath(const std::string& path) {
    tapePath_ = path;
    FreeRecords();
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
    tape_->StartPlayback(work_.data(), playLength_, fast_.load());
    return {};
}

void TapeDeck::Stop() {
    playing_ = false;
    if (tape_ != nullptr) tape_->StopPlayback();
    progress_ = 0;
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
    // A WAV recording is read, never written: appending tape records would spoil it.
    if (tape::IsRecordingPath(tapePath_)) return TapeMessage::Make("CreateFile", {tapePath_});
    std::string contents;
    files::ReadResult read = tapePath_.empty()
                                 ? files::ReadResult::Failed
                                 : files::ReadWholeFile(tapePath_, kMaxTapeFile, contents);
    if (read != files::ReadResult::Ok && read != files::ReadResult::Missing) {
        return TapeMessage::Make("CreateFile", {tapePath_});
    }
    contents.append(reinterpret_cast<const char*>(recording.data),
                    static_cast<std::size_t>(recording.size));
    if (!files::WriteFileAtomically(tapePath_, contents)) {
        return TapeMessage::Make("CreateFile", {tapePath_});
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
    if (!changed_) {
        tapePath_ = savedPath_;
    } else if (saveTo != nullptr) {
        if (TapeMessage failed = tape::WriteTape(*saveTo, records_, work_)) return failed;
        tapePath_ = *saveTo;
    }
    editMode_ = false;
    Load();
    return {};
}

TapeMessage TapeDeck::SaveTape(const std::string& path) {
    if (TapeMessage failed = tape::WriteTape(path, records_, work_)) return failed;
    tapePath_ = path;
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
