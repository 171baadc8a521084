#include "machine/SdRomCommands.h"

#include <algorithm>
#include <array>

#include "machine/SdRomBanks.h"
#include "machine/SdRomNames.h"

namespace {

using Outcome = SdRomStorage::Outcome;
using Entry = SdRomStorage::Entry;

// Attributes that make a file untouchable for delete and overwrite: read-only, hidden, system,
// folder. Removing a folder is refused only for the first three.
constexpr uint8_t kFileProtection = 0x17;
constexpr uint8_t kFolderProtection = 0x07;
// What the machine's software is shown of the attributes, and what it may set.
constexpr uint8_t kShownAttributes = 0x37;
constexpr uint8_t kSettableAttributes = 0x27;
constexpr uint8_t kOnlyRead = 0xFF;
constexpr int kListedNameMax = 31;

}  // namespace

SdRomCommands::SdRomCommands(SdRomStorage& storage, SdRomBanks& banks,
                             const std::string& currentFolderUtf8, FolderChanged folderChanged)
    : storage_(storage), banks_(banks), folderChanged_(folderChanged) {
    bool exact = false;
    const std::string latin1 = sdrom::Utf8ToLatin1(currentFolderUtf8, &exact);
    std::string folder;
    Entry entry;
    const bool usable = exact && sdrom::ValidCharacters(latin1, sdrom::NameKind::Path) &&
                        sdrom::NormalisePath(latin1, folder) && HostLength(folder) < kPathLimit &&
                        (folder.empty() || (storage_.Stat(folder, entry) == Outcome::Ok &&
                                            (entry.attributes & SdRomStorage::kFolder)));
    current_ = usable ? folder : std::string();
    if (!usable && !currentFolderUtf8.empty()) folderChanged_(std::string());
}

bool SdRomCommands::LoadFirmware() {
    size_t got = 0;
    if (storage_.Read(kFirmwareName, 0, banks_.Image(), kFirmwareSize, got) != Outcome::Ok) {
        return false;
    }
    return got > 0;
}

// The whole host path: the root, a separator, the path below it.
size_t SdRomCommands::HostLength(const std::string& path) const {
    return storage_.RootLength() + (path.empty() ? 0 : 1 + path.size());
}

void SdRomCommands::PutSize(std::vector<uint8_t>& reply, uint64_t size) {
    const uint32_t shown = size > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(size);
    for (int shift = 0; shift < 32; shift += 8)
        reply.push_back(static_cast<uint8_t>(shown >> shift));
}

// For the commands that open, load or look at one file: empty 3, too long 2, bad characters 14.
// A plain name is taken in the current folder, a path from the root.
uint8_t SdRomCommands::CheckFileName(const std::string& name, bool isPath,
                                     std::string& path) const {
    if (name.empty()) return kNotFound;
    if (name.size() > static_cast<size_t>(isPath ? kMaxPath : kMaxName)) return kBadLength;
    if (!sdrom::ValidCharacters(name, isPath ? sdrom::NameKind::Path : sdrom::NameKind::Plain)) {
        return kInvalidName;
    }
    if (isPath) {
        // The root itself is no file.
        if (!sdrom::NormalisePath(name, path) || path.empty()) return kInvalidName;
        return kDone;
    }
    if (IsDotName(name)) return kInvalidName;
    path = sdrom::JoinPath(current_, name);
    return kDone;
}

// For the commands that change the folder's contents: empty or too long 2, bad characters 14.
uint8_t SdRomCommands::CheckPlainName(const std::string& name, bool wildcards) const {
    if (name.empty() || name.size() > static_cast<size_t>(kMaxName)) return kBadLength;
    const auto kind = wildcards ? sdrom::NameKind::PlainWildcard : sdrom::NameKind::Plain;
    if (!sdrom::ValidCharacters(name, kind)) return kInvalidName;
    return kDone;
}

void SdRomCommands::DropReplacedFile() {
    if (writePosition_ != 0 || replaced_.empty()) return;
    storage_.DeleteFile(replaced_);
    replaced_.clear();
}

