#include "machine/IfSdRom.h"

#include <string_view>

namespace {

// Commands without parameters, and those that start with a name.
bool TakesNothing(uint8_t c) {
    return c == '0' || c == '1' || c == '@' || c == 'K' || c == 'P';
}
bool TakesName(uint8_t c) {
    switch (c) {
        case 'A':
        case 'C':
        case 'D':
        case 'F':
        case 'L':
        case 'M':
        case 'N':
        case 'O':
        case 'R':
        case 'a':
        case 'c':
        case 'd':
        case 'o':
        case 'r': return true;
        default: return false;
    }
}

// The sender's divider: a bit lasts 16 clock edges; the first expiry comes half a bit after a
// byte is handed over.
constexpr int kEdgesPerBit = 16;
constexpr int kFirstExpiry = 8;

}  // namespace

IfSdRom::IfSdRom(ChipMemory& memory, SdRomStorage& storage, const std::string& currentFolderUtf8,
                 SdRomCommands::FolderChanged folderChanged)
    : banks_(memory), commands_(storage, banks_, currentFolderUtf8, folderChanged) {
    imageLoaded_ = commands_.LoadFirmware();
    banks_.Select(true);
}

IfSdRom::~IfSdRom() {
    Detach();
}

IfSerial::LineHandlers IfSdRom::Handlers() {
    IfSerial::LineHandlers handlers;
    handlers.OnLineReset = IfSerial::LineNotify::Bind<&IfSdRom::OnLineReset>(this);
    handlers.OnTxReady = IfSerial::LineNotify::Bind<&IfSdRom::OnTxReady>(this);
    handlers.OnTick = IfSerial::LineTick::Bind<&IfSdRom::ProcessTicks>(this);
    handlers.OnClock = IfSerial::LineClock::Bind<&IfSdRom::ClockSender>(this);
    handlers.IsClockIdle = Closure<bool(IfSerial*)>::Bind<&IfSdRom::IsClockIdle>(this);
    handlers.QuietTicks = Closure<int32_t(IfSerial*)>::Bind<&IfSdRom::QuietTicks>(this);
    return handlers;
}

void IfSdRom::Attach(IfSerial& serial) {
    Detach();
    previous_ = serial.SetLineHandlers(IfSerial::kLineSdRom, Handlers());
    attached_ = &serial;
}

void IfSdRom::Detach() {
    if (attached_ == nullptr) return;
    attached_->SetLineHandlers(IfSerial::kLineSdRom, previous_);
    attached_ = nullptr;
    previous_ = {};
}

void IfSdRom::OnLineReset(IfSerial* serial) {
    senderState_ = kSenderIdle;
    receiveIndex_ = 0;
    SetLine(serial, 1);
}

// The module watches the transmit buffer: a byte written there is read as it arrives (and left
// for the USART to send at its own pace). The buffer going free again says nothing new.
void IfSdRom::OnTxReady(IfSerial* serial) {
    if (serial->Chip().GetState().TxReady) return;
    Receive(serial->TakeTransmitByte());
}

void IfSdRom::Receive(uint8_t value) {
    const int state = GetState();
    if (state == kName || state == kSecondName || state == kBlockData) {
        // The lengths keep every index below 511; the check keeps it so whatever they become.
        if (receiveIndex_ >= kFrameBuffer - 1) {
            SetState(kWaitFrame);
            return;
        }
        buffer_[static_cast<size_t>(receiveIndex_++)] = value;
        buffer_[static_cast<size_t>(receiveIndex_)] = 0;
    }
    if (state >= kAnswerBad) return;
    if (state == kWaitFrame || (state == kCommand && value == kFrameStart)) {
        if (value == kFrameStart) {
            checksum_ = kFrameStart;
            receiveIndex_ = 0;
            SetState(kCommand);
        }
        return;
    }
    if (state == kChecksum) {
        SetState(value == checksum_ ? kAnswerGood : kAnswerBad);
        checksum_ ^= value;
        return;
    }
    checksum_ ^= value;
    switch (state) {
        case kCommand:
            command_ = value;
            loadOffset_ = 0;
            attribute_ = 0xFF;
            nameLength_ = 0;
            secondLength_ = -1;
            if (TakesNothing(value)) {
                SetState(kChecksum);
            } else if (TakesName(value)) {
                SetState(kNameLength);
            } else if (value == 'B') {
                SetState(kLastBlock);
            } else {
                SetState(kWaitFrame);
            }
            break;
        case kNameLength:
            nameLength_ = value;
            receiveIndex_ = 0;
            // A listing with 32 or more asks for the next entry: no name follows.
            if (value == 0 || (command_ == 'L' && value >= 32)) {
                SetState(kChecksum);
            } else {
                SetState(kName);
            }
            break;
        case kName:
            if (receiveIndex_ < nameLength_) break;
            if (command_ == 'R' || command_ == 'r') {
                SetState(kOffsetLow);
            } else if (command_ == 'N') {
                SetState(kSecondLength);
            } else if (command_ == 'A' || command_ == 'a') {
                SetState(kAttribute);
            } else {
                SetState(kChecksum);
            }
            break;
        case kSecondLength:
            secondLength_ = value;
            receiveIndex_ = kSecondNameAt;
            // No name to wait for: the next byte is the checksum.
            SetState(value == 0 ? kChecksum : kSecondName);
            break;
        case kSecondName:
            if (receiveIndex_ - kSecondNameAt >= secondLength_) SetState(kChecksum);
            break;
        case kOffsetLow:
            loadOffset_ = value;
            SetState(kOffsetHigh);
            break;
        case kOffsetHigh:
            loadOffset_ = (value * 256 + loadOffset_) & (SdRomBanks::kBankSize - 1);
            SetState(kChecksum);
            break;
        case kLastBlock:
            lastBlock_ = value != 0;
            SetState(kBlockCount);
            break;
        case kBlockCount:
            blockCount_ = value == 0 ? 256 : value;
            receiveIndex_ = 0;
            SetState(kBlockData);
            break;
        case kBlockData:
            if (receiveIndex_ >= blockCount_) SetState(kChecksum);
            break;
        case kAttribute:
            attribute_ = value;
            SetState(kChecksum);
            break;
        default: break;
    }
}

