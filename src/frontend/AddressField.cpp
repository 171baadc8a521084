#include "frontend/AddressField.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>

#include "debugger/DebugExpression.h"

FieldReading ReadAddressField(const NumberField& field, std::string_view text,
                              const debugger::SymbolTable* symbols) {
    const auto blank = [](char c) { return c == ' '; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    const bool digitsOnly = !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
    });
    if (symbols == nullptr || (!field.hexadecimal && digitsOnly))
        return ReadNumberField(field, text);
    std::string error;
    const std::optional<uint16_t> value = debugger::ParseAddress(text, *symbols, error);
    FieldReading reading;
    if (!value) {
        reading.refusal = error;
        return reading;
    }
    if (*value < field.minimum || *value > field.maximum) {
        reading.refusal = FieldRefusal(field);
        return reading;
    }
    reading.ok = true;
    reading.value = *value;
    return reading;
}
