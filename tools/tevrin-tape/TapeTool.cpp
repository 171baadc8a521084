#include "TapeTool.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <optional>

#include "cli/ToolOptions.h"
#include "host/files/AtomicFile.h"
#include "host/lang/Language.h"
#include "media/basic/BasicListing.h"
#include "media/tape/TapeEdit.h"
#include "media/tape/TapeImage.h"
#include "media/tape/TapeRecording.h"
#include "media/tape/TapeSignal.h"
#include "media/tape/TapeSource.h"

namespace tapetool {
namespace {

constexpr std::size_t kMaxTextBytes = 16u << 20;
constexpr const char* kSection = "FormTapeBrowser";

const char kFooter[] =
    "`tevrin-tape COMMAND --help` names a command's arguments.\n"
    "Exit status: 0 done, 1 a BASIC import wrote a log (the tape is written all the same),\n"
    "extract wrote a block with no good copy, or from-audio found no record (nothing is written\n"
    "then), 2 bad arguments or a file that cannot be read or written (nothing is written then;\n"
    "list shows what it could read of a damaged tape and then fails).";

struct Failure {
    std::string message;
};

// 1..2 hex digits with an optional 0x: the way the tape browser shows a record's number and type.
std::optional<int> ParseHex(std::string text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.erase(0, 2);
    if (text.empty() || text.size() > 2) return std::nullopt;
    return cli::ReadNumber("0x" + text);
}

std::string MessageText(const TapeMessage& message) {
    std::string text = message.messageKey;
    for (const std::string& value : message.inserted) text += " " + value;
    if (message.inserted.empty()) return text;
    if (message.messageKey == "err.OpenTape.Message") return "cannot read " + message.inserted[0];
    if (message.messageKey == "err.CreateFile.Message") {
        return "cannot write " + message.inserted[0];
    }
    if (message.messageKey == "err.AddFile.Message") {
        return message.inserted[0] + " is larger than a record holds (" + message.inserted[1] +
               " bytes)";
    }
    return text;
}

// The records of an existing tape. A tape that cannot be read to its end is refused: writing
// back what could be read would lose the rest.
TapeRecordList ReadWholeTape(const std::string& path, bool mayBeMissing) {
    std::error_code ec;
    if (mayBeMissing && !std::filesystem::exists(path, ec)) return {};
    if (!std::filesystem::is_regular_file(path, ec)) throw Failure{"cannot read " + path};
    tape::ReadResult read = tape::ReadTape(path);
    if (read.failed) throw Failure{path + " is not a readable tape image"};
    return std::move(read.records);
}

const tagTapeRecord& RecordAt(const TapeRecordList& records, int index, const std::string& path) {
    if (index < 1 || index > static_cast<int>(records.size())) {
        throw Failure{path + " has no record " + std::to_string(index)};
    }
    return *std::next(records.begin(), index - 1);
}

void Write(const std::string& path, std::string_view bytes) {
    std::string error;
    if (!files::WriteFileAtomically(path, bytes, &error)) {
        throw Failure{"cannot write " + path + ": " + error};
    }
}

void WriteTapeOrFail(const std::string& path, const TapeRecordList& records) {
    tape::WorkBuffer work;
    if (TapeMessage failed = tape::WriteTape(path, records, work)) {
        throw Failure{MessageText(failed)};
    }
}

std::string NoGoodCopy(const tagTapeRecord& r) {
    return std::string("no good copy of block") +
           (r.blocksWithoutGoodCopy.size() > 1 ? "s " : " ") +
           tape::BlockNumbersText(r.blocksWithoutGoodCopy);
}

// A block with no good copy has lost bytes; damaged copies of blocks with a good one lose
// nothing.
std::string State(const tagTapeRecord& r) {
    if (r.incomplete) return "incomplete";
    if (r.badSize) return "bad size";
    if (!r.blocksWithoutGoodCopy.empty()) return NoGoodCopy(r);
    if (r.crcError) return "damaged copies, all recoverable";
    return "complete";
}

// Lists what can be read; a tape that cannot be read to its end still fails (status 2), so that
// a script does not take a cut or foreign file for a good tape.
int List(const std::string& path, std::ostream& out, std::ostream& err) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) throw Failure{"cannot read " + path};
    const tape::ReadResult read = tape::ReadTape(path);
    int index = 0;
    char line[160];
    for (const tagTapeRecord& r : read.records) {
        ++index;
        if (r.recordType == tape::kTypeData) {
            std::snprintf(line, sizeof line,
                          "%3d  data     %02X  %02X %-6s  %4u blocks  %7u bytes  %s", index,
                          r.number, r.fileType, tape::FileTypeName(r.fileType),
                          static_cast<unsigned>(r.blockCount), static_cast<unsigned>(r.length),
                          State(r).c_str());
            out << line << '\n';
        } else if (r.recordType == tape::kTypeInfo) {
            std::snprintf(line, sizeof line, "%3d  info     ", index);
            out << line << r.infoText << '\n';
        } else {
            std::snprintf(line, sizeof line, "%3d  unknown  type %02X  %7u bytes", index,
                          r.recordType, static_cast<unsigned>(r.length));
            out << line << '\n';
        }
    }
    if (!read.failed) return kExitOk;
    err << "tevrin-tape: " << path << " ends inside a record or is no tape\n";
    return kExitUsage;
}

