#pragma once

#include <string>

#include "media/memory/MemoryTransfer.h"

// The numbers of the memory load and save dialog, apart from its widgets: reading the five
// fields in the current radix, the corrections that keep them usable, and their texts.
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

// Reads every field (blanks count as 0; in hexadecimal the leading "#" is the "0x" prefix) and
// corrects what cannot be used: an unreadable start becomes 0, a length below 1 becomes 1, a
// range past 0xFFFF is cut at its end, a page above 255 becomes 224 (0xE0), a last page before
// the first becomes the first, an unreadable run address 0. False when anything was corrected.
bool ValidateMemoryFields(const MemoryFieldTexts& texts, bool hexadecimal,
                          MemoryFieldValues& values);

// "#1000" or "04096" (address fields), "#E0" or "224" (page fields).
std::string FormatAddressField(int value, bool hexadecimal);
std::string FormatPageField(int value, bool hexadecimal);
MemoryFieldTexts FormatMemoryFields(const MemoryFieldValues& values, bool hexadecimal);

// Whether a typed character may reach a number field at all (the mask then decides).
bool AcceptedFieldCharacter(char c);