uint8_t SdRomCommands::Execute(const SdRomFrame& frame, std::vector<uint8_t>& reply) {
    reply.clear();
    // Opened for writing and no block yet: the file it replaces is gone for any command that
    // looks at the folder (the bank, status and folder name commands do not).
    if (frame.command != 'B' && frame.command != '0' && frame.command != '1' &&
        frame.command != '@' && frame.command != 'K') {
        DropReplacedFile();
    }
    switch (frame.command) {
        case '0': banks_.Select(false); return kDone;
        case '1': banks_.Select(true); return kDone;
        case '@': reply.push_back(0x09); return kDone;
        case 'K':
            reply.push_back(static_cast<uint8_t>(current_.size()));
            reply.insert(reply.end(), current_.begin(), current_.end());
            return kDone;
        case 'L': return List(frame, reply);
        case 'M': return ChangeFolder(frame.name);
        case 'F': return MakeFolder(frame.name);
        case 'D': return Delete(frame.name);
        case 'd': return RemoveFolder(frame.name);
        case 'N': return Rename(frame.name, frame.secondName);
        case 'A':
        case 'a': return Attributes(frame, reply);
        case 'O':
        case 'o': return OpenRead(frame, reply);
        case 'P': return ReadNext(reply);
        case 'C':
        case 'c': return OpenWrite(frame);
        case 'B': return WriteBlock(frame);
        case 'R':
        case 'r': return LoadFile(frame);
        default:
            // The receiver takes no other command; nothing to do.
            return kInvalidName;
    }
}

uint8_t SdRomCommands::ChangeFolder(const std::string& name) {
    if (uint8_t bad = CheckPlainName(name, false)) return bad;
    std::string next = current_;
    if (name == "..") {
        const size_t slash = current_.rfind('/');
        next = slash == std::string::npos ? std::string() : current_.substr(0, slash);
    } else if (name != ".") {
        next = sdrom::JoinPath(current_, name);
        if (HostLength(next) >= kPathLimit) return kBadLength;
        Entry entry;
        const Outcome found = storage_.Stat(next, entry);
        if (found == Outcome::Refused) return kInvalidName;
        if (found != Outcome::Ok || !(entry.attributes & SdRomStorage::kFolder)) return kNotFound;
    }
    current_ = next;
    folderChanged_(sdrom::Latin1ToUtf8(current_));
    return kDone;
}

uint8_t SdRomCommands::List(const SdRomFrame& frame, std::vector<uint8_t>& reply) {
    if (frame.nameLength < 32) {
        if (frame.nameLength > 0 &&
            !sdrom::ValidCharacters(frame.name, sdrom::NameKind::PlainWildcard)) {
            return kInvalidName;
        }
        pattern_ = frame.nameLength > 0 ? SdRomPattern(frame.name) : SdRomPattern();
        listing_.clear();
        listed_ = 0;
        // ".." is offered below the root only; "." never.
        if (!current_.empty()) listing_.push_back({"..", SdRomStorage::kFolder, 0});
        std::vector<Entry> entries;
        if (storage_.List(current_, entries) == Outcome::Ok) {
            listing_.insert(listing_.end(), entries.begin(), entries.end());
        }
    }
    while (listed_ < listing_.size()) {
        const Entry& entry = listing_[listed_++];
        // Devices, pipes and the like come as system files: never listed.
        if (entry.attributes & SdRomStorage::kSystem) continue;
        const bool folder = (entry.attributes & SdRomStorage::kFolder) != 0;
        if (!folder && !pattern_.Matches(entry.name)) continue;
        const size_t length = std::min<size_t>(entry.name.size(), kListedNameMax);
        reply.push_back(static_cast<uint8_t>(length));
        reply.insert(reply.end(), entry.name.begin(),
                     entry.name.begin() + static_cast<long>(length));
        reply.push_back(entry.attributes & kShownAttributes);
        PutSize(reply, entry.size);
        return kDone;
    }
    reply.assign(6, 0);
    return kDone;
}

uint8_t SdRomCommands::MakeFolder(const std::string& name) {
    if (uint8_t bad = CheckPlainName(name, false)) return bad;
    if (IsDotName(name)) return kInvalidName;
    const std::string path = sdrom::JoinPath(current_, name);
    Entry entry;
    const Outcome found = storage_.Stat(path, entry);
    if (found == Outcome::Ok) return kExists;
    if (found == Outcome::Refused) return kInvalidName;
    if (HostLength(path) >= kPathLimit) return kBadLength;
    switch (storage_.MakeFolder(path)) {
        case Outcome::Ok: return kDone;
        case Outcome::Exists: return kExists;
        case Outcome::Refused: return kInvalidName;
        default: return kCreateFailed;
    }
}

