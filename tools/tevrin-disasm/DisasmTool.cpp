#include "DisasmTool.h"

#include <cstring>
#include <filesystem>

#include "AsmTool.h"
#include "debugger/DisassRangeList.h"
#include "debugger/DisassemblyListing.h"
#include "host/files/AtomicFile.h"
#include "machine/ChipMemory.h"
#include "machine/MemoryOrganizer.h"

namespace debugger {

namespace {

constexpr std::size_t kMaxRangeListBytes = 1u << 20;  // 65536 ranges take far less

const char kUsage[] =
    "usage: tevrin-disasm IMAGE RANGES OUT [--load ADDRESS] [--addresses [--hex-dump]]\n"
    "                     [--z80] [--decimal]\n"
    "Writes memory ranges of a raw binary image as text, exactly as the debugger's disassembly\n"
    "window does: assembler source with L1234 labels that tevrin-asm assembles back into the\n"
    "same bytes, or an address listing.\n"
    "  IMAGE             the raw bytes, placed at the load address; the rest of the 64 KB\n"
    "                    reads as FF, like memory that is not there\n"
    "  RANGES            the window's range list: one 'from,to,offset,type,dwLabels' per line\n"
    "                    (decimal; type 0 code, 1 DB bytes, 2 DB text, 3 DW words, 4 DS)\n"
    "  OUT               the text file to write\n"
    "  --load ADDRESS    where the image's first byte goes (default 0)\n"
    "  --addresses       an address listing instead of assembler source\n"
    "  --hex-dump        with --addresses: the bytes beside each line\n"
    "  --z80             Z80 notation (assemble the source with tevrin-asm --z80)\n"
    "  --decimal         decimal numbers instead of hexadecimal\n"
    "Numbers: decimal, 0x1F or 1FH.\n"
    "Exit status: 0 done, 1 a bad range list (its line in the message), 2 bad arguments or\n"
    "files.\n";

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
    std::vector<std::string> files;
    uint32_t load = 0;
    DisassListingOptions options;
    bool hexDump = false;
    auto usage = [&](const std::string& problem) {
        err << "tevrin-disasm: " << problem << "\n" << kUsage;
        return kDisasmExitUsage;
    };
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-h" || arg == "--help") {
            out << kUsage;
            return kDisasmExitOk;
        }
        if (arg == "--load") {
            if (i + 1 >= args.size()) return usage("--load needs an address");
            auto n = assembler::ParseAsmArgNumber(args[++i], false);
            if (!n || *n > 0xFFFF) return usage("--load needs an address from 0 to 0FFFFH");
            load = *n;
        } else if (arg == "--addresses") {
            options.Labels = false;
        } else if (arg == "--hex-dump") {
            hexDump = true;
        } else if (arg == "--z80") {
            options.Flags.Z80Notation = true;
        } else if (arg == "--decimal") {
            options.Flags.DecimalRadix = true;
        } else if (!arg.empty() && arg[0] == '-') {
            return usage("unknown option " + arg);
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 3) return usage("expected IMAGE, RANGES and OUT");
    if (hexDump && options.Labels)
        return usage("--hex-dump belongs to an address listing (--addresses)");
    options.HexDump = hexDump;
    const std::string& imagePath = files[0];
    const std::string& rangesPath = files[1];
    const std::string& outPath = files[2];
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
