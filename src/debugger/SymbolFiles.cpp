#include "debugger/SymbolFiles.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "debugger/SymbolTable.h"

namespace debugger {

std::string SymbolFileBeside(const std::string& program) {
    if (program.empty()) return {};
    std::error_code ec;
    for (const char* extension : {".sym", ".SYM"}) {
        std::filesystem::path candidate(program);
        candidate.replace_extension(extension);
        if (candidate != std::filesystem::path(program) &&
            std::filesystem::is_regular_file(candidate, ec))
            return candidate.string();
    }
    return {};
}

bool ReadSymbolFile(const std::string& path, SymbolTable& table, std::string& error) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) {
        error = ec.message();
        return false;
    }
    // A file this large is no symbols file; reading it whole would only cost memory.
    if (size > SymbolTable::kMaxFileBytes) {
        error = "larger than " + std::to_string(SymbolTable::kMaxFileBytes >> 20) + " MB";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
        error = "cannot be read";
        return false;
    }
    return table.Load(text, error);
}

}  // namespace debugger
