#include "AsmTool.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "asm/FileAssembler.h"
#include "cli/ToolOptions.h"
#include "host/files/AtomicFile.h"

namespace assembler {

namespace {

constexpr std::uintmax_t kMaxSourceBytes = 16u << 20;  // far beyond any 64 KB program's source

const char kFooter[] =
    "Numbers: decimal, 0x1F, #1F or 1FH. Source: labels end in ':'; ORG EQU DB DW DS END; ';'\n"
    "comments. An undefined name L1234 (as the debugger's disassembly writes) is 1234H.\n"
    "Exit status: 0 done, 1 errors in the source, 2 bad arguments or files.";

struct Outputs {
    std::string Image;
    std::string Listing;
    std::string Symbols;
    std::string Ranges;
};

// The disassembly window's range-list file: "from,to,offset,type,dwLabels" and CR LF per range.
// Words get no labels of their own: a DW table may hold anything.
std::string FormatRegions(const std::vector<AsmRegion>& regions) {
    std::string text;
    for (const AsmRegion& r : regions) {
        text += std::to_string(r.From) + "," + std::to_string(r.To) + ",0," +
                std::to_string(static_cast<int32_t>(r.Kind)) + ",0\r\n";
    }
    return text;
}

bool SamePath(const std::string& a, const std::string& b) {
    std::error_code ec;
    auto ca = std::filesystem::weakly_canonical(a, ec);
    if (ec) return a == b;
    auto cb = std::filesystem::weakly_canonical(b, ec);
    if (ec) return a == b;
    return ca == cb;
}

bool ReadSource(const std::string& path, std::string& text, std::ostream& err) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        err << "tevrin-asm: " << path << " is a folder, not a source file\n";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        err << "tevrin-asm: cannot open the source " << path << "\n";
        return false;
    }
    auto size = std::filesystem::file_size(path, ec);
    if (!ec && size > kMaxSourceBytes) {
        err << "tevrin-asm: " << path << " is too large to be a source (" << size << " bytes)\n";
        return false;
    }
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        err << "tevrin-asm: cannot read the source " << path << "\n";
        return false;
    }
    return true;
}

// Each output is complete in its temporary file before any of them replaces its target.
bool Prepare(files::AtomicFile& file, const std::string& target, std::string_view data,
             std::ostream& err) {
    std::string error;
    if (file.Prepare(target, data, &error)) return true;
    err << "tevrin-asm: cannot write " << target << ": " << error << "\n";
    return false;
}

}  // namespace

int RunAsmTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string source;
    Outputs outputs;
    AsmOptions options;
    CLI::App app(
        "Assembles 8080 source (Intel mnemonics) into a binary image that starts at the\n"
        "lowest address assembled.",
        "tevrin-asm");
    cli::Style(app);
    app.footer(kFooter);
    app.add_option("SOURCE", source, "the source file")->required();
    app.add_option("-o", outputs.Image, "the image to write")->type_name("IMAGE")->required();
    app.add_option("--listing", outputs.Listing, "a listing: line, address, bytes, source")
        ->type_name("FILE");
    app.add_option("--symbols", outputs.Symbols, "every name with its value, as NAME EQU 1234H")
        ->type_name("FILE");
    app.add_option("--ranges", outputs.Ranges,
                   "what was assembled where (code, DB bytes or text, DW, DS) as a range\n"
                   "list for tevrin-disasm and the debugger's disassembly window")
        ->type_name("FILE");
    app.add_option("--fill", options.Fill, "the byte for gaps and DS (default 0)")
        ->type_name("BYTE")
        ->transform(cli::Number(0, 0xFF, "a byte from 0 to 255"));
    app.add_option("--size", options.Size,
                   "pad the image to N bytes, as for a ROM (16K or 16384); larger fails")
        ->type_name("N")
        ->transform(cli::Number(1, 0x10000, "a size from 1 to 65536 (64K)", true));
    app.add_option("--org", options.Origin, "the address before the first ORG (default 0)")
        ->type_name("ADDRESS")
        ->transform(cli::Address());
    app.add_flag("--z80", options.Z80,
                 "the source writes the 8080's instructions in Z80 notation\n"
                 "(ld a,(hl); jp nz,L0100), as the debugger's disassembly can");
    if (std::optional<int> ended = cli::Parse(app, args, out, err, kAsmExitUsage)) return *ended;
    auto usage = [&](const std::string& problem) {
        err << "tevrin-asm: " << problem << "\n" << app.help();
        return kAsmExitUsage;
    };

    // Never overwrite the source with an output, nor one output with another.
    std::vector<std::string> targets = {outputs.Image};
    if (!outputs.Listing.empty()) targets.push_back(outputs.Listing);
    if (!outputs.Symbols.empty()) targets.push_back(outputs.Symbols);
    if (!outputs.Ranges.empty()) targets.push_back(outputs.Ranges);
    for (size_t i = 0; i < targets.size(); ++i) {
        if (SamePath(targets[i], source)) {
            return usage(targets[i] + " is the source file; choose another output");
        }
        for (size_t j = i + 1; j < targets.size(); ++j) {
            if (SamePath(targets[i], targets[j])) {
                return usage(targets[i] + " is named for two outputs");
            }
        }
    }

    std::string text;
    if (!ReadSource(source, text, err)) return kAsmExitUsage;
    AsmResult result = AssembleSource(text, source, options);
    for (const AsmDiagnostic& d : result.Diagnostics) err << d.Describe() << "\n";
    if (!result.Ok) return kAsmExitErrors;

    files::AtomicFile image, listing, symbols, ranges;
    bool prepared = Prepare(
        image, outputs.Image,
        std::string_view(reinterpret_cast<const char*>(result.Image.data()), result.Image.size()),
        err);
    if (prepared && !outputs.Listing.empty()) {
        prepared = Prepare(listing, outputs.Listing, result.Listing, err);
    }
    if (prepared && !outputs.Symbols.empty()) {
        prepared = Prepare(symbols, outputs.Symbols, result.Symbols, err);
    }
    if (prepared && !outputs.Ranges.empty()) {
        prepared = Prepare(ranges, outputs.Ranges, FormatRegions(result.Regions), err);
    }
    if (!prepared) return kAsmExitUsage;  // the prepared ones remove their temporaries
    for (auto [file, target] :
         {std::pair{&image, &outputs.Image}, std::pair{&listing, &outputs.Listing},
          std::pair{&symbols, &outputs.Symbols}, std::pair{&ranges, &outputs.Ranges}}) {
        std::string error;
        if (file->Prepared() && !file->Commit(&error)) {
            err << "tevrin-asm: cannot write " << *target << ": " << error << "\n";
            return kAsmExitUsage;
        }
    }
    return kAsmExitOk;
}

}  // namespace assembler
