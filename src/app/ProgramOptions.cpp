#include "app/ProgramOptions.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <utility>

#include "cli/ToolOptions.h"
#include "emulator/SpeedControl.h"

namespace headless {

namespace {

constexpr uint64_t kLongest = INT64_MAX;

const char kDescription[] =
    "usage: tevrinemu [--config PATH] [--dump-mem ADDR:LEN:PATH] [FILE]\n"
    "       tevrinemu --headless [--config PATH] [options]\n"
    "       tevrinemu --dap [--config PATH]\n"
    "       tevrinemu --register-file-types | --unregister-file-types\n"
    "\n"
    "Without --headless the emulator opens its window (FILE: a tape or memory file to\n"
    "open; --dump-mem as below, written when the window closes). While a window of the\n"
    "same program on the same configuration runs, a new start hands FILE to it, brings it\n"
    "to the front and exits with 0.\n"
    "With --headless it builds the same machine from the configuration and runs it\n"
    "without a window, as the options below say.\n"
    "With --dap it is a debug adapter for an editor: the Debug Adapter Protocol on\n"
    "standard input and output, the program an assembly source the launch names.";

const char kFooter[] =
    "Addresses and other numbers: 1234, 0x1234, #1234 or 1234H.\n"
    "Exit status: 0 normal, 1 unusable configuration, a ROM file or --load-mem file that\n"
    "cannot be read, a --snapshot that was refused or an output that could not be\n"
    "written, 2 the machine stopped on a fault, 64 bad options.";

// What CLI11 fills that is not yet a ProgramLine field.
struct Texts {
    std::string speed;
    std::vector<std::pair<std::string, std::string>> typeAt;
    std::vector<std::string> dumps, loads;
    std::string config, file;
    bool headless = false, dap = false, registerTypes = false, unregisterTypes = false;
};

// What the window takes besides FILE; every other option is the headless runner's.
constexpr std::array<std::string_view, 5> kWindowOptions = {"--config", "--dump-mem", "--dump-vram",
                                                            "--record-inputs", "--help"};

CLI::Validator Checked(bool (*parse)(const std::string&), std::string what) {
    return CLI::Validator(
        [=](std::string& text) -> std::string {
            return parse(text) ? std::string() : "needs " + what + ", not " + text;
        },
        "", what);
}

void Declare(CLI::App& app, Options& o, Texts& t) {
    cli::Style(app, false);
    app.footer(kFooter);
    // An option given twice takes the last; the lists below take every one.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    const CLI::Validator ms = cli::Number(0, kLongest, "a number of milliseconds");
    app.add_option("FILE", t.file, "a tape or memory file for the window to open");
    app.add_flag("--register-file-types", t.registerTypes,
                 "make this program, at its current path, the current\n"
                 "user's handler of *.pta and *.tvs files on the desktop\n"
                 "(shared-mime-info package, desktop entry, icons, default\n"
                 "application), then exit");
    app.add_flag("--unregister-file-types", t.unregisterTypes,
                 "remove what --register-file-types wrote, then exit");
    app.add_option("--config", t.config,
                   "use another configuration file than TevrinEmu.xml\n"
                   "beside the program or, without one there,\n"
                   "$XDG_CONFIG_HOME/tevrinemu/ (made on the first start)")
        ->type_name("PATH")
        ->check(Checked([](const std::string& text) { return !text.empty(); },
                        "the path of a configuration file"));
    app.add_flag("--headless", t.headless, "run without a window (what the options below need)");
    app.add_flag("--dap", t.dap,
                 "serve the Debug Adapter Protocol on standard input and output\n"
                 "(an editor starts it; see README, \"Debugging your program\")");
    app.add_option("--run-ms", o.runMs,
                   "run N ms of emulated time, then exit (default: until\n"
                   "interrupted with SIGINT or SIGTERM)")
        ->type_name("N")
        ->transform(ms);
    app.add_option("--speed", t.speed,
                   "speed factor (default 1.0, paced like the window);\nmax runs unthrottled")
        ->type_name("X|max")
        ->check(Checked(
            [](const std::string& text) {
                double factor = 0;
                return text == "max" || (CLI::detail::lexical_cast(text, factor) &&
                                         factor >= speed::kSlowest && factor <= 1000.0);
            },
            "a factor from 0.25 to 1000, or max"));
    app.add_option("--type", o.typeText,
                   "type TEXT as on a US keyboard, each key held 40 ms and\n"
                   "released 40 ms of emulated time; a newline is Enter")
        ->type_name("TEXT");
    app.add_option("--type-after", o.typeAfterMs,
                   "start typing after MS of emulated time (default 1000)")
        ->type_name("MS")
        ->transform(ms);
    app.add_option("--type-at", t.typeAt,
                   "type TEXT from MS of emulated time; may be given several\n"
                   "times. The texts are typed one after the other, as one\n"
                   "person types: a text due while another is being typed\n"
                   "follows it")
        ->type_name("MS TEXT")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app.add_option("--tape", o.tapePath,
                   "insert a tape (its first data record current) and press\n"
                   "Play when the first text starts being typed (at 1000 ms\n"
                   "when nothing is typed); a recording of a cassette\n"
                   "(.wav, .flac, .aiff, .ogg ...) plays the records found on it")
        ->type_name("PATH");
    app.add_flag("--tape-fast", o.tapeFast, "play the tape with fast loading");
    app.add_option("--record", o.recordPath,
                   "what the machine saves to tape goes into PATH (created\n"
                   "when missing, appended when it exists)")
        ->type_name("PATH");
    app.add_option("--screenshot", o.screenshotPath,
                   "at exit, write the picture as a BMP (8 bits, 16 colours),\n"
                   "or as a PNG when PATH ends in .png")
        ->type_name("PATH");
    app.add_option("--dump-vram", o.vramPath,
                   "at exit, write the three video planes (24,576 bytes:\nred, green, blue)")
        ->type_name("PATH");
    app.add_option("--record-video", o.recordVideoPath,
                   "record the run as a video: the picture at 50 frames a\n"
                   "second of emulated time, 512 x 512, with the sound; .mkv\n"
                   "(FFV1, FLAC), .mp4 (H.264, AAC) or .webm (VP9, Opus)")
        ->type_name("PATH");
    app.add_option("--record-audio", o.recordAudioPath,
                   "record the run's sound (speaker, tape, Muse) as .wav or\n"
                   ".flac, 44,000 frames a second of emulated time")
        ->type_name("PATH");
    app.add_option("--dump-mem", t.dumps,
                   "at exit, write LEN bytes of the processor's address space\n"
                   "from ADDR through the current mapping; unmapped bytes\n"
                   "read FF; may be given several times")
        ->type_name("ADDR:LEN:PATH")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->check(Checked(
            [](const std::string& text) {
                MemoryDump dump;
                return ParseMemoryDump(text, dump);
            },
            "ADDR:LEN:PATH with LEN from 1 to 65536"));
    app.add_option("--load-mem", t.loads,
                   "load the file into the address space from ADDR (as far\n"
                   "as 0xFFFF; ROM and unmapped bytes are passed by) once\n"
                   "the machine has started, and with RUN start it there;\n"
                   "may be given several times")
        ->type_name("PATH:ADDR[:RUN]")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->check(Checked(
            [](const std::string& text) {
                MemoryLoad load;
                return ParseMemoryLoad(text, load);
            },
            "PATH:ADDR or PATH:ADDR:RUN with addresses up to 0xFFFF"));
    app.add_option("--snapshot", o.snapshotPath,
                   "start from this snapshot (.tvs); the times of --run-ms,\n"
                   "--type-at, --load-at and --trace-from-ms count from it")
        ->type_name("PATH");
    app.add_option("--save-snapshot", o.saveSnapshotPath,
                   "save the whole machine there at exit (.tvs)")
        ->type_name("PATH");
    app.add_option("--record-inputs", o.recordInputsPath,
                   "take down an input movie (.tvm) of the run: its first moment and\n"
                   "every input from outside after it (--type, --load-mem, the tape),\n"
                   "written at exit")
        ->type_name("PATH");
    app.add_option("--play-inputs", o.playInputsPath,
                   "run an input movie (.tvm) again, tick for tick, from its first\n"
                   "moment; the times of --run-ms count from it, and without\n"
                   "--run-ms the run ends where the movie does")
        ->type_name("PATH");
    app.add_option("--load-at", o.loadAtMs,
                   "when --load-mem loads (default 1000 ms of emulated time)")
        ->type_name("MS")
        ->transform(ms);
    app.add_option("--break", o.breaks,
                   "stop before the processor executes ADDR, print\n"
                   "\"break PPPP\" and the registers, write the dumps and\n"
                   "screenshot of that moment and exit 0; may be given\n"
                   "several times")
        ->type_name("ADDR")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->transform(cli::Address());
    app.add_option("--trace", o.tracePath,
                   "write one line per executed instruction to PATH: address,\n"
                   "bytes and 8080 mnemonic, then A= F= BC= DE= HL= SP= (before\n"
                   "the instruction) and T= (ticks since the start);\n"
                   "interrupts show as the restart they execute")
        ->type_name("PATH")
        ->check(Checked([](const std::string& text) { return !text.empty(); }, "a file name"));
    app.add_option("--step-back", o.stepBack,
                   "with --break: at the break, go back N instructions (as\n"
                   "--trace counts them) and print that moment's trace line;\n"
                   "the dumps show that moment")
        ->type_name("N")
        ->transform(cli::Number(1, kLongest, "a number of instructions, at least 1"));
    app.add_option("--rewind-ms", o.rewindMs,
                   "at exit, go back MS of emulated time (as far as the\n"
                   "history reaches: the configured depth, 60 s by default)\n"
                   "before the dumps are written")
        ->type_name("MS")
        ->transform(ms);
    app.add_option("--trace-from-ms", o.traceFromMs,
                   "start the trace at MS of emulated time (default 0)")
        ->type_name("MS")
        ->transform(ms);
    app.add_option("--trace-limit", o.traceLimit, "at most N trace lines (default 1000000)")
        ->type_name("N")
        ->transform(cli::Number(1, kLongest, "a number of lines, at least 1"));
    app.add_flag("--stats", o.stats,
                 "at exit, print ticks=... instructions=... wall_s=...\n"
                 "emulated_mhz=... host_usage=...%, and with a sound\n"
                 "device sound_produced= sound_played= sound_primed=\n"
                 "sound_held= (frames) and sound_skipped= (periods)");
}

}  // namespace

bool ParseMemoryDump(const std::string& text, MemoryDump& dump) {
    size_t first = text.find(':');
    size_t second = first == std::string::npos ? first : text.find(':', first + 1);
    if (second == std::string::npos) return false;
    const std::optional<uint64_t> address = cli::ReadNumber(text.substr(0, first));
    const std::optional<uint64_t> length =
        cli::ReadNumber(text.substr(first + 1, second - first - 1));
    if (!address || !length || *address > 0xFFFF || *length < 1 || *length > 0x10000) {
        return false;
    }
    dump.address = static_cast<uint16_t>(*address);
    dump.length = static_cast<int>(*length);
    dump.path = text.substr(second + 1);
    return !dump.path.empty();
}

bool ParseMemoryLoad(const std::string& text, MemoryLoad& load) {
    const size_t last = text.rfind(':');
    if (last == std::string::npos || last == 0) return false;
    const size_t before = text.rfind(':', last - 1);
    if (before != std::string::npos && before > 0) {
        const std::optional<uint64_t> address =
            cli::ReadNumber(text.substr(before + 1, last - before - 1));
        const std::optional<uint64_t> run = cli::ReadNumber(text.substr(last + 1));
        if (address && run) {
            if (*address > 0xFFFF || *run > 0xFFFF) return false;
            load.path = text.substr(0, before);
            load.address = static_cast<uint16_t>(*address);
            load.run = true;
            load.runAddress = static_cast<uint16_t>(*run);
            return true;
        }
    }
    const std::optional<uint64_t> address = cli::ReadNumber(text.substr(last + 1));
    if (!address || *address > 0xFFFF) return false;
    load.path = text.substr(0, last);
    load.address = static_cast<uint16_t>(*address);
    load.run = false;
    return true;
}

std::optional<int> ReadProgramLine(const std::vector<std::string>& args, ProgramLine& line,
                                   std::ostream& out, std::ostream& err, bool foreignOptions) {
    CLI::App app(kDescription, "tevrinemu");
    Texts t;
    Options& options = line.options;
    Declare(app, options, t);
    app.allow_extras(foreignOptions);
    const auto refuse = [&](const std::string& why) {
        err << "tevrinemu: " << why << "\n" << app.help();
        return std::optional<int>(kExitUsage);
    };
    if (std::optional<int> ended = cli::Parse(app, args, out, err, kExitUsage)) return ended;
    if (t.registerTypes && t.unregisterTypes) {
        return refuse("--register-file-types and --unregister-file-types undo each other");
    }
    if (t.dap && (t.headless || t.registerTypes || t.unregisterTypes)) {
        return refuse("--dap runs alone (with --config at most)");
    }
    line.mode = t.registerTypes     ? Mode::RegisterFileTypes
                : t.unregisterTypes ? Mode::UnregisterFileTypes
                : t.dap             ? Mode::Dap
                : t.headless        ? Mode::Headless
                                    : Mode::Window;
    if (line.mode != Mode::Window && !app.remaining().empty()) {
        return refuse("The following argument was not expected: " + app.remaining().front());
    }
    line.config =
        t.config.empty() ? config::DefaultConfigPlace() : config::GivenConfigPlace(t.config);
    if (line.mode == Mode::Dap && !t.file.empty()) {
        return refuse("--dap takes no FILE: the launch request names the program");
    }
    if (line.mode == Mode::Window || line.mode == Mode::Dap) {
        // A headless option in a window start would otherwise be dropped without a word.
        for (const CLI::Option* option : app.get_options()) {
            const std::string name = option->get_name();
            if (option->count() == 0 || option->get_positional()) continue;
            if (line.mode == Mode::Dap) {
                if (name == "--dap" || name == "--config") continue;
                return refuse(name +
                              " does not go with --dap: the launch request says what to run");
            }
            if (std::find(kWindowOptions.begin(), kWindowOptions.end(), name) !=
                kWindowOptions.end()) {
                continue;
            }
            return refuse(name + " is an option of --headless runs");
        }
    } else if (!t.file.empty()) {
        return refuse("FILE is opened by the window; a headless run takes --tape or --load-mem");
    }
    if (!t.file.empty()) {
        std::error_code ec;
        const std::filesystem::path absolute = std::filesystem::absolute(t.file, ec);
        line.file = ec ? t.file : absolute.lexically_normal().string();
    }
    options.runForMs = app.count("--run-ms") != 0;
    if (t.speed == "max") {
        options.maxSpeed = true;
    } else if (!t.speed.empty()) {
        CLI::detail::lexical_cast(t.speed, options.speed);
        options.speedGiven = true;
    }
    for (const auto& [at, text] : t.typeAt) {
        const std::optional<uint64_t> ms = cli::ReadNumber(at);
        if (!ms || *ms > kLongest) {
            return refuse("--type-at needs a number of milliseconds and a text, not " + at);
        }
        options.typeAt.push_back({static_cast<int64_t>(*ms), text});
    }
    for (const std::string& text : t.dumps) {
        ParseMemoryDump(text, options.memoryDumps.emplace_back());
    }
    for (const std::string& text : t.loads) {
        ParseMemoryLoad(text, options.memoryLoads.emplace_back());
    }
    if (!options.playInputsPath.empty()) {
        // The movie holds the run's inputs and its first moment: others would take it elsewhere.
        for (const char* other : {"--snapshot", "--type", "--type-at", "--load-mem", "--tape"}) {
            if (app.count(other) != 0) {
                return refuse(std::string("--play-inputs and ") + other +
                              " exclude each other: the movie holds the run's inputs");
            }
        }
    }
    if (options.stepBack > 0 && options.breaks.empty()) {
        return refuse("--step-back needs --break: it goes back from the break");
    }
    if (!options.tapePath.empty() && !options.recordPath.empty() &&
        std::filesystem::absolute(options.tapePath).lexically_normal() !=
            std::filesystem::absolute(options.recordPath).lexically_normal()) {
        return refuse(
            "--tape and --record name different files: a recording goes onto the tape inserted");
    }
    return std::nullopt;
}

std::string HelpText() {
    CLI::App app(kDescription, "tevrinemu");
    Options options;
    Texts t;
    Declare(app, options, t);
    return app.help();
}

}  // namespace headless
