#include "DisasmTool.h"

#include <cstring>
#include <filesystem>

#include "cli/ToolOptions.h"
#include "debugger/DisassRangeList.h"
#include "debugger/DisassemblyListing.h"
#include "host/files/AtomicFile.h"
#include "machine/ChipMemory.h"
#include "machine/MemoryOrganizer.h"

namespace debugger {

namespace {

constexpr std::size_t kMaxRangeListBytes = 1u << 20;  // 65536 ranges take far less

const char kFooter[] =
    "The rest of the 64 KB reads as FF, like memory that is not there. A range list holds one\n"
    "'from,to,offset,type,dwLabels' per line (decimal; type 0 code, 1 DB bytes, 2 DB text,\n"
    "3 DW words, 4 DS).\n"
    "Numbers: decimal, 0x1F, #1F or 1FH.\n"
    "Exit status: 0 done, 1 a bad range list (its line in the message), 2 bad arguments or\n"
    "files.";

bool SamePath(const std::string& a, const std::string& b) {
    std::error_code ec;
    auto ca = std::filesystem::weakly_canonical(a, ec);
    if (ec) return a == b;
    auto cb = std::filesystem::weakly_canonical(b, ec);
    if (ec) return a == b;
    return ca == cb;
}

bool ReadInput(const std::string& path, const char* what, std::size_t limit, std::string& data,
               std::ostream& err) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        err << "tevrin-disasm: " << path << " is a folder, not " << what << "\n";
        return false;
    }
    switch (files::ReadWholeFile(path, limit, data)) {
        case files::ReadResult::Ok: return true;
        case files::ReadResult::Missing:
            err << "tevrin-disasm: " << what << " " << path << " does not exist\n";
            return false;
        case files::ReadResult::TooLarge:
            err << "tevrin-disasm: " << what << " " << path << " is larger than " << limit
                << " bytes\n";
            return false;
        default: err << "tevrin-disasm: cannot read " << what << " " << path << "\n"; return false;
    }
}

// 64 KB of RAM, page n in window n, as the debugger's memory would show a loaded program.
struct ImageMemory {
    MemoryOrganizer organizer;
    ChipMemory memory{organizer};

    ImageMemory(const std::string& image, uint32_t load) {
        memory.AllocatePages(0, 16, false);
        for (int window = 0; window < 16; ++window) {
            organizer.SetPageRegister(window, static_cast<uint8_t>(window));
            std::memset(memory.PagePointer(window), 0xFF, 0x1000);
        }
        organizer.EnablePaging();
        for (std::size_t i = 0; i < image.size(); ++i) {
            const uint32_t a = load + static_cast<uint32_t>(i);
            memory.PagePointer(static_cast<int>(a >> 12))[a & 0x0FFF] =
                static_cast<uint8_t>(image[i]);
        }
    }
};

}  // namespace

int RunDisasmTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string imagePath, rangesPath, outPath;
    uint32_t load = 0;
    DisassListingOptions options;
    bool addresses = false;
    bool hexDump = false;
    CLI::App app(
        "Writes memory ranges of a raw binary image as text, exactly as the debugger's\n"
        "disassembly window does: assembler source with L1234 labels that tevrin-asm assembles\n"
        "back into the same bytes, or an address listing.",
        "tevrin-disasm");
    cli::Style(app);
    app.footer(kFooter);
    app.add_option("IMAGE", imagePath, "the raw bytes, placed at the load address")->required();
    app.add_option("RANGES", rangesPath, "the window's range list")->required();
    app.add_option("OUT", outPath, "the text file to write")->required();
    app.add_option("--load", load, "where the image's first byte goes (default 0)")
        ->type_name("ADDRESS")
        ->transform(cli::Address());
    CLI::Option* listing =
        app.add_flag("--addresses", addresses, "an address listing instead of assembler source");
    app.add_flag("--hex-dump", hexDump, "with --addresses: the bytes beside each line")
        ->needs(listing);
    app.add_flag("--z80", options.Flags.Z80Notation,
                 "Z80 notation (assemble the source with tevrin-asm --z80)");
    app.add_flag("--decimal", options.Flags.DecimalRadix, "decimal numbers instead of hexadecimal");
    if (std::optional<int> ended = cli::Parse(app, args, out, err, kDisasmExitUsage)) {
        return *ended;
    }
    auto usage = [&](const std::string& problem) {
        err << "tevrin-disasm: " << problem << "\n" << app.help();
        return kDisasmExitUsage;
    };
    options.Labels = !addresses;
    options.HexDump = hexDump;
    for (const std::string* input : {&imagePath, &rangesPath}) {
        if (SamePath(outPath, *input)) {
            return usage(outPath + " is an input file; choose another output");
        }
    }

    std::string image;
    if (!ReadInput(imagePath, "the image", 0x10000 - load, image, err)) return kDisasmExitUsage;
    std::string rangeText;
    if (!ReadInput(rangesPath, "the range list", kMaxRangeListBytes, rangeText, err)) {
        return kDisasmExitUsage;
    }
    std::vector<DisassRange> ranges;
    RangeListError bad = ParseRangeList(rangeText, ranges);
    if (bad.Line != 0) {
        err << "tevrin-disasm: " << rangesPath << ":" << bad.Line
            << ": expected from,to,offset,type,dwLabels (from <= to < 65536, offset < 65536, "
               "type 0 to 4, dwLabels 0 or 1)\n";
        return kDisasmExitBadRanges;
    }
    if (ranges.empty()) {
        err << "tevrin-disasm: " << rangesPath << " holds no range\n";
        return kDisasmExitBadRanges;
    }

    ImageMemory memory(image, load);
    const std::string text = WriteDisassemblyListing(memory.memory, ranges, options);
    std::string error;
    if (!files::WriteFileAtomically(outPath, text, &error)) {
        err << "tevrin-disasm: cannot write " << outPath << ": " << error << "\n";
        return kDisasmExitUsage;
    }
    return kDisasmExitOk;
}

}  // namespace debugger