uint8_t SdRomCommands::Delete(const std::string& name) {
    if (uint8_t bad = CheckPlainName(name, true)) return bad;
    if (IsDotName(name)) return kInvalidName;
    const SdRomPattern pattern(name);
    if (name.find_first_of("*?") == std::string::npos) {
        const std::string path = sdrom::JoinPath(current_, name);
        Entry entry;
        const Outcome found = storage_.Stat(path, entry);
        if (found == Outcome::Refused) return kInvalidName;
        if (found != Outcome::Ok) return kNotFound;
        if (entry.attributes & kFileProtection) return kProtected;
        const Outcome deleted = storage_.DeleteFile(path);
        if (deleted == Outcome::Refused) return kInvalidName;
        return deleted == Outcome::Ok ? kDone : kProtected;
    }
    std::vector<Entry> entries;
    if (storage_.List(current_, entries) != Outcome::Ok) return kNotFound;
    int deleted = 0;
    for (const Entry& entry : entries) {
        if ((entry.attributes & kFileProtection) || !pattern.Matches(entry.name)) continue;
        const Outcome outcome = storage_.DeleteFile(sdrom::JoinPath(current_, entry.name));
        // A host name the machine's characters cannot spell is out of its reach.
        if (outcome == Outcome::Missing) continue;
        if (outcome != Outcome::Ok) return kProtected;
        ++deleted;
    }
    return deleted > 0 ? kDone : kNotFound;
}

uint8_t SdRomCommands::RemoveFolder(const std::string& name) {
    if (uint8_t bad = CheckPlainName(name, false)) return bad;
    if (IsDotName(name)) return kInvalidName;
    const std::string path = sdrom::JoinPath(current_, name);
    Entry entry;
    const Outcome found = storage_.Stat(path, entry);
    if (found == Outcome::Refused) return kInvalidName;
    if (found != Outcome::Ok) return kNotFound;
    if (entry.attributes & kFolderProtection) return kProtected;
    switch (storage_.RemoveFolder(path)) {
        case Outcome::Ok: return kDone;
        case Outcome::NotEmpty: return kNotEmpty;
        case Outcome::Refused: return kInvalidName;
        default: return kProtected;
    }
}

uint8_t SdRomCommands::Rename(const std::string& from, const std::string& to) {
    if (uint8_t bad = CheckPlainName(from, false)) return bad;
    if (uint8_t bad = CheckPlainName(to, false)) return bad;
    if (IsDotName(from) || IsDotName(to)) return kInvalidName;
    const std::string source = sdrom::JoinPath(current_, from);
    const std::string target = sdrom::JoinPath(current_, to);
    if (HostLength(source) >= kPathLimit || HostLength(target) >= kPathLimit) return kBadLength;
    Entry entry;
    const Outcome targetFound = storage_.Stat(target, entry);
    if (targetFound == Outcome::Ok) return kExists;
    if (targetFound == Outcome::Refused) return kInvalidName;
    const Outcome sourceFound = storage_.Stat(source, entry);
    if (sourceFound == Outcome::Refused) return kInvalidName;
    if (sourceFound != Outcome::Ok) return kNotFound;
    if (entry.attributes & SdRomStorage::kHidden) return kCreateFailed;
    switch (storage_.Rename(source, target)) {
        case Outcome::Ok: return kDone;
        case Outcome::Exists: return kExists;
        case Outcome::Missing: return kNotFound;
        case Outcome::Refused: return kInvalidName;
        default: return kCreateFailed;
    }
}

uint8_t SdRomCommands::Attributes(const SdRomFrame& frame, std::vector<uint8_t>& reply) {
    std::string path;
    if (uint8_t bad = CheckFileName(frame.name, frame.command == 'a', path)) return bad;
    Entry entry;
    Outcome found = storage_.Stat(path, entry);
    if (found == Outcome::Refused) return kInvalidName;
    if (found != Outcome::Ok) return kNotFound;
    if (frame.attribute != kOnlyRead) {
        const uint8_t wanted = static_cast<uint8_t>((entry.attributes & ~kSettableAttributes) |
                                                    (frame.attribute & kSettableAttributes));
        const Outcome set = storage_.SetAttributes(path, wanted);
        if (set == Outcome::Refused) return kInvalidName;
        if (set != Outcome::Ok) return kAttributesFailed;
        if (storage_.Stat(path, entry) != Outcome::Ok) return kAttributesFailed;
    }
    reply.push_back(entry.attributes & kShownAttributes);
    PutSize(reply, entry.size);
    return kDone;
}

