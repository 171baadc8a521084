#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "machine/ChipMemory.h"
#include "machine/IfInterrupt.h"
#include "machine/IfSdRom.h"
#include "machine/IfSerial.h"
#include "machine/IfTimer.h"
#include "machine/MemoryOrganizer.h"
#include "media/sdrom/SdRomFolder.h"

namespace testing_support {

// An SD-ROM frame as the machine's software sends it: 0xAA, the command, the parameters, the
// checksum (XOR of everything before it).
inline std::vector<uint8_t> SdFrame(uint8_t command, const std::vector<uint8_t>& parameters = {}) {
    std::vector<uint8_t> frame{0xAA, command};
    frame.insert(frame.end(), parameters.begin(), parameters.end());
    uint8_t sum = 0;
    for (uint8_t b : frame) sum ^= b;
    frame.push_back(sum);
    return frame;
}

// A length byte and the name's bytes.
inline std::vector<uint8_t> SdName(const std::string& name) {
    std::vector<uint8_t> bytes{static_cast<uint8_t>(name.size())};
    bytes.insert(bytes.end(), name.begin(), name.end());
    return bytes;
}

inline std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// The module on line 3 of a serial interface clocked by the timer, the processor's side played
// by a polling loop over the USART's ports, ticks handed out as the processor's tick listeners
// get them (timer first, then the serial line).
class SdRomRig {
  public:
    // `timerCount`: counter 2 in square-wave mode with this count clocks the serial line.
    explicit SdRomRig(const std::string& root, int timerCount = 2,
                      const std::string& currentFolder = "")
        : folder(root, "/") {
        memory.AllocatePages(0xF8, 4, true);
        timer.ConnectSerial(&serial);
        timer.PortWrite(0xD3, 0xB6, 0);
        timer.PortWrite(0xD2, static_cast<uint8_t>(timerCount), 0);
        timer.PortWrite(0xD2, 0, 0);
        module = std::make_unique<IfSdRom>(
            memory, folder, currentFolder,
            SdRomCommands::FolderChanged::Bind<&SdRomRig::OnFolder>(this));
        module->Attach(serial);
        serial.Reset(0);
        serial.PortWrite(0xC9, 0x4E, 0);  // async ×16, 8 bits, no parity, 1 stop bit
        serial.PortWrite(0xC9, 0x15, 0);  // TxEN, RxE, error reset; line 3
    }

    // With `merge` the serial line hears of ticks as the processor's fast path hands them over:
    // in one call once the module's quiet time is used up, and before every port access.
    void Tick(int32_t ticks) {
        timer.OnTick(0, ticks);
        now += ticks;
        if (!merge) {
            serial.OnTick(0, ticks);
            return;
        }
        pending += ticks;
        if (pending >= quiet) Flush();
    }
    void Flush() {
        if (pending > 0) serial.OnTick(0, pending);
        pending = 0;
        quiet = serial.QuietTicks();
    }

    // Sends the bytes as fast as the transmitter takes them and collects what comes back until
    // the module waits for the next frame and its sender is quiet again.
    std::vector<uint8_t> Exchange(const std::vector<uint8_t>& bytes, int64_t limit = 4000000) {
        std::vector<uint8_t> received;
        size_t sent = 0;
        const int64_t end = now + limit;
        int64_t quietSince = -1;
        while (now < end) {
            Tick(4);
            if (++polls % pollEvery != 0) continue;
            Flush();
            const uint8_t status = serial.PortRead(0xC9, 0);
            if (status & 0x02) {
                received.push_back(serial.PortRead(0xC8, 0));
                arrivals.push_back(now);
            }
            if ((status & 0x01) && sent < bytes.size()) serial.PortWrite(0xC8, bytes[sent++], 0);
            // After an IN or OUT the processor asks again how long the listeners stay quiet.
            quiet = serial.QuietTicks();
            const bool done = sent == bytes.size() && module->GetState() == IfSdRom::kWaitFrame &&
                              module->IsClockIdle(&serial);
            if (!done) {
                quietSince = -1;
            } else if (quietSince < 0) {
                quietSince = now;
            } else if (now - quietSince > 400) {
                break;
            }
        }
        return received;
    }

    // The result code of a frame that has no reply data (or -1 for no or a bad answer).
    int Result(const std::vector<uint8_t>& frame) {
        reply = Exchange(frame);
        if (reply.size() < 2 || reply[0] != IfSdRom::kAcknowledge) return -1;
        return reply[1];
    }
    // The reply data after the result, checked against its checksum; empty when there is none.
    std::vector<uint8_t> Data() const {
        if (reply.size() < 3) return {};
        std::vector<uint8_t> data(reply.begin() + 2, reply.end() - 1);
        uint8_t sum = 0xAA;
        for (uint8_t b : data) sum ^= b;
        if (sum != reply.back()) return {0xEE, 0xEE, 0xEE};
        return data;
    }

    const uint8_t* Page(int page) const { return memory.PagePointer(page); }

    void OnFolder(const std::string& folderUtf8) { storedFolder.push_back(folderUtf8); }

    MemoryOrganizer organizer;
    ChipMemory memory{organizer};
    IfInterrupt interrupts;
    IfTimer timer{&interrupts};
    IfSerial serial{&interrupts};
    media::SdRomFolder folder;
    std::unique_ptr<IfSdRom> module;
    std::vector<uint8_t> reply;
    std::vector<std::string> storedFolder;
    std::vector<int64_t> arrivals;  // when each received byte was there to read
    int64_t now = 0;
    bool merge = false;
    int pollEvery = 1;  // the ports are looked at every this many 4-tick steps
    int64_t polls = 0;
    int32_t pending = 0;
    int32_t quiet = 0;
};

}  // namespace testing_support
