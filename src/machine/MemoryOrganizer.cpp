#include "machine/MemoryOrganizer.h"

MemoryOrganizer::MemoryOrganizer() {
    pageRegister_.fill(0xFF);
}

void MemoryOrganizer::PortWrite(uint8_t port, uint8_t value, int32_t /*ticks*/) {
    if (port >= 0xE0) {
        // E0-EF and F0-FF decode to the same sixteen registers.
        SetPageRegister(port & 0x0F, value);
    } else if ((port & 0xFC) == 0xD8) {
        EnablePaging();
    }
}

uint8_t MemoryOrganizer::PortRead(uint8_t port, int32_t /*ticks*/) {
    if ((port & 0xFC) == 0xD8) {
        EnablePaging();
        return 0xFF;
    }
    if (port >= 0xE0) {
        // The registers are read back through inverting bus drivers, and only once paging is on.
        return pagingOn_ ? static_cast<uint8_t>(~pageRegister_[port & 0x0F]) : 0xFF;
    }
    return 0xFF;
}

void MemoryOrganizer::Reset(int32_t /*ticks*/) {
    pagingOn_ = false;
    pageRegister_.fill(0xFF);
    MappingChanged();
}

void MemoryOrganizer::EnablePaging() {
    if (pagingOn_) return;
    pagingOn_ = true;
    MappingChanged();
}

void MemoryOrganizer::SetPageRegister(int window, uint8_t page) {
    pageRegister_[window & 0x0F] = page;
    if (pagingOn_) MappingChanged();
}

Closure<void()> MemoryOrganizer::SetMappingChanged(Closure<void()> listener) {
    Closure<void()> previous = mappingChanged_;
    mappingChanged_ = listener;
    return previous;
}
