#include "fuzz/MachineCheck.h"

// The input:
//   byte 0        hardware: 1 SD-ROM module, 2 Muse, 4 joystick, 8 multiplier, 10h/20h timer 0/1
//                 clocked, 40h timers chained, 80h INTE on PB0
//   byte 1        length of the run: 64 + 3 * byte periods of 2 ms (up to 3.3 million ticks)
//   byte 2        events in the script (up to 32), four bytes each from byte 3 on:
//                 periods since the last event, kind, two arguments
//   the rest      the ROM image (up to 16 KB)
// Kinds: 0 type character a, 1 host key a down, 2 host key a up, 3 joystick switches a,
// 4 play (b + 1) * 16 bytes of the input from a * 64 on (fast when b is odd), 5 stop the tape,
// 6 warm reset, 7 nothing.
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "emulator/Machine.h"
#include "emulator/SpeedControl.h"
#include "frontend/HostKeyboard.h"
#include "frontend/HostTyping.h"
#include "host/audio/SoundFrame.h"
#include "host/audio/SoundRing.h"
#include "host/audio/SoundStream.h"
#include "host/config/ConfigDocument.h"
#include "host/config/Settings.h"
#include "host/files/ProgramPaths.h"

namespace fuzzcheck {

namespace fs = std::filesystem;

namespace {

constexpr size_t kHeader = 3;
constexpr size_t kMaxEvents = 32;
constexpr size_t kMaxRom = 16384;
constexpr std::string_view kMarker = "BESIDE-THE-CARD-41c07e";

// The device's part: the harness takes each block as soon as the machine has made it, so the
// ring never holds the machine back.
class DrainedStream : public SoundStream {
  public:
    explicit DrainedStream(Fill fill) : fill_(fill) {}
    bool Start() override { return active_ = true; }
    bool Stop() override { return !(active_ = false); }
    void Abort() override { active_ = false; }
    bool IsActive() const override { return active_; }
    bool IsStopped() const override { return !active_; }
    void Drain() {
        std::array<SoundFrame, SoundRing::kMaxFramesPerBlock> out{};
        fill_(out.data(), out.size());
    }

  private:
    Fill fill_;
    bool active_ = false;
};

std::string Contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every entry below `dir` with what it holds; links are listed, not followed.
std::map<std::string, std::string> Listing(const fs::path& dir) {
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::path& path = it->path();
        if (it->is_symlink(ec)) {
            files[path.string()] = "-> " + fs::read_symlink(path, ec).string();
        } else if (it->is_regular_file(ec)) {
            files[path.string()] = Contents(path);
        } else {
            files[path.string()] = "<dir>";
        }
    }
    return files;
}

struct Rig {
    Rig() {
        char pattern[] = "/tmp/tevrin-machine-fuzz-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) return;
        top = pattern;
        card = top / "card";
        outside = top / "outside";
        fs::create_directories(outside / "inner");
        std::ofstream(outside / "secret") << kMarker;
        std::ofstream(outside / "inner" / "deep") << kMarker;
        // Without the program's version the document stays closed and takes no setting.
        loaded = document.LoadFromText("<?xml version=\"1.0\"?><TevrinEmu version=\"" +
                                       program::ProgramVersion() + "\"/>") ==
                 config::ConfigLoadResult::Usable;
        settings = std::make_unique<config::Settings>(document);
        settings->SetPath(config::keys::kRomFile, (outside / "rom.bin").string());
        settings->SetPath(config::keys::kSdRomRootPath, card.string() + "/");
        settings->Set(config::keys::kSoundDeviceIndex, 0);
        settings->Set(config::keys::kJoystickType, config::JoystickSource::Keys);
        // The same input must run the same way again: no random video planes, and a short
        // history.
        settings->Set(config::keys::kResetPattern, layout::ResetPattern::Grid);
        settings->Set(config::keys::kRewindDepth, 1);
        machine = std::make_unique<Machine>(
            *settings, [this](int, SoundStream::Fill fill) -> std::unique_ptr<SoundStream> {
                auto made = std::make_unique<DrainedStream>(fill);
                stream = made.get();
                return made;
            });
    }
    ~Rig() {
        machine.reset();
        std::error_code ec;
        MakeWritable();
        if (!top.empty()) fs::remove_all(top, ec);
    }
    // The machine's software may have made folders of the card read-only.
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
        fs::create_directories(card / "games");
        std::ofstream(card / "prog.bin", std::ios::binary) << std::string("\x3E\x42\xC9", 3);
        std::ofstream(card / "games" / "big.dat") << std::string(5000, 'g');
        fs::create_symlink(outside, card / "out", ec);
        fs::create_symlink(outside / "secret", card / "secret", ec);
        fs::create_symlink(outside / "rom.bin", card / "rom.bin", ec);
        fs::create_symlink("prog.bin", card / "alias", ec);
    }

    fs::path top, card, outside;
    bool loaded = false;
    config::ConfigDocument document;
    std::unique_ptr<config::Settings> settings;
    std::unique_ptr<Machine> machine;
    DrainedStream* stream = nullptr;  // owned by the machine's sound driver
    HostKeyboard keyboard;
};

