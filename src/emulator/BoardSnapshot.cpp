#include <bit>
#include <cstring>
#include <map>

#include "emulator/Board.h"
#include "emulator/Snapshot.h"
#include "emulator/SpeedControl.h"
#include "machine/StateStream.h"

namespace {

using snapshot::LoadError;

constexpr size_t kHeaderSize = sizeof snapshot::kMagic + 4;
constexpr size_t kChecksumSize = 4;

// A section's tag as the four bytes stored.
constexpr uint32_t Tag(const char (&text)[5]) {
    return static_cast<uint32_t>(static_cast<uint8_t>(text[0])) |
           static_cast<uint32_t>(static_cast<uint8_t>(text[1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(text[2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(text[3])) << 24;
}

constexpr uint32_t kTagMachine = Tag("MACH"), kTagCpu = Tag("CPU "), kTagPaging = Tag("PAGE"),
                   kTagMemory = Tag("MEM "), kTagScreen = Tag("SCRN"), kTagSystemPio = Tag("SPIO"),
                   kTagGpio = Tag("GPIO"), kTagTimer = Tag("TIMR"), kTagSerial = Tag("SERL"),
                   kTagInterrupts = Tag("INTR"), kTagMultiplier = Tag("MULT"),
                   kTagTape = Tag("TAPE"), kTagSdRom = Tag("SDRM"), kTagMuse = Tag("MUSE"),
                   kTagEnd = Tag("END ");

uint32_t ReadU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Writes one section: its tag, a length filled in once the payload is written, the payload.
template <typename Fill>
void Section(std::vector<uint8_t>& out, uint32_t tag, Fill fill) {
    StateWriter head(out);
    head.U32(tag);
    const size_t lengthAt = out.size();
    head.U32(0);
    StateWriter body(out);
    fill(body);
    const uint32_t length = static_cast<uint32_t>(out.size() - lengthAt - 4);
    for (int i = 0; i < 4; ++i) out[lengthAt + i] = static_cast<uint8_t>(length >> (8 * i));
}

struct Span {
    const uint8_t* data = nullptr;
    size_t size = 0;
};

// The file's sections by tag, after every structural check: nothing of the machine is touched
// before the whole file has passed.
LoadError ParseSections(const uint8_t* data, size_t size, uint32_t& version,
                        std::map<uint32_t, Span>& sections) {
    version = 0;
    if (size < kHeaderSize || std::memcmp(data, snapshot::kMagic, sizeof snapshot::kMagic) != 0) {
        return LoadError::NotSnapshot;
    }
    version = ReadU32(data + sizeof snapshot::kMagic);
    if (version > snapshot::kFormatVersion) return LoadError::NewerVersion;
    if (version < snapshot::kOldestVersion) return LoadError::OlderVersion;
    if (size < kHeaderSize + kChecksumSize) return LoadError::Damaged;
    const size_t body = size - kChecksumSize;
    if (snapshot::Crc32(data, body) != ReadU32(data + body)) return LoadError::Damaged;
    size_t at = kHeaderSize;
    bool ended = false;
    while (at < body) {
        if (body - at < 8) return LoadError::Damaged;
        const uint32_t tag = ReadU32(data + at);
        const uint32_t length = ReadU32(data + at + 4);
        at += 8;
        if (length > body - at) return LoadError::Damaged;
        if (tag == kTagEnd) {
            ended = length == 0 && at == body;
            break;
        }
        if (!sections.emplace(tag, Span{data + at, length}).second) return LoadError::Damaged;
        at += length;
    }
    if (!ended) return LoadError::Damaged;
    for (uint32_t required :
         {kTagMachine, kTagCpu, kTagPaging, kTagMemory, kTagScreen, kTagSystemPio, kTagGpio,
          kTagTimer, kTagSerial, kTagInterrupts, kTagTape}) {
        if (sections.count(required) == 0) return LoadError::Damaged;
    }
    return LoadError::None;
}

}  // namespace

void Board::SaveSnapshot(std::vector<uint8_t>& out, double speed) {
    out.clear();
    if (!Built()) return;
    out.reserve(kHeaderSize + memory_->SavedPageBytes() + 64 * 1024);
    out.insert(out.end(), snapshot::kMagic, snapshot::kMagic + sizeof snapshot::kMagic);
    StateWriter(out).U32(snapshot::kFormatVersion);
    Section(out, kTagMachine, [&](StateWriter& w) {
        w.I64(emulatedTicks_.load());
        w.I64(instructions_.load());
        w.U64(std::bit_cast<uint64_t>(speed));
        w.Bool(multiplier_ != nullptr);
        w.Bool(sdRom_ != nullptr);
    });
    Section(out, kTagCpu, [&](StateWriter& w) { cpu_->SaveState(w); });
    Section(out, kTagPaging, [&](StateWriter& w) { organizer_->SaveState(w); });
    Section(out, kTagMemory, [&](StateWriter& w) { memory_->SaveState(w); });
    Section(out, kTagScreen, [&](StateWriter& w) { screen_->SaveState(w); });
    Section(out, kTagSystemPio, [&](StateWriter& w) { systemPio_->SaveState(w); });
    Section(out, kTagGpio, [&](StateWriter& w) { gpio_->SaveState(w); });
    Section(out, kTagTimer, [&](StateWriter& w) { timer_->SaveState(w); });
    Section(out, kTagSerial, [&](StateWriter& w) { serial_->SaveState(w); });
    Section(out, kTagInterrupts, [&](StateWriter& w) { interrupts_->SaveState(w); });
    if (multiplier_)
        Section(out, kTagMultiplier, [&](StateWriter& w) { multiplier_->SaveState(w); });
    Section(out, kTagTape, [&](StateWriter& w) { tape_->SaveState(w); });
    if (sdRom_) Section(out, kTagSdRom, [&](StateWriter& w) { sdRom_->SaveState(w); });
    // Sound only: a snapshot with the board loads into a machine without one and the other way
    // round, and the board then starts from what it holds.
    if (const Muse* muse = sound_->MuseUnit()) {
        Section(out, kTagMuse, [&](StateWriter& w) { muse->SaveState(w); });
    }
    Section(out, kTagEnd, [](StateWriter&) {});
    StateWriter(out).U32(snapshot::Crc32(out.data(), out.size()));
}

snapshot::LoadError Board::LoadSnapshot(const uint8_t* data, size_t size, uint32_t* version,
                                        double* speedOut) {
    uint32_t fileVersion = 0;
    std::map<uint32_t, Span> sections;
    const LoadError parsed = ParseSections(data, size, fileVersion, sections);
    if (version != nullptr) *version = fileVersion;
    if (parsed != LoadError::None) return parsed;
    if (!Built()) return LoadError::NotBuilt;

    // The hardware must be this machine's: the same fitted parts and the same pages of memory.
    StateReader machine(sections[kTagMachine].data, sections[kTagMachine].size);
    const int64_t ticks = machine.I64();
    const int64_t instructions = machine.I64();
    const double speed = std::bit_cast<double>(machine.U64());
    const bool multiplier = machine.Bool();
    const bool sdRom = machine.Bool();
    if (!machine.Complete() || ticks < 0 || instructions < 0 || !(speed >= speed::kSlowest) ||
        !(speed <= 1000.0)) {
        return LoadError::Damaged;
    }
    if (multiplier != (multiplier_ != nullptr) || sdRom != (sdRom_ != nullptr)) {
        return LoadError::OtherHardware;
    }
    if ((sdRom && sections.count(kTagSdRom) == 0) ||
        (multiplier && sections.count(kTagMultiplier) == 0)) {
        return LoadError::Damaged;
    }
    const Span& pages = sections[kTagMemory];
    if (pages.size < ChipMemory::kPageCount) return LoadError::Damaged;
    for (int p = 0; p < ChipMemory::kPageCount; ++p) {
        const uint8_t kind = memory_->PagePointer(p) == nullptr ? 0
                             : memory_->IsReadOnly(p)           ? 2
                                                                : 1;
        if (pages.data[p] != kind) return LoadError::OtherHardware;
    }

    // Each part checks the values it reads; one that refuses leaves the machine half loaded, so
    // the state from before is put back whole (it was saved by this machine, so it loads).
    std::vector<uint8_t> before;
    SaveSnapshot(before, speed);
    if (!ApplySnapshotSections(&sections, multiplier, sdRom)) {
        std::map<uint32_t, Span> previous;
        uint32_t ignored = 0;
        if (ParseSections(before.data(), before.size(), ignored, previous) == LoadError::None) {
            ApplySnapshotSections(&previous, multiplier_ != nullptr, sdRom_ != nullptr);
        }
        return LoadError::Damaged;
    }
    emulatedTicks_ = ticks;
    instructions_ = instructions;
    if (speedOut != nullptr) *speedOut = speed;
    return LoadError::None;
}

bool Board::ApplySnapshotSections(const void* parsed, bool multiplier, bool sdRom) {
    const auto& sections = *static_cast<const std::map<uint32_t, Span>*>(parsed);
    auto apply = [&](uint32_t tag, auto load) {
        const Span& span = sections.at(tag);
        StateReader reader(span.data, span.size);
        return load(reader) && reader.Complete();
    };
    return apply(kTagPaging, [&](StateReader& r) { return organizer_->LoadState(r); }) &&
           apply(kTagMemory, [&](StateReader& r) { return memory_->LoadState(r); }) &&
           apply(kTagScreen, [&](StateReader& r) { return screen_->LoadState(r); }) &&
           apply(kTagTimer, [&](StateReader& r) { return timer_->LoadState(r); }) &&
           apply(kTagSerial, [&](StateReader& r) { return serial_->LoadState(r); }) &&
           apply(kTagInterrupts, [&](StateReader& r) { return interrupts_->LoadState(r); }) &&
           apply(kTagSystemPio, [&](StateReader& r) { return systemPio_->LoadState(r); }) &&
           apply(kTagGpio, [&](StateReader& r) { return gpio_->LoadState(r); }) &&
           (!multiplier ||
            apply(kTagMultiplier, [&](StateReader& r) { return multiplier_->LoadState(r); })) &&
           apply(kTagTape, [&](StateReader& r) { return tape_->LoadState(r); }) &&
           (!sdRom || apply(kTagSdRom, [&](StateReader& r) { return sdRom_->LoadState(r); })) &&
           (sound_->MuseUnit() == nullptr || sections.count(kTagMuse) == 0 ||
            apply(kTagMuse, [&](StateReader& r) { return sound_->MuseUnit()->LoadState(r); })) &&
           apply(kTagCpu, [&](StateReader& r) { return cpu_->LoadState(r); });
}
