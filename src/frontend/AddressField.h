#pragma once

#include <string_view>

#include "frontend/NumberField.h"

namespace debugger {
class SymbolTable;
}

// A debugger field that takes an address. Without labels it reads as every number field does.
// With a table loaded it also takes "LABEL", "LABEL+n" and the other forms a debugger address
// takes (a bare number read as hexadecimal); a decimal field's plain digits stay decimal. The
// field's range holds either way.
FieldReading ReadAddressField(const NumberField& field, std::string_view text,
                              const debugger::SymbolTable* symbols);
