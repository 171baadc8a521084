#include "TapeTool.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <map>
#include <optional>

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

const char kUsage[] =
    "usage: tevrin-tape COMMAND ...\n"
    "Tape images (.pta) of the Tevrin emulator. Records are counted from 1 as `list` shows.\n"
    "  list TAPE                       one line per record: index, kind, number, file type,\n"
    "                                  blocks, size, state\n"
    "  extract TAPE N OUT              the raw data of record N (a BASIC program without the\n"
    "                                  padding of its last block); a block with no good copy\n"
    "                                  is written from its first copy and named\n"
    "  add TAPE FILE [--number NN] [--type basic|data|monit|0xNN] [--single]\n"
    "                                  appends FILE (at most 126080 bytes) as a data record;\n"
    "                                  NN is hexadecimal 00..7F (default 01), the type\n"
    "                                  defaults to monit, --single stores each block once;\n"
    "                                  a TAPE that does not exist is made\n"
    "  info TAPE TEXT                  appends an info record\n"
    "  basic-export TAPE OUT.txt [--record N]\n"
    "                                  the BASIC program of record N (default: the first BASIC\n"
    "                                  record) as a UTF-8 listing\n"
    "  basic-import IN.txt OUT.pta     a new tape holding the listing as BASIC record 01; "
    "doubtful\n"
    "                                  lines are logged to IN.txt.log and standard error\n"
    "  wav TAPE OUT.wav [--record N] [--speed FACTOR]\n"
    "                                  the tape signal (44100 Hz, 16-bit mono) of record N or of\n"
    "                                  every data record, a second apart; FACTOR 0.5..2 plays\n"
    "                                  the tape that much faster (1.05: 5 % fast, 1260 bit/s)\n"
    "  from-wav IN.wav OUT.pta         the records on a recording of a cassette (WAV: PCM of\n"
    "                                  8..32 bits or 32-bit float, mono or stereo, 22050 Hz\n"
    "                                  or more) as a tape image, both copies of every block as\n"
    "                                  heard; one line per record: index, number, file type,\n"
    "                                  blocks, blocks with no good copy, measured speed\n"
    "Exit status: 0 done, 1 a BASIC import wrote a log (the tape is written all the same),\n"
    "extract wrote a block with no good copy, or from-wav found no record (nothing is written\n"
    "then), 2 bad arguments or a file that cannot\n"
    "be read or written (nothing is written then; list shows what it could read of a damaged\n"
    "tape and then fails).\n";

struct Failure {
    std::string message;
};

std::optional<int> ParseIndex(const std::string& text) {
    if (text.empty() || text.size() > 6) return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < 1) return std::nullopt;
    return value;
}

// 1..2 hex digits with an optional 0x.
std::optional<int> ParseHex(std::string text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.erase(0, 2);
    if (text.empty() || text.size() > 2) return std::nullopt;
    int value = 0;
    for (char c : text) {
        int digit = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                           : -1;
        if (digit < 0) return std::nullopt;
        value = value * 16 + digit;
    }
    return value;
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
    Write(target, tape::WaveFile(tape::PlaySignal(played, speed)));
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

struct Arguments {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
    bool single = false;
};

Arguments Split(const std::vector<std::string>& args, const std::vector<std::string>& valued) {
    Arguments a;
    for (size_t i = 2; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--single") {
            a.single = true;
        } else if (arg.rfind("--", 0) == 0) {
            bool known = false;
            for (const std::string& name : valued) known = known || name == arg;
            if (!known) throw Failure{"unknown option " + arg};
            if (i + 1 >= args.size()) throw Failure{arg + " needs a value"};
            a.options[arg] = args[++i];
        } else {
            a.positional.push_back(arg);
        }
    }
    return a;
}

std::optional<int> RecordOption(const Arguments& a) {
    auto it = a.options.find("--record");
    if (it == a.options.end()) return std::nullopt;
    std::optional<int> index = ParseIndex(it->second);
    if (!index) throw Failure{"--record needs a record index from 1: " + it->second};
    return index;
}

