#include "frontend/MemoryFields.h"

#include <cstdio>

#include "host/lang/Language.h"

namespace {

constexpr int kAddressSpace = 0x10000;

const std::string& TextOf(MemoryField field, const MemoryFieldTexts& texts) {
    switch (field) {
        case MemoryField::Start: return texts.start;
        case MemoryField::Length: return texts.length;
        case MemoryField::From: return texts.from;
        case MemoryField::To: return texts.to;
        case MemoryField::Run: break;
    }
    return texts.run;
}

int& ValueOf(MemoryField field, MemoryFieldValues& values) {
    switch (field) {
        case MemoryField::Start: return values.start;
        case MemoryField::Length: return values.length;
        case MemoryField::From: return values.from;
        case MemoryField::To: return values.to;
        case MemoryField::Run: break;
    }
    return values.run;
}

bool InUse(MemoryField field, MemoryFieldsInUse inUse) {
    switch (field) {
        case MemoryField::Start:
        case MemoryField::Length: return !inUse.pages;
        case MemoryField::From:
        case MemoryField::To: return inUse.pages;
        case MemoryField::Run: break;
    }
    return inUse.run;
}

std::string Text2(const char* key, const std::string& a, const std::string& b) {
    return lang::LangText2("FormMemReadWrite", key, a, b);
}

}  // namespace

NumberField MemoryNumberField(MemoryField field, const MemoryFieldNames& names, bool hexadecimal) {
    switch (field) {
        case MemoryField::Start: return {names.start, hexadecimal, 0, kAddressSpace - 1};
        case MemoryField::Length: return {names.length, hexadecimal, 1, kAddressSpace};
        case MemoryField::From: return {names.from, hexadecimal, 0, 0xFF};
        case MemoryField::To: return {names.to, hexadecimal, 0, 0xFF};
        case MemoryField::Run: break;
    }
    return {names.run, hexadecimal, 0, kAddressSpace - 1};
}

MemoryFieldCheck ReadMemoryFields(const MemoryFieldTexts& texts, const MemoryFieldNames& names,
                                  bool hexadecimal, MemoryFieldsInUse inUse,
                                  MemoryFieldValues& values) {
    MemoryFieldValues read = values;
    for (MemoryField field : {MemoryField::Start, MemoryField::Length, MemoryField::From,
                              MemoryField::To, MemoryField::Run}) {
        const FieldReading reading =
            ReadNumberField(MemoryNumberField(field, names, hexadecimal), TextOf(field, texts));
        if (reading.ok) {
            ValueOf(field, read) = reading.value;
        } else if (InUse(field, inUse)) {
            return {false, field, reading.refusal};
        }
    }
    if (!inUse.pages && read.start + read.length > kAddressSpace) {
        return {false, MemoryField::Length,
                Text2("err.PastEnd.Message", names.start, names.length)};
    }
    if (inUse.pages && read.to < read.from) {
        return {false, MemoryField::To, Text2("err.PageOrder.Message", names.to, names.from)};
    }
    values = read;
    return {};
}

MemoryFieldValues UsableStoredFields(MemoryFieldValues values) {
    if (values.start < 0 || values.start >= kAddressSpace) values.start = 0;
    if (values.length < 1 || values.length > kAddressSpace) values.length = 1;
    if (values.start + values.length > kAddressSpace) values.length = kAddressSpace - values.start;
    for (int* page : {&values.from, &values.to}) {
        if (*page < 0 || *page > 0xFF) *page = media::kDefaultTransferPage;
    }
    if (values.to < values.from) values.to = values.from;
    if (values.run < 0 || values.run >= kAddressSpace) values.run = 0;
    return values;
}

std::string FormatAddressField(int value, bool hexadecimal) {
    char text[16];
    std::snprintf(text, sizeof text, hexadecimal ? "#%04X" : "%05d", value);
    return text;
}

std::string FormatPageField(int value, bool hexadecimal) {
    char text[16];
    std::snprintf(text, sizeof text, hexadecimal ? "#%02X" : "%03d", value);
    return text;
}

MemoryFieldTexts FormatMemoryFields(const MemoryFieldValues& values, bool hexadecimal) {
    return {FormatAddressField(values.start, hexadecimal),
            FormatAddressField(values.length, hexadecimal),
            FormatPageField(values.from, hexadecimal), FormatPageField(values.to, hexadecimal),
            FormatAddressField(values.run, hexadecimal)};
}
