#include "frontend/NumberField.h"

#include <cstdio>

#include "asm/NumberFormat.h"
#include "host/lang/Language.h"

namespace {

constexpr std::string_view kSection = "Common";

std::string InNotation(int32_t value, const NumberField& field) {
    char text[16];
    std::snprintf(text, sizeof text,
                  !field.hexadecimal ? "%d"
                  : field.hashMark   ? "#%X"
                                     : "%X",
                  static_cast<int>(value));
    return text;
}

}  // namespace

FieldReading ReadNumberField(const NumberField& field, std::string_view text) {
    FieldReading reading;
    const int32_t value = assembler::ReadFieldNumber(text, field.hexadecimal);
    if (value < field.minimum || value > field.maximum) {
        reading.refusal = FieldRefusal(field);
        return reading;
    }
    reading.ok = true;
    reading.value = value;
    return reading;
}

std::string FieldRangeText(const NumberField& field) {
    return lang::LangText2(kSection, "text.NumberField.Range", InNotation(field.minimum, field),
                           InNotation(field.maximum, field));
}

std::string FieldRefusal(const NumberField& field) {
    return lang::LangText2(kSection, "err.NumberField.Message", field.name, FieldRangeText(field));
}

std::string FieldRefusalTitle() {
    return lang::LangText(kSection, "err.NumberField.Title");
}

int FieldDigits(const NumberField& field) {
    NumberField unmarked = field;
    unmarked.hashMark = false;
    return static_cast<int>(InNotation(field.maximum, unmarked).size());
}

std::string FieldNameOf(std::string_view caption) {
    std::string name;
    for (const char c : caption) {
        if (c != '&') name.push_back(c);
    }
    while (!name.empty() && (name.back() == ':' || name.back() == ' ')) name.pop_back();
    return name;
}