// A block with no good copy is written all the same, from its first copy, so that the bytes
// after it stay in their places; the command then names it and fails.
int Extract(const std::string& path, int index, const std::string& target, std::ostream& err) {
    const TapeRecordList records = ReadWholeTape(path, false);
    const tagTapeRecord& record = RecordAt(records, index, path);
    if (record.recordType != tape::kTypeData) {
        throw Failure{"record " + std::to_string(index) + " is not a data record"};
    }
    tape::WorkBuffer work;
    if (TapeMessage failed = tape::ExportRawData(record, target, work)) {
        throw Failure{MessageText(failed)};
    }
    if (record.blocksWithoutGoodCopy.empty()) return kExitOk;
    err << "tevrin-tape: record " << index << " has " << NoGoodCopy(record)
        << ": written from its first copy, its bytes are damaged\n";
    return kExitDamaged;
}

void Add(const std::string& path, const std::string& file, const tape::RecordHeader& header) {
    TapeRecordList records = ReadWholeTape(path, true);
    tagTapeRecord record;
    if (TapeMessage failed = tape::MakeFileRecord(file, header.number, header.fileType,
                                                  header.singleBlocks, record)) {
        throw Failure{MessageText(failed)};
    }
    records.push_back(std::move(record));
    WriteTapeOrFail(path, records);
}

void Info(const std::string& path, const std::string& text) {
    TapeRecordList records = ReadWholeTape(path, true);
    records.push_back(tape::MakeInfoRecord(text));
    WriteTapeOrFail(path, records);
}

void BasicExport(const std::string& path, const std::string& target, std::optional<int> index) {
    const TapeRecordList records = ReadWholeTape(path, false);
    const tagTapeRecord* record = nullptr;
    if (index) {
        record = &RecordAt(records, *index, path);
    } else {
        for (const tagTapeRecord& r : records) {
            if (r.recordType == tape::kTypeData && r.fileType == tape::kFileBasic) {
                record = &r;
                break;
            }
        }
        if (record == nullptr) throw Failure{path + " holds no BASIC record"};
    }
    if (record->recordType != tape::kTypeData || record->fileType != tape::kFileBasic) {
        throw Failure{"record " + std::to_string(*index) + " is not a BASIC record"};
    }
    tape::WorkBuffer work;
    const size_t size = tape::ExtractRawData(*record, work);
    Write(target, basic::ExportListing(work.data(), size));
}

std::string LogLine(const std::string& key, const std::string& a, const std::string& b) {
    std::string text = lang::LangText2(kSection, key, a, b);
    if (!text.empty()) return text;
    // Without a language file the key tells what happened.
    return key + " " + a + (b.empty() ? "" : " " + b);
}

int BasicImport(const std::string& textPath, const std::string& tapePath, std::ostream& err) {
    std::string text;
    if (files::ReadWholeFile(textPath, kMaxTextBytes, text) != files::ReadResult::Ok) {
        throw Failure{"cannot read " + textPath};
    }
    const basic::ImportResult result = basic::ImportListing(text);
    const std::string log = basic::FormatLog(result.log, LogLine);
    // The program goes into the tape through the same plain-file record the browser adds.
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count();
    const std::string temporary = tapePath + "-" + std::to_string(ms) + "-tmp.tmp";
    Write(temporary, std::string_view(reinterpret_cast<const char*>(result.image.data()),
                                      result.image.size()));
    tagTapeRecord record;
    TapeMessage failed = tape::MakeFileRecord(temporary, 0x01, tape::kFileBasic, false, record);
    TapeRecordList records;
    records.push_back(record);
    if (!failed) {
        tape::WorkBuffer work;
        failed = tape::WriteTape(tapePath, records, work);
    }
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    if (failed) throw Failure{MessageText(failed)};
    if (result.log.empty()) return kExitOk;
    // The file keeps CR LF; the terminal gets plain line ends.
    for (char c : log) {
        if (c != '\r') err << c;
    }
    const std::string logPath = textPath + ".log";
    std::string error;
    if (!files::WriteFileAtomically(logPath, log, &error)) {
        err << "tevrin-tape: cannot write " << logPath << ": " << error << '\n';
    }
    return kExitLogged;
}

