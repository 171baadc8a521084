#include <algorithm>

#include "machine/IfSdRom.h"
#include "machine/SdRomBanks.h"
#include "machine/SdRomCommands.h"
#include "machine/SdRomNames.h"
#include "machine/StateStream.h"

namespace {
constexpr size_t kMaxText = 4096;
constexpr uint32_t kMaxListing = 1u << 20;
constexpr uint32_t kMaxReply = 1u << 20;
}  // namespace

void SdRomBanks::SaveState(StateWriter& out) const {
    out.Bool(ImageSelected());
    out.Bytes(image_.data(), image_.size());
    out.Bytes(load_.data(), load_.size());
}

// The pages the banks show are memory and come back with it; only the banks themselves load
// here.
bool SdRomBanks::LoadState(StateReader& in) {
    const bool image = in.Bool();
    if (in.Failed() || in.Remaining() < image_.size() + load_.size()) return false;
    in.Bytes(image_.data(), image_.size());
    in.Bytes(load_.data(), load_.size());
    imageSelected_.store(image, std::memory_order_relaxed);
    return true;
}

void SdRomCommands::SaveState(StateWriter& out) const {
    out.Text(current_);
    out.U32(static_cast<uint32_t>(listing_.size()));
    for (const SdRomStorage::Entry& entry : listing_) {
        out.Text(entry.name);
        out.U8(entry.attributes);
        out.U64(entry.size);
    }
    out.U32(static_cast<uint32_t>(listed_));
    out.Text(pattern_.NamePart());
    out.Text(pattern_.ExtensionPart());
    out.Text(readPath_);
    out.I64(readPosition_);
    out.Text(writePath_);
    out.I64(writePosition_);
}

// Open files are a path and a position: they are looked up again on the card, and one that is
// gone (or is no longer a file) is closed, so the machine's next read or write of it gets
// "not open" as it would from a card that was changed.
bool SdRomCommands::LoadState(StateReader& in) {
    std::string current = in.Text(kMaxPath);
    const uint32_t count = in.U32();
    if (in.Failed() || count > kMaxListing) return false;
    std::vector<SdRomStorage::Entry> listing;
    for (uint32_t i = 0; i < count && !in.Failed(); ++i) {
        SdRomStorage::Entry entry;
        entry.name = in.Text(kMaxText);
        entry.attributes = in.U8();
        entry.size = in.U64();
        listing.push_back(std::move(entry));
    }
    const uint32_t listed = in.U32();
    const std::string namePart = in.Text(kMaxText);
    const std::string extensionPart = in.Text(kMaxText);
    std::string readPath = in.Text(kMaxText);
    int64_t readPosition = in.I64();
    std::string writePath = in.Text(kMaxText);
    int64_t writePosition = in.I64();
    if (in.Failed() || listed > listing.size() || readPosition < -1 || writePosition < -1) {
        return false;
    }
    SdRomStorage::Entry found;
    if (!current.empty() && (storage_.Stat(current, found) != SdRomStorage::Outcome::Ok ||
                             (found.attributes & SdRomStorage::kFolder) == 0)) {
        current.clear();
        listing.clear();
    }
    if (readPosition >= 0 && (storage_.Stat(readPath, found) != SdRomStorage::Outcome::Ok ||
                              (found.attributes & SdRomStorage::kFolder) != 0)) {
        readPath.clear();
        readPosition = -1;
    }
    const bool folderMoved = current != current_;
    current_ = std::move(current);
    listing_ = std::move(listing);
    listed_ = std::min<size_t>(listed, listing_.size());
    pattern_ = SdRomPattern(namePart + "." + extensionPart);
    readPath_ = std::move(readPath);
    readPosition_ = readPosition;
    writePath_ = std::move(writePath);
    writePosition_ = writePosition;
    if (folderMoved) folderChanged_(sdrom::Latin1ToUtf8(current_));
    return true;
}

void IfSdRom::SaveState(StateWriter& out) const {
    banks_.SaveState(out);
    commands_.SaveState(out);
    out.Bool(imageLoaded_);
    out.Bytes(buffer_.data(), buffer_.size());
    for (int v : {receiveIndex_, nameLength_, secondLength_, loadOffset_, blockCount_}) out.I32(v);
    out.Bool(lastBlock_);
    for (uint8_t v : {attribute_, command_, checksum_, result_}) out.U8(v);
    out.U32(static_cast<uint32_t>(reply_.size()));
    out.Bytes(reply_.data(), reply_.size());
    out.U32(static_cast<uint32_t>(replyAt_));
    out.I64(tickAccumulator_);
    out.I32(state_.load());
    for (int v : {senderState_, bitCount_, divider_}) out.I32(v);
    out.U8(outByte_);
    out.U8(shiftByte_);
}

bool IfSdRom::LoadState(StateReader& in) {
    // The banks and the commands check what they read before they change; the module's own
    // fields are read whole first.
    if (!banks_.LoadState(in) || !commands_.LoadState(in)) return false;
    const bool imageLoaded = in.Bool();
    std::array<uint8_t, kFrameBuffer> buffer{};
    in.Bytes(buffer.data(), buffer.size());
    const int receiveIndex = in.I32In(0, kFrameBuffer - 1);
    const int nameLength = in.I32In(0, 255);
    const int secondLength = in.I32In(-1, 255);
    const int loadOffset = in.I32In(0, 0x3FFF);
    const int blockCount = in.I32In(0, 256);
    const bool lastBlock = in.Bool();
    const uint8_t attribute = in.U8(), command = in.U8(), checksum = in.U8(), result = in.U8();
    const uint32_t replySize = in.U32();
    if (in.Failed() || replySize > kMaxReply) return false;
    std::vector<uint8_t> reply(replySize);
    in.Bytes(reply.data(), reply.size());
    const uint32_t replyAt = in.U32();
    const int64_t accumulator = in.I64();
    const int state = in.I32In(kWaitFrame, kAnswerData);
    const int senderState = in.I32In(kSenderIdle, kSenderStop);
    const int bitCount = in.I32In(0, 16);
    const int divider = in.I32In(0, 64);
    const uint8_t outByte = in.U8(), shiftByte = in.U8();
    if (in.Failed() || replyAt > reply.size() || accumulator < 0 ||
        accumulator > (int64_t{1} << 30)) {
        return false;
    }
    imageLoaded_ = imageLoaded;
    buffer_ = buffer;
    receiveIndex_ = receiveIndex;
    nameLength_ = nameLength;
    secondLength_ = secondLength;
    loadOffset_ = loadOffset;
    blockCount_ = blockCount;
    lastBlock_ = lastBlock;
    attribute_ = attribute, command_ = command, checksum_ = checksum, result_ = result;
    reply_ = std::move(reply);
    replyAt_ = replyAt;
    tickAccumulator_ = accumulator;
    SetState(state);
    senderState_ = senderState;
    bitCount_ = bitCount;
    divider_ = divider;
    outByte_ = outByte;
    shiftByte_ = shiftByte;
    return true;
}