double SpeedOption(const Arguments& a) {
    auto it = a.options.find("--speed");
    if (it == a.options.end()) return 1.0;
    char* end = nullptr;
    const double value = std::strtod(it->second.c_str(), &end);
    if (it->second.empty() || *end != '\0' || !(value >= tape::kMinSignalSpeed) ||
        !(value <= tape::kMaxSignalSpeed)) {
        throw Failure{"--speed needs a factor from 0.5 to 2: " + it->second};
    }
    return value;
}

tape::RecordHeader HeaderOption(const Arguments& a) {
    tape::RecordHeader header;
    if (auto it = a.options.find("--number"); it != a.options.end()) {
        std::optional<int> number = ParseHex(it->second);
        if (!number || *number > 0x7F) {
            throw Failure{"--number needs a hexadecimal number 00..7F: " + it->second};
        }
        header.number = static_cast<uint8_t>(*number);
    }
    if (auto it = a.options.find("--type"); it != a.options.end()) {
        const std::string& type = it->second;
        std::optional<int> value;
        if (type == "basic")
            value = tape::kFileBasic;
        else if (type == "data")
            value = tape::kFileData;
        else if (type == "monit")
            value = tape::kFileMonitor;
        else if (type.rfind("0x", 0) == 0 || type.rfind("0X", 0) == 0)
            value = ParseHex(type);
        if (!value) throw Failure{"--type needs basic, data, monit or 0xNN: " + type};
        header.fileType = static_cast<uint8_t>(*value);
    }
    header.singleBlocks = a.single;
    return header;
}

void Expect(const Arguments& a, size_t count, const char* command) {
    if (a.positional.size() != count) {
        throw Failure{std::string(command) + " needs " + std::to_string(count) +
                      " arguments (see --help)"};
    }
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const std::string& command = args[1];
    if (command == "list") {
        const Arguments a = Split(args, {});
        Expect(a, 1, "list");
        return List(a.positional[0], out, err);
    } else if (command == "extract") {
        const Arguments a = Split(args, {});
        Expect(a, 3, "extract");
        std::optional<int> index = ParseIndex(a.positional[1]);
        if (!index) throw Failure{"extract needs a record index from 1: " + a.positional[1]};
        return Extract(a.positional[0], *index, a.positional[2], err);
    } else if (command == "add") {
        const Arguments a = Split(args, {"--number", "--type"});
        Expect(a, 2, "add");
        Add(a.positional[0], a.positional[1], HeaderOption(a));
    } else if (command == "info") {
        const Arguments a = Split(args, {});
        Expect(a, 2, "info");
        Info(a.positional[0], a.positional[1]);
    } else if (command == "basic-export") {
        const Arguments a = Split(args, {"--record"});
        Expect(a, 2, "basic-export");
        BasicExport(a.positional[0], a.positional[1], RecordOption(a));
    } else if (command == "basic-import") {
        const Arguments a = Split(args, {});
        Expect(a, 2, "basic-import");
        return BasicImport(a.positional[0], a.positional[1], err);
    } else if (command == "wav") {
        const Arguments a = Split(args, {"--record", "--speed"});
        Expect(a, 2, "wav");
        Wave(a.positional[0], a.positional[1], RecordOption(a), SpeedOption(a));
    } else if (command == "from-wav") {
        const Arguments a = Split(args, {});
        Expect(a, 2, "from-wav");
        return FromWave(a.positional[0], a.positional[1], out);
    } else {
        throw Failure{"unknown command " + command + " (see --help)"};
    }
    return kExitOk;
}

}  // namespace

int RunTapeTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() < 2) {
        err << kUsage;
        return kExitUsage;
    }
    if (args[1] == "--help" || args[1] == "-h") {
        out << kUsage;
        return kExitOk;
    }
    try {
        return Run(args, out, err);
    } catch (const Failure& failure) {
        err << "tevrin-tape: " << failure.message << '\n';
        return kExitUsage;
    }
}

}  // namespace tapetool
