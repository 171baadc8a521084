#include "app/HeadlessRunner.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <thread>

#include "debugger/InstructionTrace.h"
#include "emulator/InputMovie.h"
#include "emulator/Machine.h"
#include "emulator/SpeedControl.h"
#include "emulator/StartUp.h"
#include "frontend/ConfigOpening.h"
#include "frontend/FaultMessage.h"
#include "frontend/HostKeyboard.h"
#include "frontend/HostTyping.h"
#include "frontend/MachineChoices.h"
#include "frontend/RomMessage.h"
#include "frontend/ScreenPresenter.h"
#include "frontend/SessionRecording.h"
#include "host/config/ConfigDocument.h"
#include "host/config/Settings.h"
#include "host/files/AtomicFile.h"
#include "media/memory/MemoryTransfer.h"
#include "media/pictures/PngFile.h"
#include "media/pictures/VideoDump.h"
#include "media/tape/TapeDeck.h"
#include "media/tape/TapeImage.h"
#include "media/tape/TapeRecording.h"

namespace headless {
namespace {

std::atomic<bool> interrupted{false};

void OnSignal(int) {
    interrupted = true;
}

// Runs the period hook's work: typing and the timed stop, in emulated time.
struct PeriodWork {
    Machine* machine = nullptr;
    // --type and every --type-at, in the order of their times: one person at the keyboard.
    HostTypist typist;
    HostKeyboard keyboard;
    bool typing = false;
    TapeDeck* deck = nullptr;  // with a tape to play: Play is pressed at playAtMs
    int64_t playAtMs = -1;
    int64_t stopAtTicks = -1;
    bool endWithMovie = false;  // --play-inputs without --run-ms
    std::atomic<bool> finished{false};
    // The files of --load-mem, read before the run, stored at loadAtMs.
    struct Load {
        const MemoryLoad* option;
        std::vector<uint8_t> data;
    };
    std::vector<Load> loads;
    int64_t loadAtMs = -1;
    // Emulated ticks when the run began: a run from a snapshot counts its times from there.
    int64_t baseTicks = 0;

    void LoadFiles() {
        ChipMemory* memory = machine->MemoryInPeriodHook();
        if (memory == nullptr) return;
        for (const Load& load : loads) {
            media::MemoryArea area;
            area.start = load.option->address;
            area.length = static_cast<int>(load.data.size());
            media::StoreInMemory(*memory, area, load.data);
            if (load.option->run) machine->StartProgramAt(load.option->runAddress);
        }
        // A change from outside: the history holds it at this moment, so going back to it
        // finds the loaded bytes and the program's start.
        machine->NoteChangeInPeriodHook();
    }

    void OnPeriod() {
        int64_t ticks = machine->EmulatedTicks() - baseTicks;
        const int64_t ms = ticks / (speed::kTicksPerPeriod / speed::kPeriodMs);
        if (loadAtMs >= 0 && ms >= loadAtMs) {
            loadAtMs = -1;
            LoadFiles();
        }
        if (typing) {
            typist.Update(ms, keyboard.Keys());
            keyboard.ScanInto(*machine);
        }
        if (deck != nullptr && playAtMs >= 0 && ms >= playAtMs) {
            playAtMs = -1;
            deck->Play();
        }
        if (((stopAtTicks >= 0 && ticks >= stopAtTicks) ||
             (endWithMovie && !machine->PlayingInputs())) &&
            !finished) {
            finished = true;
            machine->StopTimer();
        }
    }
};

// --trace: a line before every instruction the processor executes. Runs on the emulation
// thread; the text is read after the machine has been paused.
struct HeadlessTrace {
    Machine* machine = nullptr;
    int64_t fromTicks = 0;
    int64_t limit = 0;
    int64_t lines = 0;
    std::string text;

