#include "frontend/MemoryFields.h"

#include "asm/NumberFormat.h"

namespace {

int Read(const std::string& text, bool hexadecimal) {
    return assembler::ParseNumber(text, hexadecimal);
}

}  // namespace

bool ValidateMemoryFields(const MemoryFieldTexts& texts, bool hexadecimal,
                          MemoryFieldValues& values) {
    bool valid = true;
    values.start = Read(texts.start, hexadecimal);
    if (values.start < 0) {
        values.start = 0;
        valid = false;
    }
    values.length = Read(texts.length, hexadecimal);
    if (values.length < 1) {
        values.length = 1;
        valid = false;
    }
    if (values.start + values.length > 0x10000) {
        values.length = 0x10000 - values.start;
        valid = false;
    }
    for (int* page : {&values.from, &values.to}) {
        *page = Read(page == &values.from ? texts.from : texts.to, hexadecimal);
        if (*page < 0 || *page > 0xFF) {
            *page = media::kDefaultTransferPage;
            valid = false;
        }
    }
    if (values.to < values.from) {
        values.to = values.from;
        valid = false;
    }
    values.run = Read(texts.run, hexadecimal);
    if (values.run < 0) {
        values.run = 0;
        valid = false;
    }
    return valid;
}

std::string FormatAddressField(int value, bool hexadecimal) {
    assembler::NumberStyle style;
    style.Word = true;
    style.FixedWidth = true;
    style.Hexadecimal = hexadecimal;
    style.HashPrefix = hexadecimal;
    return assembler::FormatNumber(value, style);
}

std::string FormatPageField(int value, bool hexadecimal) {
    assembler::NumberStyle style;
    style.FixedWidth = true;
    style.Hexadecimal = hexadecimal;
    style.HashPrefix = hexadecimal;
    return assembler::FormatNumber(value, style);
}

MemoryFieldTexts FormatMemoryFields(const MemoryFieldValues& values, bool hexadecimal) {
    return {FormatAddressField(values.start, hexadecimal),
            FormatAddressField(values.length, hexadecimal),
            FormatPageField(values.from, hexadecimal), FormatPageField(values.to, hexadecimal),
            FormatAddressField(values.run, hexadecimal)};
}

bool AcceptedFieldCharacter(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}
