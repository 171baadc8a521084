#include "fuzz/MovieCheck.h"

#include <memory>
#include <vector>

#include "emulator/InputMovie.h"
#include "emulator/Machine.h"
#include "host/config/ConfigDocument.h"
#include "host/config/Settings.h"

namespace fuzzcheck {

namespace {

// A played movie may be long; a few periods of it reach every kind of event in a small input.
constexpr int kPlayedPeriods = 12;

struct Rig {
    config::ConfigDocument document;
    std::unique_ptr<config::Settings> settings;
    std::unique_ptr<Machine> machine;
    std::vector<uint8_t> recorded;  // a real movie: inputs, a change from outside, a stretch run

    Rig() {
        document.LoadFromText("<?xml version=\"1.0\"?><TevrinEmu/>");
        settings = std::make_unique<config::Settings>(document);
        settings->Set(config::keys::kMultiplier, true);
        machine = std::make_unique<Machine>(
            *settings,
            [](int, SoundStream::Fill) -> std::unique_ptr<SoundStream> { return nullptr; });
        machine->ApplySettings(config::GroupSet::All());
        machine->WarmReset();
        machine->SetThrottled(false);
        machine->SetPaused(false);
        machine->CpuTimerEvent();
        machine->StartRecordingInputs();
        KeyMatrix keys;
        keys.columns[3] = 0x10;
        machine->SetKeyMatrix(keys);
        machine->CpuTimerEvent();
        machine->NoteOutsideChange();
        machine->CpuTimerEvent();
        recorded = movie::Encode(machine->StopRecordingInputs());
        machine->SetPaused(true);
    }
};

std::vector<uint8_t> Saved(Machine& machine) {
    std::vector<uint8_t> bytes;
    machine.SaveSnapshot(bytes);
    return bytes;
}

const char* ReadAndPlay(Machine& machine, const std::vector<uint8_t>& start,
                        const std::vector<uint8_t>& bytes) {
    movie::Movie read;
    if (movie::Decode(bytes.data(), bytes.size(), read, nullptr) != snapshot::LoadError::None) {
        return nullptr;
    }
    const std::vector<uint8_t> written = movie::Encode(read);
    movie::Movie again;
    if (movie::Decode(written.data(), written.size(), again, nullptr) !=
        snapshot::LoadError::None) {
        return "a movie that was read does not read again once written";
    }
    if (movie::Encode(again) != written) return "writing a movie read back gives other bytes";
    machine.LoadSnapshot(start.data(), start.size());
    const std::vector<uint8_t> before = Saved(machine);
    if (machine.StartPlayingInputs(std::move(read)) != snapshot::LoadError::None) {
        return Saved(machine) == before ? nullptr : "a refused movie changed the machine";
    }
    machine.SetPaused(false);
    for (int i = 0; i < kPlayedPeriods && machine.PlayingInputs(); ++i) machine.CpuTimerEvent();
    machine.SetPaused(true);
    machine.StopPlayingInputs();
    machine.TakePlaybackEnd();
    machine.TakeFault();
    return nullptr;
}

void AppendU32(std::vector<uint8_t>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

const char* CheckMovie(std::string_view bytes) {
    static Rig rig;
    static const std::vector<uint8_t> start = Saved(*rig.machine);
    Machine& machine = *rig.machine;
    const std::vector<uint8_t> data(bytes.begin(), bytes.end());
    if (const char* broken = ReadAndPlay(machine, start, data)) return broken;

    std::vector<uint8_t> framed(movie::kMagic, movie::kMagic + sizeof movie::kMagic);
    AppendU32(framed, movie::kFormatVersion);
    framed.insert(framed.end(), data.begin(), data.end());
    AppendU32(framed, snapshot::Crc32(framed.data(), framed.size()));
    if (const char* broken = ReadAndPlay(machine, start, framed)) return broken;

    // Three bytes of offset and one of value each, with the checksum made right.
    std::vector<uint8_t> patched = rig.recorded;
    const size_t body = patched.size() - 4;
    for (size_t i = 0; i + 4 <= data.size(); i += 4) {
        const size_t at =
            (size_t{data[i]} | size_t{data[i + 1]} << 8 | size_t{data[i + 2]} << 16) % body;
        patched[at] = data[i + 3];
    }
    const uint32_t sum = snapshot::Crc32(patched.data(), body);
    for (int i = 0; i < 4; ++i) patched[body + i] = static_cast<uint8_t>(sum >> (8 * i));
    return ReadAndPlay(machine, start, patched);
}

}  // namespace fuzzcheck