void IfSdRom::Execute() {
    SdRomFrame frame;
    frame.command = command_;
    frame.nameLength = nameLength_;
    const bool hasName = nameLength_ > 0 && !(command_ == 'L' && nameLength_ >= 32);
    if (hasName && command_ != 'B') {
        frame.name.assign(reinterpret_cast<const char*>(buffer_.data()),
                          static_cast<size_t>(nameLength_));
    }
    if (secondLength_ > 0) {
        frame.secondName.assign(reinterpret_cast<const char*>(buffer_.data() + kSecondNameAt),
                                static_cast<size_t>(secondLength_));
    }
    frame.loadOffset = loadOffset_;
    frame.attribute = attribute_;
    frame.lastBlock = lastBlock_;
    frame.block = buffer_.data();
    frame.blockCount = blockCount_;
    // Bank switching and the version query stay inside the module; everything else reaches
    // the card, the host's folder.
    if (command_ != '0' && command_ != '1' && command_ != '@') ++cardCommands_;
    if (std::string_view("FDdNAaCcB").find(static_cast<char>(command_)) != std::string_view::npos) {
        ++cardWrites_;
        lastWritten_ = command_ == 'B' ? commands_.WritePath() : frame.name;
    }
    result_ = commands_.Execute(frame, reply_);
    // The new reply is sent from its start; the position in the last one would otherwise be
    // saved past a shorter reply, and the snapshot refused when loaded.
    replyAt_ = 0;
}

void IfSdRom::ProcessTicks(IfSerial* serial, int32_t /*periodTicks*/, int32_t ticks) {
    tickAccumulator_ += ticks;
    while (tickAccumulator_ >= kSlotTicks) {
        tickAccumulator_ -= kSlotTicks;
        if (senderState_ != kSenderIdle) return;
        switch (GetState()) {
            case kAnswerBad:
                Send(serial, kBadChecksum);
                SetState(kWaitFrame);
                break;
            case kAnswerGood:
                Send(serial, kAcknowledge);
                SetState(kExecute);
                break;
            case kExecute:
                Execute();
                SetState(kAnswerResult);
                break;
            case kAnswerResult:
                if (reply_.empty() || result_ != SdRomCommands::kDone) {
                    Send(serial, result_);
                    SetState(kWaitFrame);
                } else {
                    uint8_t sum = kReplySeed;
                    for (uint8_t b : reply_) sum ^= b;
                    reply_.push_back(sum);
                    replyAt_ = 0;
                    Send(serial, result_);
                    SetState(kAnswerData);
                }
                break;
            case kAnswerData:
                Send(serial, reply_[replyAt_++]);
                if (replyAt_ >= reply_.size()) SetState(kWaitFrame);
                break;
            default: break;
        }
    }
}

void IfSdRom::Send(IfSerial* serial, uint8_t value) {
    // The timer may have run on without telling us while we were idle.
    serial->CatchUpClock();
    outByte_ = value;
    senderState_ = kSenderStart;
    divider_ = kFirstExpiry;
}

void IfSdRom::SetLine(IfSerial* serial, uint8_t level) {
    if (serial != nullptr) serial->SetRxD(level);
}

// A start bit, eight data bits from the lowest, a stop bit that lasts a whole bit.
void IfSdRom::ClockSender(IfSerial* serial, uint8_t level) {
    if (level != 1 || senderState_ == kSenderIdle) return;
    if (--divider_ > 0) return;
    divider_ = kEdgesPerBit;
    switch (senderState_) {
        case kSenderStart:
            SetLine(serial, 0);
            shiftByte_ = outByte_;
            bitCount_ = 0;
            senderState_ = kSenderData;
            break;
        case kSenderData:
            if (bitCount_ < 8) {
                SetLine(serial, shiftByte_ & 1);
                shiftByte_ >>= 1;
                ++bitCount_;
            } else {
                SetLine(serial, 1);
                senderState_ = kSenderStop;
            }
            break;
        default: senderState_ = kSenderIdle; break;
    }
}

bool IfSdRom::IsClockIdle(IfSerial* /*serial*/) const {
    return senderState_ == kSenderIdle;
}

int32_t IfSdRom::QuietTicks(IfSerial* /*serial*/) const {
    const int state = GetState();
    return (state < kAnswerBad && senderState_ == kSenderIdle) ? INT32_MAX : 0;
}

SerialActivity IfSdRom::Activity() const {
    return GetState() == kWaitFrame ? SerialActivity::None : SerialActivity::SdRomBusy;
}