Rig& TheRig() {
    static Rig rig;
    return rig;
}

struct Event {
    int64_t period;
    uint8_t kind, a, b;
};

}  // namespace

const char* CheckMachine(std::string_view bytes) {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    const size_t size = bytes.size();
    if (size < kHeader) return nullptr;
    Rig& rig = TheRig();
    if (rig.top.empty()) return "no temporary folder for the card";
    if (!rig.loaded) return "the configuration did not load";
    config::Settings& settings = *rig.settings;
    Machine& machine = *rig.machine;

    const uint8_t hardware = data[0];
    const int64_t periods = 64 + 3 * int64_t{data[1]};
    const size_t eventCount = std::min<size_t>({data[2], kMaxEvents, (size - kHeader) / 4});
    std::vector<Event> events;
    int64_t at = 0;
    for (size_t i = 0; i < eventCount; ++i) {
        const uint8_t* e = data + kHeader + 4 * i;
        at += e[0];
        events.push_back({at, static_cast<uint8_t>(e[1] % 8), e[2], e[3]});
    }
    const size_t romStart = kHeader + 4 * eventCount;
    const size_t romSize = std::min(size - romStart, kMaxRom);
    {
        std::ofstream rom(rig.outside / "rom.bin", std::ios::binary | std::ios::trunc);
        rom.write(bytes.data() + romStart, static_cast<std::streamsize>(romSize));
    }
    rig.FreshCard();
    const auto outsideBefore = Listing(rig.outside);

    settings.Set(config::keys::kSdRomConnected, (hardware & 0x01) != 0);
    settings.Set(config::keys::kSdRomCurrentFolder, std::string());
    settings.Set(config::keys::kMuse, (hardware & 0x02) != 0);
    settings.Set(config::keys::kJoystickConnected, (hardware & 0x04) != 0);
    settings.Set(config::keys::kMultiplier, (hardware & 0x08) != 0);
    settings.Set(config::keys::kClockTimer0, (hardware & 0x10) != 0);
    settings.Set(config::keys::kClockTimer1, (hardware & 0x20) != 0);
    settings.Set(config::keys::kChainTimer01, (hardware & 0x40) != 0);
    settings.Set(config::keys::kInteOnPb0, (hardware & 0x80) != 0);
    machine.SetPaused(true);
    machine.ApplySettings(config::GroupSet::All());
    rig.keyboard.ApplySettings(settings, config::GroupSet::All());
    rig.keyboard.Keys().ReleaseAll();
    machine.WarmReset();
    machine.SetSpeedFactor(1.0);
    machine.SetThrottled(false);
    machine.SetPaused(false);
    if (machine.GetRunState() != Machine::kRunning) return nullptr;  // no ROM to run

    HostTypist typist;
    const int64_t startTicks = machine.EmulatedTicks();
    auto nowMs = [&] {
        return (machine.EmulatedTicks() - startTicks) * speed::kPeriodMs / speed::kTicksPerPeriod;
    };
    size_t next = 0;
    int64_t ran = 0;
    bool faulted = false;
    for (int64_t period = 0; period < periods && !faulted; ++period) {
        for (; next < events.size() && events[next].period <= period; ++next) {
            const Event& e = events[next];
            switch (e.kind) {
                case 0: typist.Add(std::string(1, static_cast<char>(e.a)), nowMs()); break;
                case 1: rig.keyboard.Keys().Press(e.a); break;
                case 2: rig.keyboard.Keys().Release(e.a); break;
                case 3: machine.SampleJoystick(e.a); break;
                case 4: {
                    std::vector<uint8_t> tape((e.b + 1) * 16);
                    for (size_t i = 0; i < tape.size(); ++i) tape[i] = data[(e.a * 64 + i) % size];
                    machine.CommandTape(tape.data(), static_cast<int32_t>(tape.size()),
                                        (e.b & 1) != 0);
                    break;
                }
                case 5: machine.CommandTape(nullptr, 0, false); break;
                case 6: machine.WarmReset(); break;
                default: break;
            }
        }
        typist.Update(nowMs(), rig.keyboard.Keys());
        rig.keyboard.ScanInto(machine);
        machine.CpuTimerEvent();
        ++ran;
        if (rig.stream != nullptr) rig.stream->Drain();
        faulted = machine.FaultPending();
    }
    const int64_t advanced = machine.EmulatedTicks() - startTicks;
    machine.TakeFault();
    machine.SetPaused(true);

    // A period the sound ring had no room for moves nothing on, but the ring is emptied after
    // every period: a machine that fell far behind its periods stopped running.
    const int64_t whole = faulted ? ran - 1 : ran;
    if (advanced < whole * speed::kTicksPerPeriod * 3 / 4) return "the machine stopped moving on";
    if (Listing(rig.outside) != outsideBefore) return "a file beside the card changed";
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(rig.top, ec)) {
        if (entry.path() != rig.card && entry.path() != rig.outside) {
            return "a file appeared beside the card";
        }
    }
    return nullptr;
}

}  // namespace fuzzcheck
