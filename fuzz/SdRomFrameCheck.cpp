#include "fuzz/SdRomFrameCheck.h"

// Any bytes as what the machine's software sends the SD-ROM module, against a card folder made
// afresh for every input: the module must not crash or read or write past a buffer, must
// answer every checked frame, and must never touch the folder beside the card, which the card
// reaches only through symbolic links that the module has to refuse. Nor may anything of that
// folder be read: its files hold a marker that must never show in the module's banks or in
// what it sends back (unless the input itself carries the marker and wrote it to the card).
//
// An odd first byte lets the harness supply each frame's checksum when the module asks for
// it, so that most inputs get past the check and reach the commands.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "machine/ChipMemory.h"
#include "machine/IfInterrupt.h"
#include "machine/IfSdRom.h"
#include "machine/IfSerial.h"
#include "machine/MemoryOrganizer.h"
#include "media/sdrom/SdRomFolder.h"

namespace fuzzcheck {

namespace fs = std::filesystem;

namespace {

// What the files beside the card hold.
constexpr std::string_view kMarker = "OUTSIDE-THE-CARD-7f3a9c";

bool Holds(const uint8_t* data, size_t size, std::string_view what) {
    return std::string_view(reinterpret_cast<const char*>(data), size).find(what) !=
           std::string_view::npos;
}

// The module's four pages, where both banks and the data window show.
bool BanksHold(const ChipMemory& memory, std::string_view what) {
    for (int page = 0xF8; page <= 0xFB; ++page) {
        if (Holds(memory.PagePointer(page), 4096, what)) return true;
    }
    return false;
}

std::string Contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::map<std::string, std::string> Snapshot(const fs::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        files[entry.path().string()] = entry.is_regular_file() ? Contents(entry.path()) : "<dir>";
    }
    return files;
}

struct Place {
    Place() {
        char pattern[] = "/tmp/tevrin-sdrom-fuzz-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) return;
        top = pattern;
        card = top / "card";
        outside = top / "outside";
        fs::create_directories(outside / "inner");
        std::ofstream(outside / "secret") << kMarker;
        std::ofstream(outside / "inner" / "deep") << kMarker;
        before = Snapshot(outside);
        memory.AllocatePages(0xF8, 4, true);
    }
    ~Place() {
        std::error_code ec;
        MakeWritable();
        if (!top.empty()) fs::remove_all(top, ec);
    }
    // The machine may have made folders read-only; they must go all the same.
    void MakeWritable() {
        std::error_code ec;
        if (!fs::exists(card, ec)) return;
        fs::permissions(card, fs::perms::owner_all, fs::perm_options::add, ec);
        for (auto it = fs::recursive_directory_iterator(card, ec);
             it != fs::recursive_directory_iterator(); it.increment(ec)) {
            if (!it->is_symlink(ec)) {
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
            }
        }
    }
    void FreshCard() {
        std::error_code ec;
        MakeWritable();
        fs::remove_all(card, ec);
        fs::create_directories(card / "sub" / "deeper");
        std::ofstream(card / "tevrinsdrom.rmm") << "FIRMWARE";
        std::ofstream(card / "a.txt") << "alpha";
        std::ofstream(card / "sub" / "b.bin") << std::string(5000, 'b');
        std::ofstream(card / ".hidden") << "h";
        fs::create_symlink(outside, card / "out", ec);
        fs::create_symlink(outside / "secret", card / "secret", ec);
        fs::create_symlink("/etc", card / "etc", ec);
        fs::create_symlink("a.txt", card / "alias", ec);
    }

    fs::path top, card, outside;
    std::map<std::string, std::string> before;
    MemoryOrganizer organizer;
    ChipMemory memory{organizer};
};

Place& ThePlace() {
    static Place place;
    return place;
}

// Slots and clock edges until the module has answered and waits for the next frame; false when
// it never does.
bool RunAnswer(IfSdRom& module, IfSerial& serial, std::vector<uint8_t>& received) {
    for (int slot = 0; slot < 600 && module.GetState() >= IfSdRom::kAnswerBad; ++slot) {
        serial.OnTick(0, IfSdRom::kSlotTicks);
        for (int edge = 0; edge < 400 && !module.IsClockIdle(&serial); ++edge) {
            serial.TimerOutput(static_cast<uint8_t>(edge & 1));
        }
        if (serial.RxReady()) received.push_back(serial.PortRead(0xC8, 0));
    }
    return module.GetState() < IfSdRom::kAnswerBad;
}

}  // namespace

const char* CheckSdRomFrames(std::string_view bytes) {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    const size_t size = bytes.size();
    if (size == 0) return nullptr;
    Place& place = ThePlace();
    if (place.top.empty()) return "no temporary folder for the card";
    const char* broken = nullptr;
    place.FreshCard();
    std::vector<uint8_t> received;
    bool watchMarker = false;
    {
        IfInterrupt interrupts;
        IfSerial serial(&interrupts);
        media::SdRomFolder folder(place.card.string(), "/");
        IfSdRom module(place.memory, folder, "sub", SdRomCommands::FolderChanged{});
        module.Attach(serial);
        serial.Reset(0);
        serial.PortWrite(0xC9, 0x4E, 0);
        serial.PortWrite(0xC9, 0x15, 0);
        // Bytes are taken out of the transmitter whole, so each write finds it free.
        serial.SetParallelTx(1);
        const bool supplyChecksums = (data[0] & 1) != 0;
        watchMarker = !Holds(data, size, kMarker);
        uint8_t sum = 0;
        auto send = [&](uint8_t value) {
            const int state = module.GetState();
            if (state == IfSdRom::kWaitFrame || state == IfSdRom::kCommand) {
                if (value == IfSdRom::kFrameStart) sum = 0;
            }
            sum ^= value;
            serial.PortWrite(0xC8, value, 0);
            serial.TakeTransmitByte();
            if (module.GetState() < IfSdRom::kAnswerBad) return;
            if (!RunAnswer(module, serial, received)) {
                broken = "the module never finished its answer";
            } else if (watchMarker && BanksHold(place.memory, kMarker)) {
                // Looked at after every command: a later one may cover it up again.
                broken = "a file outside the card reached the module's banks";
            }
        };
        for (size_t i = 1; i < size && broken == nullptr; ++i) {
            send(data[i]);
            if (supplyChecksums && module.GetState() == IfSdRom::kChecksum) {
                send(sum);
                if (broken == nullptr && module.GetState() != IfSdRom::kWaitFrame) {
                    broken = "a checked frame got no answer";
                }
            }
        }
    }
    if (broken == nullptr && watchMarker && Holds(received.data(), received.size(), kMarker)) {
        broken = "a file outside the card was sent to the machine";
    }
    if (broken != nullptr) return broken;
    if (Snapshot(place.outside) != place.before) return "a file outside the card changed";
    return nullptr;
}

}  // namespace fuzzcheck
