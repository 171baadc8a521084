#include "machine/ChipMemory.h"

#include <cstring>

namespace {
bool IsGreenPlanePage(int page) {
    return page == 0xEA || page == 0xEB;
}
}  // namespace

ChipMemory::ChipMemory(MemoryOrganizer& organizer) : organizer_(organizer) {
    readOnly_.fill(true);
    previousMappingListener_ =
        organizer_.SetMappingChanged(Closure<void()>::Bind<&ChipMemory::RefreshWindows>(this));
    RefreshWindows();
}

ChipMemory::~ChipMemory() {
    organizer_.SetMappingChanged(previousMappingListener_);
}

bool ChipMemory::AllocatePages(int start, int count, bool readOnly) {
    if (start < 0 || start > 255 || count < 1 || count > 256 || start + count > 256) return false;
    for (int p = start; p < start + count; ++p) {
        if (page_[p] != nullptr) return false;
    }
    // One contiguous block: the video planes are addressed across page boundaries from the red
    // plane's start, so RAM must never be split. The arena keeps every page in page order.
    uint8_t* first = nullptr;
    if (arena_.Valid()) {
        first = arena_.Page(start);
    } else {
        blockStorage_[start] = std::make_unique<uint8_t[]>(static_cast<size_t>(count) * kPageSize);
        first = blockStorage_[start].get();
    }
    std::memset(first, readOnly ? 0xFF : 0x00, static_cast<size_t>(count) * kPageSize);
    for (int p = start; p < start + count; ++p) {
        page_[p] = first + static_cast<size_t>(p - start) * kPageSize;
        readOnly_[p] = readOnly;
    }
    blockLength_[start] = count;
    RefreshWindows();
    return true;
}

bool ChipMemory::FreePages(int start, int count) {
    if (start < 0 || start > 255 || count < 1 || count > 256 || start + count > 256) return false;
    for (int p = start; p < start + count; ++p) {
        if (blockLength_[p] > 0) {
            // Pages of this block outside the range would otherwise point into freed storage.
            for (int q = p; q < p + blockLength_[p]; ++q) {
                page_[q] = nullptr;
                readOnly_[q] = true;
            }
            blockStorage_[p].reset();
            blockLength_[p] = 0;
        }
        page_[p] = nullptr;
        readOnly_[p] = true;
    }
    RefreshWindows();
    return true;
}

uint8_t* ChipMemory::PagePointer(int page) const {
    if (page < 0 || page > 255) return nullptr;
    return page_[page];
}

bool ChipMemory::IsReadOnly(int page) const {
    if (page < 0 || page > 255) return true;
    return readOnly_[page];
}

bool ChipMemory::RangeNeeded(int page, int length) const {
    if (length <= 0 || page < 0 || page > 255) return false;
    int pages = (length + kPageSize - 1) / kPageSize;
    if (page + pages > 256) return false;
    for (int p = page; p < page + pages; ++p) {
        if (page_[p] == nullptr) return false;
    }
    return true;
}

bool ChipMemory::LoadPages(int page, const uint8_t* data, int length) {
    if (data == nullptr || !RangeNeeded(page, length)) return false;
    for (int done = 0; done < length; done += kPageSize) {
        int chunk = length - done < kPageSize ? length - done : kPageSize;
        std::memcpy(page_[page + done / kPageSize], data + done, static_cast<size_t>(chunk));
    }
    return true;
}

bool ChipMemory::SavePages(uint8_t* out, int page, int length) const {
    if (out == nullptr || !RangeNeeded(page, length)) return false;
    for (int done = 0; done < length; done += kPageSize) {
        int chunk = length - done < kPageSize ? length - done : kPageSize;
        std::memcpy(out + done, page_[page + done / kPageSize], static_cast<size_t>(chunk));
    }
    return true;
}

void ChipMemory::RaiseFault(uint16_t address, bool write) {
    fault_ = true;
    FaultAddress = address;
    FaultWrite = write;
    // While a fault is pending every access goes the careful way, so the processor sees it.
    RefreshWindows();
}

uint8_t ChipMemory::ReadSlow(uint16_t address) {
    const uint8_t* page = page_[organizer_.MapPage(address)];
    if (page == nullptr) {
        RaiseFault(address, false);
        return 0xFF;
    }
    return page[address & 0x0FFF];
}

void ChipMemory::WriteSlow(uint16_t address, uint8_t value) {
    int number = organizer_.MapPage(address);
    uint8_t* page = page_[number];
    if (page == nullptr || readOnly_[number]) {
        RaiseFault(address, true);
        return;
    }
    if (IsGreenPlanePage(number) && writeHook_ && writeHookArmed_ &&
        writeHook_(page, static_cast<uint16_t>(address & 0x0FFF), value)) {
        return;
    }
    page[address & 0x0FFF] = value;
}

uint16_t ChipMemory::ReadWord(uint16_t address) {
    bool faultBefore = fault_;
    uint8_t low = Read(address);
    if (fault_ && !faultBefore) return low;
    uint8_t high = Read(static_cast<uint16_t>(address + 1));
    return static_cast<uint16_t>(low | high << 8);
}

void ChipMemory::WriteWord(uint16_t address, uint16_t value) {
    bool faultBefore = fault_;
    Write(address, static_cast<uint8_t>(value));
    if (fault_ && !faultBefore) return;
    Write(static_cast<uint16_t>(address + 1), static_cast<uint8_t>(value >> 8));
}

uint8_t ChipMemory::Peek(uint16_t address) const {
    const uint8_t* page = page_[organizer_.MapPage(address)];
    return page == nullptr ? 0xFF : page[address & 0x0FFF];
}

void ChipMemory::SetWriteHookArmed(bool armed) {
    if (armed == writeHookArmed_) return;
    writeHookArmed_ = armed;
    RefreshWindows();
}

ChipMemory::WriteHook ChipMemory::SetWriteHook(WriteHook hook) {
    WriteHook previous = writeHook_;
    writeHook_ = hook;
    RefreshWindows();
    return previous;
}

void ChipMemory::ClearFault() {
    fault_ = false;
    RefreshWindows();
}

void ChipMemory::RefreshWindows() {
    for (int window = 0; window < 16; ++window) {
        int number = organizer_.MapPage(static_cast<uint16_t>(window << 12));
        uint8_t* page = fault_ ? nullptr : page_[number];
        readWindow_[window] = page;
        bool careful =
            page == nullptr || readOnly_[number] ||
            (IsGreenPlanePage(number) && static_cast<bool>(writeHook_) && writeHookArmed_);
        writeWindow_[window] = careful ? nullptr : page;
    }
    RefreshView();
    windowsChanged_();
}

// Only windows whose page (or its RAM/ROM kind) changed are mapped anew; a fault or the write
// hook changes nothing in the view.
void ChipMemory::RefreshView() {
    // ShowWindow fails without a view, so a given-up view leaves this false too.
    bool complete = !fault_;
    for (int window = 0; window < 16; ++window) {
        const int number = organizer_.MapPage(static_cast<uint16_t>(window << 12));
        const bool present = page_[number] != nullptr;
        const bool shown =
            arena_.ShowWindow(window, present ? number : -1, present && !readOnly_[number]);
        complete = complete && shown && present;
    }
    viewComplete_ = complete;
}

Closure<void()> ChipMemory::SetWindowsChanged(Closure<void()> listener) {
    Closure<void()> previous = windowsChanged_;
    windowsChanged_ = listener;
    return previous;
}