    void OnInstruction() {
        debugger::DebuggerCore& core = machine->Debugger();
        const ChipCpu8080* cpu = core.Cpu();
        const int64_t ticks = machine->EmulatedTicks() + cpu->PeriodTicks;
        if (ticks < fromTicks) return;
        std::string line = debugger::FormatTraceLine(*cpu, *core.Memory(), ticks);
        if (line.empty()) return;
        text += line;
        text += '\n';
        // Enough: the run loop goes back to whole periods.
        if (++lines >= limit) core.BeforeInstruction = {};
    }
};

// The tape options: the tape inserted (or the file recordings go to) and what the window's
// refresh would do with the deck's hand-overs.
struct HeadlessTape {
    TapeDeck& deck;
    const Options& options;
    std::ostream& err;

    // True when a tape is in to play.
    bool Insert() {
        deck.SetFast(options.tapeFast);
        if (!options.tapePath.empty() && tape::IsRecordingPath(options.tapePath)) {
            // A recording of a cassette plays the records the decoder finds on it.
            deck.OpenTapeFile(options.tapePath);
            if (deck.CurrentIndex() >= 0) return true;
            err << "tevrinemu: no record found on " << options.tapePath
                << "; running with no tape\n";
            deck.NewTape();
        } else if (!options.tapePath.empty()) {
            const tape::ReadResult read = tape::ReadTape(options.tapePath);
            const bool hasData =
                std::any_of(read.records.begin(), read.records.end(),
                            [](const tagTapeRecord& r) { return r.recordType == tape::kTypeData; });
            if (read.records.empty() && read.failed) {
                err << "tevrinemu: cannot read the tape " << options.tapePath
                    << "; running with no tape\n";
            } else if (!hasData) {
                err << "tevrinemu: the tape " << options.tapePath
                    << " holds no data record; running with no tape\n";
            } else {
                deck.OpenTapeFile(options.tapePath);
                return deck.CurrentIndex() >= 0;
            }
        }
        if (!options.recordPath.empty()) deck.OpenTapeFile(options.recordPath);
        return false;
    }

