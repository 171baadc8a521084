#pragma once

#include <string>

// Where the debugger finds a program's labels: the assembler's symbols file or listing.
namespace debugger {

class SymbolTable;

// The symbols file the assembler writes beside a program: its name with ".sym" (or ".SYM") in
// place of its extension. "" when there is none.
std::string SymbolFileBeside(const std::string& program);

// Reads a symbols file or listing into `table`. False with what went wrong in `error` (the file
// unreadable or too large for one, or the line the table refused), the table unchanged.
bool ReadSymbolFile(const std::string& path, SymbolTable& table, std::string& error);

}  // namespace debugger
