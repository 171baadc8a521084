#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// One number a user types into a dialog: its name as the user sees it (the caption of its
// label), the notation it is shown in and the values it may take. Every number field of every
// dialog is read through ReadNumberField, so a short entry is never padded and a value outside
// the range is refused with a message that names the field, never changed into another value.
struct NumberField {
    std::string name;
    bool hexadecimal = false;
    int32_t minimum = 0;
    int32_t maximum = 0xFFFF;
    bool hashMark = true;  // hexadecimal shown as "#1F" (as everywhere), or as "1F"
};

struct FieldReading {
    bool ok = false;
    int32_t value = 0;
    std::string refusal;  // "Length must be 1 to 65536." in the active language
};

FieldReading ReadNumberField(const NumberField& field, std::string_view text);

// "1 to 65536", "#1 to #10000" or "0 to 7F", in the field's notation and the active language.
std::string FieldRangeText(const NumberField& field);
std::string FieldRefusal(const NumberField& field);
// The title of a refusal's message.
std::string FieldRefusalTitle();

// The places a field needs for its largest value: 5 for 65536, 4 for #FFFF, 5 for #10000.
int FieldDigits(const NumberField& field);

// "Start:" or "&Length:" as a name: "Start", "Length".
std::string FieldNameOf(std::string_view caption);
