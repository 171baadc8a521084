#include "fuzz/SnapshotCheck.h"

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "emulator/Machine.h"
#include "emulator/Snapshot.h"
#include "host/config/ConfigDocument.h"
#include "host/config/Settings.h"
#include "host/files/ProgramPaths.h"

namespace fuzzcheck {

namespace {

struct Board {
    std::filesystem::path card;
    bool loaded = false;
    config::ConfigDocument document;
    std::unique_ptr<config::Settings> settings;
    std::unique_ptr<Machine> machine;

    Board() {
        card = std::filesystem::temp_directory_path() /
               ("tevrin-snapshot-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(card);
        // Without the program's version the document stays closed and takes no setting.
        loaded = document.LoadFromText("<?xml version=\"1.0\"?><TevrinEmu version=\"" +
                                       program::ProgramVersion() + "\"/>") ==
                 config::ConfigLoadResult::Usable;
        settings = std::make_unique<config::Settings>(document);
        settings->Set(config::keys::kMultiplier, true);
        settings->Set(config::keys::kSdRomConnected, true);
        settings->SetPath(config::keys::kSdRomRootPath, card.string() + "/");
        machine = std::make_unique<Machine>(
            *settings,
            [](int, SoundStream::Fill) -> std::unique_ptr<SoundStream> { return nullptr; });
        machine->ApplySettings(config::GroupSet::All());
        machine->WarmReset();
        machine->SetThrottled(false);
        machine->SetPaused(false);
        for (int i = 0; i < 3; ++i) machine->CpuTimerEvent();
        machine->SetPaused(true);
    }
    ~Board() {
        machine.reset();
        std::error_code ec;
        std::filesystem::remove_all(card, ec);
    }
};

std::vector<uint8_t> Saved(Machine& machine) {
    std::vector<uint8_t> bytes;
    machine.SaveSnapshot(bytes);
    return bytes;
}

const char* LoadOnce(Machine& machine, const std::vector<uint8_t>& bytes) {
    const std::vector<uint8_t> before = Saved(machine);
    if (machine.LoadSnapshot(bytes.data(), bytes.size()) != snapshot::LoadError::None) {
        return Saved(machine) == before ? nullptr : "a refused snapshot changed the machine";
    }
    const std::vector<uint8_t> after = Saved(machine);
    if (machine.LoadSnapshot(after.data(), after.size()) != snapshot::LoadError::None) {
        return "what was loaded does not load again once saved";
    }
    if (Saved(machine) != after) return "saving a loaded snapshot again gives other bytes";
    machine.SetPaused(false);
    for (int i = 0; i < 2; ++i) machine.CpuTimerEvent();
    machine.SetPaused(true);
    machine.TakeFault();
    // Back to a known machine for the next input.
    return nullptr;
}

}  // namespace

const char* CheckSnapshot(std::string_view bytes) {
    static Board board;
    if (!board.loaded) return "the configuration did not load";
    static const std::vector<uint8_t> start = Saved(*board.machine);
    Machine& machine = *board.machine;
    machine.LoadSnapshot(start.data(), start.size());
    std::vector<uint8_t> data(bytes.begin(), bytes.end());
    if (const char* broken = LoadOnce(machine, data)) return broken;
    // With the header of a snapshot in front and a valid checksum behind, the input reaches the
    // sections.
    std::vector<uint8_t> framed(snapshot::kMagic, snapshot::kMagic + sizeof snapshot::kMagic);
    for (int i = 0; i < 4; ++i)
        framed.push_back(static_cast<uint8_t>(snapshot::kFormatVersion >> (8 * i)));
    framed.insert(framed.end(), data.begin(), data.end());
    const uint32_t crc = snapshot::Crc32(framed.data(), framed.size());
    for (int i = 0; i < 4; ++i) framed.push_back(static_cast<uint8_t>(crc >> (8 * i)));
    machine.LoadSnapshot(start.data(), start.size());
    if (const char* broken = LoadOnce(machine, framed)) return broken;
    // The input as patches to a real snapshot (three bytes of offset, one of value each), with
    // the checksum made right: every part's own checks get values a file could carry.
    std::vector<uint8_t> patched = start;
    const size_t body = patched.size() - 4;
    for (size_t i = 0; i + 4 <= data.size(); i += 4) {
        const size_t at =
            (size_t{data[i]} | size_t{data[i + 1]} << 8 | size_t{data[i + 2]} << 16) % body;
        patched[at] = data[i + 3];
    }
    const uint32_t sum = snapshot::Crc32(patched.data(), body);
    for (int i = 0; i < 4; ++i) patched[body + i] = static_cast<uint8_t>(sum >> (8 * i));
    machine.LoadSnapshot(start.data(), start.size());
    return LoadOnce(machine, patched);
}

}  // namespace fuzzcheck