void Wave(const std::string& path, const std::string& target, std::optional<int> index,
          double speed) {
    const TapeRecordList records = ReadWholeTape(path, false);
    std::vector<std::vector<uint8_t>> played;
    tape::WorkBuffer work;
    int at = 0;
    for (const tagTapeRecord& r : records) {
        ++at;
        if (index ? at != *index : r.recordType != tape::kTypeData) continue;
        if (r.recordType != tape::kTypeData) {
            throw Failure{"record " + std::to_string(at) + " is not a data record"};
        }
        const int64_t bytes = tape::ReadPlayData(r, work);
        if (bytes < 0) throw Failure{"cannot read " + r.sourcePath};
        played.emplace_back(work.begin(), work.begin() + bytes);
    }
    if (index) RecordAt(records, *index, path);
    if (played.empty()) throw Failure{path + " holds no data record"};
    std::string why;
    const std::string sound =
        tape::SignalFile(tape::PlaySignal(played, speed), tape::ContainerFor(target), &why);
    if (sound.empty()) throw Failure{"cannot make " + target + ": " + why};
    Write(target, sound);
}

int FromWave(const std::string& path, const std::string& target, std::ostream& out) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) throw Failure{"cannot read " + path};
    FileTapeSource source(path);
    if (!source.IsOpen()) throw Failure{"cannot read " + path};
    const tape::RecordingResult result = tape::DecodeRecording(source);
    if (!result.error.empty()) throw Failure{path + ": " + result.error};
    if (result.records.empty()) {
        out << "no record found\n";
        return kExitNoRecord;
    }
    Write(target, tape::RecordingImage(result));
    int index = 0;
    for (const tape::DecodedRecord& record : result.records) {
        out << tape::RecordReportLine(++index, record) << '\n';
    }
    return kExitOk;
}

// A record's number or file type, held as the decimal text CLI11 stores.
CLI::Validator HexByte(int max, const std::vector<std::pair<std::string, int>>& names,
                       const std::string& what) {
    return CLI::Validator(
        [=](std::string& text) -> std::string {
            std::optional<int> value;
            for (const auto& [name, v] : names) {
                if (text == name) value = v;
            }
            if (!value && (names.empty() || text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0)) {
                value = ParseHex(text);
            }
            if (!value || *value > max) return "needs " + what + ", not " + text;
            text = std::to_string(*value);
            return {};
        },
        "", "hex");
}

}  // namespace

int RunTapeTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CLI::App app(
        "Tape images (.pta) of the Tevrin emulator. Records are counted from 1 as `list`\n"
        "shows.",
        "tevrin-tape");
    cli::Style(app);
    app.footer(kFooter);
    app.require_subcommand(1);
    std::string tapePath, file, target, text;
    int index = 0;
    int number = 0x01;
    int fileType = tape::kFileMonitor;
    bool single = false;
    double speed = 1.0;
    const CLI::Validator recordIndex = cli::Number(1, 999999, "a record index from 1");

    CLI::App* list =
        app.add_subcommand("list",
                           "one line per record: index, kind, number, file type, blocks,\n"
                           "size, state");
    list->add_option("TAPE", tapePath, "the tape image")->required();

    CLI::App* extract =
        app.add_subcommand("extract",
                           "the raw data of record N (a BASIC program without the padding of\n"
                           "its last block); a block with no good copy is written from its\n"
                           "first copy and named");
    extract->add_option("TAPE", tapePath, "the tape image")->required();
    extract->add_option("N", index, "the record")->required()->transform(recordIndex);
    extract->add_option("OUT", target, "the file to write")->required();

    CLI::App* add =
        app.add_subcommand("add",
                           "appends FILE (at most 126080 bytes) as a data record; a TAPE that\n"
                           "does not exist is made");
    add->add_option("TAPE", tapePath, "the tape image")->required();
    add->add_option("FILE", file, "the file to add")->required();
    add->add_option("--number", number, "the record's number, hexadecimal 00..7F (default 01)")
        ->type_name("NN")
        ->transform(HexByte(0x7F, {}, "a hexadecimal number 00..7F"));
    add->add_option("--type", fileType, "the file type (default monit)")
        ->type_name("basic|data|monit|0xNN")
        ->transform(HexByte(
            0xFF,
            {{"basic", tape::kFileBasic}, {"data", tape::kFileData}, {"monit", tape::kFileMonitor}},
            "basic, data, monit or 0xNN"));
    add->add_flag("--single", single, "stores each block once");

    CLI::App* info = app.add_subcommand("info", "appends an info record");
    info->add_option("TAPE", tapePath, "the tape image")->required();
    info->add_option("TEXT", text, "the info record's text")->required();

    CLI::App* basicExport =
        app.add_subcommand("basic-export", "the BASIC program of a record as a UTF-8 listing");
    basicExport->add_option("TAPE", tapePath, "the tape image")->required();
    basicExport->add_option("OUT.txt", target, "the listing to write")->required();
    CLI::Option* exportRecord =
        basicExport->add_option("--record", index, "the record (default: the first BASIC record)")
            ->type_name("N")
            ->transform(recordIndex);

    CLI::App* basicImport =
        app.add_subcommand("basic-import",
                           "a new tape holding the listing as BASIC record 01; doubtful lines\n"
                           "are logged to IN.txt.log and standard error");
    basicImport->add_option("IN.txt", file, "the listing to read")->required();
    basicImport->add_option("OUT.pta", target, "the tape image to write")->required();

    CLI::App* wav =
        app.add_subcommand("wav",
                           "the tape signal (44100 Hz, 16-bit mono) of a record or of every\n"
                           "data record, a second apart; as FLAC when OUT ends in .flac, else WAV");
    wav->add_option("TAPE", tapePath, "the tape image")->required();
    wav->add_option("OUT", target, "the sound file to write (.wav or .flac)")->required();
    CLI::Option* wavRecord =
        wav->add_option("--record", index, "the record (default: every data record)")
            ->type_name("N")
            ->transform(recordIndex);
    // Written out rather than CLI::Range, which lets a NaN through.
    wav->add_option("--speed", speed,
                    "plays the tape that much faster, 0.5..2 (1.05: 5 % fast, 1260 bit/s)")
        ->type_name("FACTOR")
        ->check(CLI::Validator(
            [](std::string& value) -> std::string {
                double v = 0;
                if (CLI::detail::lexical_cast(value, v) && v >= tape::kMinSignalSpeed &&
                    v <= tape::kMaxSignalSpeed) {
                    return {};
                }
                return "needs a factor from 0.5 to 2, not " + value;
            },
            "", "speed"));

    CLI::App* fromWav =
        app.add_subcommand("from-audio",
                           "the records on a recording of a cassette (WAV, FLAC, AIFF, OGG ...:\n"
                           "whatever libsndfile reads; mono or stereo, 22050 Hz or more) as a\n"
                           "tape image, both copies of every block as heard; one line per record:\n"
                           "index, number, file type, blocks, blocks with no good copy, measured\n"
                           "speed. from-wav is the same command");
    fromWav->alias("from-wav");
    fromWav->add_option("IN", file, "the recording to read")->required();
    fromWav->add_option("OUT.pta", target, "the tape image to write")->required();

    if (std::optional<int> ended = cli::Parse(app, args, out, err, kExitUsage)) return *ended;
    const auto recordOf = [&](const CLI::Option* option) {
        return option->count() != 0 ? std::optional<int>(index) : std::nullopt;
    };
    try {
        if (list->parsed()) return List(tapePath, out, err);
        if (extract->parsed()) return Extract(tapePath, index, target, err);
        if (add->parsed()) {
            tape::RecordHeader header;
            header.number = static_cast<uint8_t>(number);
            header.fileType = static_cast<uint8_t>(fileType);
            header.singleBlocks = single;
            Add(tapePath, file, header);
        }
        if (info->parsed()) Info(tapePath, text);
        if (basicExport->parsed()) BasicExport(tapePath, target, recordOf(exportRecord));
        if (basicImport->parsed()) return BasicImport(file, target, err);
        if (wav->parsed()) Wave(tapePath, target, recordOf(wavRecord), speed);
        if (fromWav->parsed()) return FromWave(file, target, out);
        return kExitOk;
    } catch (const Failure& failure) {
        err << "tevrin-tape: " << failure.message << '\n';
        return kExitUsage;
    }
}

}  // namespace tapetool
