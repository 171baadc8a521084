#include <algorithm>

#include "machine/IfSdRom.h"
#include "machine/SdRomBanks.h"
#include "machine/SdRomCommands.h"
#include "machine/SdRomNames.h"
#include "machine/StateArchive.h"

namespace {
constexpr size_t kMaxText = 4096;
constexpr uint32_t kMaxListing = 1u << 20;
constexpr uint32_t kMaxReply = 1u << 20;
}  // namespace

// The pages the banks show are memory and come back with it; only the banks themselves load
// here.
void SdRomBanks::Serialize(StateArchive& a) {
    a.Field(imageSelected_);
    a.Bytes(image_.data(), image_.size());
    a.Bytes(load_.data(), load_.size());
}

// Open files are a path and a position: they are looked up again on the card, and one that is
// gone (or is no longer a file) is closed, so the machine's next read or write of it gets
// "not open" as it would from a card that was changed.
void SdRomCommands::Serialize(StateArchive& a) {
    const std::string before = current_;
    a.Text(current_, kMaxPath);
    const uint32_t count = a.List(listing_, kMaxListing, [&a](SdRomStorage::Entry& entry) {
        a.Text(entry.name, kMaxText);
        a.Field(entry.attributes);
        a.Field(entry.size);
    });
    a.Field<uint32_t>(listed_, 0, count);
    const std::string namePart = a.TextValue(pattern_.NamePart(), kMaxText);
    const std::string extensionPart = a.TextValue(pattern_.ExtensionPart(), kMaxText);
    a.Text(readPath_, kMaxText);
    a.Field(readPosition_, -1);
    a.Text(writePath_, kMaxText);
    a.Field(writePosition_, -1);
    a.OnCommit([this, before, namePart, extensionPart] {
        pattern_ = SdRomPattern(namePart + "." + extensionPart);
        SdRomStorage::Entry found;
        if (!current_.empty() && (storage_.Stat(current_, found) != SdRomStorage::Outcome::Ok ||
                                  (found.attributes & SdRomStorage::kFolder) == 0)) {
            current_.clear();
            listing_.clear();
        }
        listed_ = std::min(listed_, listing_.size());
        if (readPosition_ >= 0 && (storage_.Stat(readPath_, found) != SdRomStorage::Outcome::Ok ||
                                   (found.attributes & SdRomStorage::kFolder) != 0)) {
            readPath_.clear();
            readPosition_ = -1;
        }
        // A write opened with no block yet still replaces the file there.
        replaced_ = writePosition_ == 0 ? writePath_ : std::string();
        if (current_ != before) folderChanged_(sdrom::Latin1ToUtf8(current_));
    });
}

void IfSdRom::Serialize(StateArchive& a) {
    banks_.Serialize(a);
    commands_.Serialize(a);
    a.Field(imageLoaded_);
    a.Bytes(buffer_.data(), buffer_.size());
    a.Field(receiveIndex_, 0, kFrameBuffer - 1);
    a.Field(nameLength_, 0, 255);
    a.Field(secondLength_, -1, 255);
    a.Field(loadOffset_, 0, 0x3FFF);
    a.Field(blockCount_, 0, 256);
    a.Field(lastBlock_);
    for (uint8_t* v : {&attribute_, &command_, &checksum_, &result_}) a.Field(*v);
    const size_t replySize = a.Value<uint32_t>(reply_.size(), 0, kMaxReply);
    a.Bytes(reply_, replySize);
    a.Field<uint32_t>(replyAt_, 0, replySize);
    a.Field(tickAccumulator_, 0, int64_t{1} << 30);
    a.Field(state_, kWaitFrame, kAnswerData);
    a.Field(senderState_, kSenderIdle, kSenderStop);
    a.Field(bitCount_, 0, 16);
    a.Field(divider_, 0, 64);
    a.Field(outByte_);
    a.Field(shiftByte_);
}

void IfSdRom::SaveState(StateWriter& out) const {
    StateArchive::Save(*this, out);
}

bool IfSdRom::LoadState(StateReader& in) {
    return StateArchive::Load(*this, in);
}
