#pragma once

#include <string>

#include "frontend/NumberField.h"
#include "media/memory/MemoryTransfer.h"

// The numbers of the memory load and save dialog, apart from its widgets: reading the five
// fields in the current radix, refusing what cannot be used, and their texts.
struct MemoryFieldValues {
    int start = 0;
    int length = 1;
    int from = media::kDefaultTransferPage;
    int to = media::kDefaultTransferPage;
    int run = 0;

    media::MemoryArea Area(bool pages) const { return {pages, start, length, from, to}; }
};

struct MemoryFieldTexts {
    std::string start, length, from, to, run;
};

enum class MemoryField { Start, Length, From, To, Run };

// The five fields as NumberFields: start and run 0..65535, length 1..65536 (the whole address
// space; "#10000" in hexadecimal), pages 0..255. The names are the captions the user sees.
struct MemoryFieldNames {
    std::string start, length, from, to, run;
};
NumberField MemoryNumberField(MemoryField field, const MemoryFieldNames& names, bool hexadecimal);

// Which fields the dialog reads: those of the source chosen and the run address when it is asked.
struct MemoryFieldsInUse {
    bool pages = false;
    bool run = false;
};

struct MemoryFieldCheck {
    bool ok = true;
    MemoryField field = MemoryField::Start;  // the field to put right
    std::string refusal;                     // names it and what it may hold
};

// Reads the fields in use exactly as typed. The first that cannot be used refuses the whole
// reading and the values stay as they were: a number outside its field's range, a start and
// length that reach past 0xFFFF, a last page before the first. A field not in use is taken
// when it reads as a number of its range and otherwise keeps its value.
MemoryFieldCheck ReadMemoryFields(const MemoryFieldTexts& texts, const MemoryFieldNames& names,
                                  bool hexadecimal, MemoryFieldsInUse inUse,
                                  MemoryFieldValues& values);

// Values from the configuration, which no one typed: each one that no field could hold takes its
// default (a range past the end is cut at the end, a last page before the first is the first).
MemoryFieldValues UsableStoredFields(MemoryFieldValues values);

// "#1000" or "04096" (address fields; a length of 65536 is "#10000" or "65536"), "#E0" or "224"
// (page fields).
std::string FormatAddressField(int value, bool hexadecimal);
std::string FormatPageField(int value, bool hexadecimal);
MemoryFieldTexts FormatMemoryFields(const MemoryFieldValues& values, bool hexadecimal);