    void OnHandOver(int event) {
        switch (event) {
            case IfTape::kEventSerialReset: deck.Stop(); break;
            case IfTape::kEventFirstBlock:
                if (deck.NeedsTapeFile()) {
                    if (options.recordPath.empty()) {
                        deck.Stop();
                    } else {
                        deck.SetNewTapePath(deck.TapePath());
                    }
                }
                break;
            case IfTape::kEventRecordingDone:
                if (deck.TapePath().empty()) break;
                if (const TapeMessage failed = deck.AppendRecording()) {
                    err << "tevrinemu: cannot write the recording to " << deck.TapePath() << "\n";
                }
                break;
            default: break;
        }
    }
};

// Files written on the host after the moment gone back to stay written.
void ReportPassedNotes(const MachineHistory::Restored& restored, std::ostream& err) {
    for (const MachineHistory::Note& note : restored.passed) {
        err << "tevrinemu: written on the host after that moment and still there: "
            << (note.what == "tape" ? "a tape recording" : "the SD-ROM card")
            << (note.path.empty() ? "" : " (" + note.path + ")") << "\n";
    }
}

}  // namespace

bool WriteMemoryDump(const ChipMemory& memory, const MemoryDump& dump, std::ostream& err) {
    std::string bytes;
    bytes.reserve(static_cast<size_t>(dump.length));
    for (int i = 0; i < dump.length; ++i) {
        bytes.push_back(static_cast<char>(memory.Peek(static_cast<uint16_t>(dump.address + i))));
    }
    std::string error;
    if (!files::WriteFileAtomically(dump.path, bytes, &error)) {
        err << "tevrinemu: cannot write " << dump.path << ": " << error << "\n";
        return false;
    }
    return true;
}

int Run(const config::ConfigPlace& place, const Options& options, std::ostream& out,
        std::ostream& err, SoundDriver::StreamOpener soundOpener) {
    config::ConfigDocument document;
    const ConfigOpening opening = OpenConfiguration(place, document);
    if (!opening.usable) {
        err << opening.title << ": " << opening.text << "\n" << opening.detail << "\n";
        return kExitConfig;
    }
    config::Settings settings(document);

    std::vector<PeriodWork::Load> loads;
    for (const MemoryLoad& load : options.memoryLoads) {
        PeriodWork::Load read{&load, {}};
        if (!media::ReadFileStart(load.path, 0x10000 - static_cast<size_t>(load.address),
                                  read.data)) {
            err << "tevrinemu: nothing could be read from " << load.path << "\n";
            return kExitConfig;
        }
        loads.push_back(std::move(read));
    }

    movie::Movie played;
    if (!options.playInputsPath.empty()) {
        uint32_t version = 0;
        const snapshot::LoadError error = movie::LoadFile(options.playInputsPath, played, &version);
        if (error != snapshot::LoadError::None) {
            err << "tevrinemu: " << options.playInputsPath << ": "
                << movie::DescribeError(error, version) << "\n";
            return kExitConfig;
        }
    }

    ShuttingDown = false;
    interrupted = false;
    auto machine = std::make_unique<Machine>(settings, std::move(soundOpener));
    frontend::KeepMachineChoices(*machine, settings);
    // Only for the screenshot: the picture at 100 %, in the configured profile.
    ScreenPresenter presenter;
    machine->SetSpeedFactor(options.speed);
    machine->SetThrottled(!options.maxSpeed);

    PeriodWork work;
    work.machine = machine.get();
    std::vector<Options::TypeAt> texts;
    if (!options.typeText.empty()) texts.push_back({options.typeAfterMs, options.typeText});
    texts.insert(texts.end(), options.typeAt.begin(), options.typeAt.end());
    std::stable_sort(
        texts.begin(), texts.end(),
        [](const Options::TypeAt& a, const Options::TypeAt& b) { return a.ms < b.ms; });
    const int64_t firstTypingMs = texts.empty() ? -1 : texts.front().ms;
    for (const Options::TypeAt& typed : texts) work.typist.Add(typed.text, typed.ms);
    work.typing = !texts.empty();
    if (options.runForMs)
        work.stopAtTicks = options.runMs * (speed::kTicksPerPeriod / speed::kPeriodMs);
    work.loads = std::move(loads);
    if (!work.loads.empty()) work.loadAtMs = options.loadAtMs;
    work.endWithMovie = !options.playInputsPath.empty() && !options.runForMs;
    machine->SetPeriodHook(Closure<void()>::Bind<&PeriodWork::OnPeriod>(&work));
    for (uint16_t address : options.breaks) machine->Debugger().AddExtraBreakpoint(address);
    HeadlessTrace trace;
    trace.machine = machine.get();
    trace.fromTicks = options.traceFromMs * (speed::kTicksPerPeriod / speed::kPeriodMs);
    trace.limit = options.traceLimit;
    if (!options.tracePath.empty()) {
        machine->Debugger().BeforeInstruction =
            Closure<void()>::Bind<&HeadlessTrace::OnInstruction>(&trace);
    }
    auto broke = [&] {
        return machine->Debugger().DebuggerState.load() == debugger::kBreakRequested;
    };

    void (*previousInt)(int) = SIG_DFL;
    void (*previousTerm)(int) = SIG_DFL;
    std::chrono::steady_clock::time_point start;
    StartUpHooks hooks;
    hooks.applied = [&](config::GroupSet groups) {
        presenter.ApplySettings(settings, groups);
        work.keyboard.ApplySettings(settings, groups);
    };
    snapshot::LoadError snapshotError = snapshot::LoadError::None;
    uint32_t snapshotVersion = 0;
    // Unpaced, the machine waits for the encoder: nobody watches, and every picture counts.
    auto recording = std::make_unique<SessionRecording>(*machine, options.maxSpeed);
    std::string recordError;
    auto startRecordings = [&] {
        const std::pair<SessionRecording::Kind, const std::string*> wanted[] = {
            {SessionRecording::Kind::Video, &options.recordVideoPath},
            {SessionRecording::Kind::Sound, &options.recordAudioPath}};
        for (const auto& [kind, path] : wanted) {
            std::string why;
            if (path->empty() || !recordError.empty()) continue;
            if (!recording->Start(kind, *path, &why)) {
                recordError = "cannot record to " + *path + ": " + why;
                work.finished = true;
            }
        }
    };
    hooks.beforeRun = [&] {
        if (!options.snapshotPath.empty()) {
            snapshotError = machine->LoadSnapshotFile(options.snapshotPath, &snapshotVersion);
            if (snapshotError != snapshot::LoadError::None) work.finished = true;
            if (options.speedGiven) machine->SetSpeedFactor(options.speed);
            work.baseTicks = machine->EmulatedTicks();
            trace.fromTicks += work.baseTicks;
        }
        recording->SetColourProfile(presenter.ColourProfile());
        startRecordings();
        if (!options.playInputsPath.empty()) {
            snapshotError = machine->StartPlayingInputs(std::move(played));
            if (snapshotError != snapshot::LoadError::None) work.finished = true;
            work.baseTicks = machine->EmulatedTicks();
            trace.fromTicks += work.baseTicks;
        }
        if (!options.recordInputsPath.empty()) machine->StartRecordingInputs();
        previousInt = std::signal(SIGINT, OnSignal);
        previousTerm = std::signal(SIGTERM, OnSignal);
        start = std::chrono::steady_clock::now();
    };
    // The deck runs on the emulation thread here (at maximum speed that is this thread): what
    // the window hands over to its refresh is done at once.
    TapeDeck deck;
    HeadlessTape tape{deck, options, err};
    deck.SetHandOver(TapeDeck::HandOver::Bind<&HeadlessTape::OnHandOver>(&tape));
    deck.AttachTape(&machine->Tape());
    deck.SetCommands(TapeDeck::Commands::Bind<&Machine::CommandTape>(machine.get()));
    if (tape.Insert()) {
        work.deck = &deck;
        work.playAtMs = firstTypingMs >= 0 ? firstTypingMs : 1000;
    }
    bool started = StartUp(*machine, hooks);
    const RomMessage romMessage = MainRomMessage(*machine);
    if (!romMessage.text.empty()) err << "tevrinemu: " << romMessage.text << "\n";
    if (snapshotError != snapshot::LoadError::None) {
        machine->SetPaused(true);
        if (options.playInputsPath.empty()) {
            err << "tevrinemu: " << options.snapshotPath << ": "
                << snapshot::DescribeLoadError(snapshotError, snapshotVersion) << "\n";
        } else {
            err << "tevrinemu: " << options.playInputsPath << ": "
                << movie::DescribeError(snapshotError, movie::kFormatVersion) << "\n";
        }
        started = false;
    }
    if (!recordError.empty()) {
        machine->SetPaused(true);
        err << "tevrinemu: " << recordError << "\n";
        started = false;
    }
    if (!started) {
        recording.reset();
        deck.AttachTape(nullptr);
        ShuttingDown = true;
        machine.reset();
        ShuttingDown = false;
        return kExitConfig;
    }
    Machine::Fault fault;
    if (options.maxSpeed) {
        while (!work.finished && !interrupted && !broke()) {
            machine->CpuTimerEvent();
            if (machine->FaultPending()) break;
        }
        fault = machine->TakeFault();
    } else {
        while (!work.finished && !interrupted && !broke()) {
            // The run's end is exact in emulated time (the period hook stops the timer), and a
            // fault stops it too: both wake this wait at once. Only a signal or a breakpoint
            // waits for the timeout, so the thread sleeps instead of polling 50 times a second.
            machine->WaitTimerStopped(100);
            fault = machine->TakeFault();
            if (fault.kind != Machine::Fault::Kind::None) break;
        }
    }
    machine->SetPaused(true);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::signal(SIGINT, previousInt);
    std::signal(SIGTERM, previousTerm);

    int status = kExitOk;
    for (SessionRecording::Kind kind :
         {SessionRecording::Kind::Video, SessionRecording::Kind::Sound}) {
        const std::string path = recording->Path(kind);
        std::string why;
        if (!path.empty() && !recording->Stop(kind, &why)) {
            err << "tevrinemu: cannot write " << path << ": " << why << "\n";
            status = kExitConfig;
        }
    }
    if (const int64_t dropped = recording->TakeDroppedPictures(); dropped > 0) {
        err << "tevrinemu: the video encoder fell behind: " << dropped
            << " pictures dropped (the one before stands for each)\n";
    }
    // The movie ends where the run did, before any going back.
    if (machine->RecordingInputs()) {
        std::string movieError;
        if (!movie::SaveFile(options.recordInputsPath, machine->StopRecordingInputs(),
                             &movieError)) {
            err << "tevrinemu: cannot write " << options.recordInputsPath << ": " << movieError
                << "\n";
            status = kExitConfig;
        }
    }
    if (const Machine::PlaybackEnd end = machine->TakePlaybackEnd();
        end.error != snapshot::LoadError::None) {
        err << "tevrinemu: " << options.playInputsPath << ": the playback stopped early: "
            << movie::DescribeError(end.error, movie::kFormatVersion) << "\n";
        status = kExitConfig;
    } else if (machine->PlayingInputs() && options.runForMs) {
        err << "tevrinemu: the run ended before the input movie did\n";
    }
    if (work.loadAtMs >= 0) {
        err << "tevrinemu: the run ended before " << work.loadAtMs
            << " ms: --load-mem loaded nothing\n";
    }
    if (fault.kind != Machine::Fault::Kind::None) {
        // No question: nobody is there to answer it; the exit status tells the rest.
        err << "tevrinemu: " << FaultDescription(fault) << " (exit status " << kExitFault << ")\n";
        status = kExitFault;
    }
    if (broke()) {
        const ChipCpu8080& cpu = *machine->Debugger().Cpu();
        char line[16];
        std::snprintf(line, sizeof line, "break %04X\n", cpu.PC);
        out << line << debugger::FormatRegisterLine(cpu, machine->EmulatedTicks() + cpu.PeriodTicks)
            << "\n";
    }
    if (broke() && options.stepBack > 0 && status == kExitOk) {
        // Back over the instructions a trace shows: a halted processor's idle steps are none.
        const auto traced = [](const ChipCpu8080& cpu, const ChipMemory&) {
            return !cpu.ResetPending && (!cpu.Halted || cpu.IntAck);
        };
        const MachineHistory::Restored back =
            machine->History().StepBackWhere(options.stepBack, traced, false);
        if (back.outcome == MachineHistory::Outcome::Done) {
            const ChipCpu8080& cpu = *machine->Debugger().Cpu();
            out << debugger::FormatTraceLine(cpu, *machine->MemoryView(),
                                             machine->EmulatedTicks() + cpu.PeriodTicks)
                << "\n";
            ReportPassedNotes(back, err);
        } else {
            err << "tevrinemu: cannot step back " << options.stepBack << " instructions: "
                << (back.outcome == MachineHistory::Outcome::Failed
                        ? "the replay did not come out as recorded"
                        : "the history does not reach so far")
                << "\n";
            status = kExitConfig;
        }
    }
    if (options.rewindMs >= 0 && status != kExitFault) {
        MachineHistory& history = machine->History();
        const int64_t wanted = options.rewindMs * (speed::kTicksPerPeriod / speed::kPeriodMs);
        const int64_t from = history.Ticks();
        const MachineHistory::Restored back = history.RewindTicks(wanted);
        if (back.outcome != MachineHistory::Outcome::Done) {
            err << "tevrinemu: cannot rewind: "
                << (back.outcome == MachineHistory::Outcome::Failed
                        ? "the replay did not come out as recorded"
                        : "no history kept")
                << "\n";
            status = kExitConfig;
        } else {
            if (from - history.Ticks() < wanted) {
                err << "tevrinemu: the history reaches only "
                    << (from - history.Ticks()) / (speed::kTicksPerPeriod / speed::kPeriodMs)
                    << " ms back\n";
            }
            ReportPassedNotes(back, err);
        }
    }
    std::string writeError;
    if (!options.tracePath.empty() &&
        !files::WriteFileAtomically(options.tracePath, trace.text, &writeError)) {
        err << "tevrinemu: cannot write " << options.tracePath << ": " << writeError << "\n";
        if (status == kExitOk) status = kExitConfig;
    }
    if (!options.screenshotPath.empty() &&
        !media::SavePicture(presenter.Picture(*machine), options.screenshotPath, &writeError)) {
        err << "tevrinemu: cannot write " << options.screenshotPath << ": " << writeError << "\n";
        if (status == kExitOk) status = kExitConfig;
    }
    if (!options.saveSnapshotPath.empty() &&
        !machine->SaveSnapshotFile(options.saveSnapshotPath, &writeError)) {
        err << "tevrinemu: cannot write " << options.saveSnapshotPath << ": " << writeError << "\n";
        if (status == kExitOk) status = kExitConfig;
    }
    const ChipMemory& memory = *machine->MemoryView();
    if (!options.vramPath.empty() &&
        !media::SaveVideoPlanes(memory, options.vramPath, &writeError)) {
        err << "tevrinemu: cannot write " << options.vramPath << ": " << writeError << "\n";
        if (status == kExitOk) status = kExitConfig;
    }
    for (const MemoryDump& dump : options.memoryDumps) {
        if (!WriteMemoryDump(memory, dump, err) && status == kExitOk) status = kExitConfig;
    }
    if (options.stats) {
        char line[256];
        int64_t ticks = machine->EmulatedTicks();
        double usage =
            wall > 0 ? 100.0 * static_cast<double>(machine->HostBusyMicrosTotal()) / 1e6 / wall
                     : 0.0;
        std::snprintf(
            line, sizeof line,
            "ticks=%lld instructions=%lld wall_s=%.3f emulated_mhz=%.2f host_usage=%.1f%%\n",
            static_cast<long long>(ticks), static_cast<long long>(machine->ExecutedInstructions()),
            wall, wall > 0 ? static_cast<double>(ticks) / wall / 1e6 : 0.0, usage);
        out << line;
        const SoundDriver::Statistics sound = machine->SoundStatistics();
        if (sound.framesPlayed > 0) {
            // Emulated against played time, in frames. The device hears what was produced, the
            // silence of priming and, when it ran ahead of the emulation, the held frame.
            std::snprintf(line, sizeof line,
                          "sound_produced=%lld sound_played=%lld sound_primed=%lld "
                          "sound_held=%lld sound_skipped=%lld\n",
                          static_cast<long long>(sound.framesProduced),
                          static_cast<long long>(sound.framesPlayed),
                          static_cast<long long>(sound.framesPrimed),
                          static_cast<long long>(sound.framesHeld),
                          static_cast<long long>(sound.periodsSkipped));
            out << line;
        }
    }
    recording.reset();
    deck.AttachTape(nullptr);
    ShuttingDown = true;
    machine.reset();
    ShuttingDown = false;
    // The machine's software changes what the configuration keeps (the SD-ROM module's folder);
    // the document would save that when it closes, but without a word when the file cannot
    // take it.
    if (!document.SaveIfModified(&writeError)) {
        err << "tevrinemu: cannot write the settings to " << document.Path() << ": " << writeError
            << "\n";
        if (status == kExitOk) status = kExitConfig;
    }
    return status;
}

}  // namespace headless