uint8_t SdRomCommands::OpenRead(const SdRomFrame& frame, std::vector<uint8_t>& reply) {
    readPosition_ = -1;
    std::string path;
    if (uint8_t bad = CheckFileName(frame.name, frame.command == 'o', path)) return bad;
    Entry entry;
    const Outcome found = storage_.Stat(path, entry);
    if (found == Outcome::Refused) return kInvalidName;
    if (found != Outcome::Ok) return kNotFound;
    if (entry.attributes & (SdRomStorage::kFolder | SdRomStorage::kSystem)) return kProtected;
    readPath_ = path;
    readPosition_ = 0;
    PutSize(reply, entry.size);
    banks_.ShowDataWindow();
    return kDone;
}

uint8_t SdRomCommands::ReadNext(std::vector<uint8_t>& reply) {
    if (readPosition_ < 0) return kNotOpen;
    std::array<uint8_t, SdRomBanks::kDataWindowSize> chunk{};
    size_t got = 0;
    if (storage_.Read(readPath_, static_cast<uint64_t>(readPosition_), chunk.data(), chunk.size(),
                      got) != Outcome::Ok) {
        return kReadError;
    }
    if (got == 0) return kEndOfFile;
    std::copy_n(chunk.begin(), got, banks_.DataWindow());
    readPosition_ += static_cast<int64_t>(got);
    reply.push_back(static_cast<uint8_t>(got));
    reply.push_back(static_cast<uint8_t>(got >> 8));
    banks_.ShowDataWindow();
    return kDone;
}

uint8_t SdRomCommands::OpenWrite(const SdRomFrame& frame) {
    if (writePosition_ >= 0) storage_.CloseWrite();
    writePosition_ = -1;
    std::string path;
    if (uint8_t bad = CheckFileName(frame.name, frame.command == 'c', path)) return bad;
    Entry entry;
    const Outcome found = storage_.Stat(path, entry);
    if (found == Outcome::Refused) return kInvalidName;
    replaced_.clear();
    if (found == Outcome::Ok) {
        if (entry.attributes & kFileProtection) return kProtected;
        if (entry.attributes & SdRomStorage::kFolder) return kProtected;
        if (entry.link) {
            // The new file takes the link's place, not its target's.
            const Outcome deleted = storage_.DeleteFile(path);
            if (deleted == Outcome::Refused) return kInvalidName;
            if (deleted != Outcome::Ok) return kProtected;
        } else {
            // The old file stays until the new one is stored whole over it: a host that is
            // full, or a program killed half way, leaves the old one instead of none.
            replaced_ = path;
        }
    }
    writePath_ = path;
    writePosition_ = 0;
    return kDone;
}

uint8_t SdRomCommands::WriteBlock(const SdRomFrame& frame) {
    if (writePosition_ < 0) return kNotOpen;
    const Outcome written =
        storage_.Write(writePath_, static_cast<uint64_t>(writePosition_), frame.block,
                       static_cast<size_t>(frame.blockCount), frame.lastBlock);
    if (written != Outcome::Ok) {
        writePosition_ = -1;
        return kWriteError;
    }
    writePosition_ = frame.lastBlock ? -1 : writePosition_ + frame.blockCount;
    return kDone;
}

uint8_t SdRomCommands::LoadFile(const SdRomFrame& frame) {
    std::string path;
    if (uint8_t bad = CheckFileName(frame.name, frame.command == 'r', path)) return bad;
    Entry entry;
    const Outcome found = storage_.Stat(path, entry);
    if (found == Outcome::Refused) return kInvalidName;
    if (found != Outcome::Ok) return kNotFound;
    const int offset = frame.loadOffset & (SdRomBanks::kBankSize - 1);
    const size_t room = static_cast<size_t>(SdRomBanks::kBankSize - offset);
    std::array<uint8_t, SdRomBanks::kBankSize> data{};
    size_t got = 0;
    if (storage_.Read(path, 0, data.data(), room, got) != Outcome::Ok || got == 0) {
        return kReadError;
    }
    uint8_t* bank = banks_.Load() + offset;
    std::copy_n(data.begin(), got, bank);
    // Whole kilobytes: the rest of the last one reads as erased.
    const size_t padded = std::min(room, (got + 1023) / 1024 * 1024);
    std::fill(bank + got, bank + padded, 0xFF);
    if (!banks_.ImageSelected()) banks_.ShowSelected();
    return kDone;
}
