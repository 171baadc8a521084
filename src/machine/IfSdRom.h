#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "machine/IfSerial.h"
#include "machine/SdRomBanks.h"
#include "machine/SdRomCommands.h"
#include "machine/SerialActivity.h"

class ChipMemory;
class SdRomStorage;
class StateArchive;
class StateReader;
class StateWriter;

// The SD-ROM module on serial line 3: a 16 KiB ROM window with two banks (pages F8-FB) and a
// storage card reached by command frames. The machine's software writes a frame into the
// USART's transmitter; the module reads each byte as it lands in the transmit buffer, checks
// the frame and answers on the receive line, one byte per processing slot of 2080 ticks, each
// byte shifted out by its own sender on the timer's clock. The card is a SdRomStorage; this
// side never touches a host file.
class IfSdRom {
  public:
    static constexpr int kSlotTicks = 2080;  // 1.04 ms at 2 MHz
    static constexpr uint8_t kFrameStart = 0xAA;
    static constexpr uint8_t kAcknowledge = 0x33;
    static constexpr uint8_t kBadChecksum = 0x99;
    static constexpr uint8_t kReplySeed = 0xAA;  // the reply checksum starts from it

    // The receiver's and executor's states, as numbered by the protocol.
    enum State : int {
        kWaitFrame = 1,
        kCommand = 2,
        kNameLength = 3,
        kName = 4,
        kSecondLength = 5,
        kSecondName = 6,
        kOffsetLow = 7,
        kOffsetHigh = 8,
        kLastBlock = 9,
        kAttribute = 10,
        kBlockCount = 11,
        kBlockData = 12,
        kChecksum = 13,
        kAnswerBad = 14,
        kAnswerGood = 15,
        kExecute = 16,
        kAnswerResult = 17,
        kAnswerData = 18,
    };

    // Builds the banks (the firmware from the storage's root into the image bank) and shows the
    // image bank in pages F8-FB, which the memory must hold. `currentFolderUtf8` and
    // `folderChanged` are the configured current folder and where its changes go.
    IfSdRom(ChipMemory& memory, SdRomStorage& storage, const std::string& currentFolderUtf8,
            SdRomCommands::FolderChanged folderChanged);
    ~IfSdRom();
    IfSdRom(const IfSdRom&) = delete;
    IfSdRom& operator=(const IfSdRom&) = delete;

    // Becomes the device of line 3; Detach (and destruction) puts back what was there.
    void Attach(IfSerial& serial);
    void Detach();
    IfSerial::LineHandlers Handlers();

    // Line 3 handlers.
    void OnLineReset(IfSerial* serial);
    void OnTxReady(IfSerial* serial);
    void ProcessTicks(IfSerial* serial, int32_t periodTicks, int32_t ticks);
    void ClockSender(IfSerial* serial, uint8_t level);
    // Nothing in flight: no byte being shifted out, so the timer's edges are of no interest.
    bool IsClockIdle(IfSerial* serial) const;
    // While the module waits for (or is receiving) a frame and sends nothing, processing slots
    // change nothing but the tick count, so any number of ticks may be handed over at once.
    int32_t QuietTicks(IfSerial* serial) const;

    // For the status bar (any thread): busy unless waiting for a frame; and
    // 'M' for the image bank in the window, 'R' for the load bank.
    SerialActivity Activity() const;
    char BankLetter() const { return banks_.ImageSelected() ? 'M' : 'R'; }

    bool ImageLoaded() const { return imageLoaded_; }
    int GetState() const { return state_.load(std::memory_order_relaxed); }
    const std::string& CurrentFolder() const { return commands_.CurrentFolder(); }

    // Commands that reached the card, and those of them that may have changed it (with the name
    // of the last such file or folder), for the history: a replay must not touch the host.
    uint32_t CardCommands() const { return cardCommands_; }
    uint32_t CardWrites() const { return cardWrites_; }
    const std::string& LastWritten() const { return lastWritten_; }

    // The state that decides the future, for snapshots; false for a malformed stream.
    void SaveState(StateWriter& out) const;
    bool LoadState(StateReader& in);
    void Serialize(StateArchive& a);  // the fields both name, once

  private:
    static constexpr int kFrameBuffer = 512 + 1;  // names from 0 and 256, block data from 0
    static constexpr int kSecondNameAt = 256;

    enum SenderState : int { kSenderIdle = 0, kSenderStart = 1, kSenderData = 2, kSenderStop = 3 };

    void Receive(uint8_t value);
    void SetState(int state) { state_.store(state, std::memory_order_relaxed); }
    void Execute();
    void Send(IfSerial* serial, uint8_t value);
    void SetLine(IfSerial* serial, uint8_t level);

    SdRomBanks banks_;
    SdRomCommands commands_;
    bool imageLoaded_ = false;

    std::array<uint8_t, kFrameBuffer> buffer_{};
    int receiveIndex_ = 0;
    int nameLength_ = 0;
    int secondLength_ = -1;
    int loadOffset_ = 0;
    bool lastBlock_ = false;
    int blockCount_ = 0;
    uint8_t attribute_ = 0xFF;
    uint8_t command_ = 0;
    uint8_t checksum_ = 0;
    uint8_t result_ = 0;
    std::vector<uint8_t> reply_;
    size_t replyAt_ = 0;
    int64_t tickAccumulator_ = 0;
    std::atomic<int> state_{kWaitFrame};

    int senderState_ = kSenderIdle;
    int bitCount_ = 0;
    uint8_t outByte_ = 0;
    uint8_t shiftByte_ = 0;
    int divider_ = 0;

    uint32_t cardCommands_ = 0;
    uint32_t cardWrites_ = 0;
    std::string lastWritten_;

    IfSerial* attached_ = nullptr;
    IfSerial::LineHandlers previous_{};
};
