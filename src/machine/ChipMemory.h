#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "machine/Closure.h"
#include "machine/MemoryOrganizer.h"
#include "machine/PageArena.h"

class StateArchive;
class StateReader;
class StateWriter;

// The physical memory: 256 pages of 4 KB, each holding RAM, ROM or nothing. The processor
// reaches it through the organizer's mapping. An access that finds no memory (or a write that
// finds ROM) is a fault: it is recorded here and the processor abandons the instruction.
//
// For speed the memory keeps, per processor window, a pointer to the mapped page for reading and
// one for writing. A window whose access needs attention (absent page, ROM, the screen's
// colour-write hook, a fault already pending) has a null pointer and takes the careful path.
// The pages live in a PageArena where the host allows it, so that all sixteen windows can also
// be read through one 64 KB view (View()).
class ChipMemory {
  public:
    static constexpr int kPageSize = 4096;
    static constexpr int kPageCount = 256;

    // Called for writes into the green video plane (pages 0xEA, 0xEB); returning true means the
    // hook has stored the value itself.
    using WriteHook = Closure<bool(uint8_t* page, uint16_t offset, uint8_t value)>;

    explicit ChipMemory(MemoryOrganizer& organizer);
    ~ChipMemory();
    ChipMemory(const ChipMemory&) = delete;
    ChipMemory& operator=(const ChipMemory&) = delete;

    bool AllocatePages(int start, int count, bool readOnly);
    bool FreePages(int start, int count);
    uint8_t* PagePointer(int page) const;
    bool IsReadOnly(int page) const;
    bool LoadPages(int page, const uint8_t* data, int length);
    bool SavePages(uint8_t* out, int page, int length) const;

    uint8_t Read(uint16_t address) {
        const uint8_t* window = readWindow_[address >> 12];
        if (window != nullptr) [[likely]]
            return window[address & 0x0FFF];
        return ReadSlow(address);
    }
    uint16_t ReadWord(uint16_t address);
    void Write(uint16_t address, uint8_t value) {
        uint8_t* window = writeWindow_[address >> 12];
        if (window != nullptr) [[likely]] {
            window[address & 0x0FFF] = value;
            return;
        }
        WriteSlow(address, value);
    }
    void WriteWord(uint16_t address, uint16_t value);

    // Reads through the current mapping without raising a fault: absent memory reads 0xFF. For
    // tools that look at memory from outside (dumps, views), never for the processor.
    uint8_t Peek(uint16_t address) const;

    WriteHook SetWriteHook(WriteHook hook);
    // While the hook's owner knows the hook would decline every write (the screen outside its
    // colour-write mode), disarming it lets those writes take the fast path.
    void SetWriteHookArmed(bool armed);

    bool Fault() const { return fault_; }
    uint16_t FaultAddress = 0;
    bool FaultWrite = false;
    void ClearFault();

    MemoryOrganizer& Organizer() const { return organizer_; }

    // Called after the window pointers below have changed.
    Closure<void()> SetWindowsChanged(Closure<void()> listener);

    // The per-window pointers the processor reads through; a null entry means "ask Read/Write".
    const uint8_t* const* ReadWindows() const { return readWindow_.data(); }
    uint8_t* const* WriteWindows() const { return writeWindow_.data(); }
    // The 64 KB the windows show, as one block: present while every window shows a present page
    // and no fault is pending, otherwise null. Reading it is reading the mapping; only windows
    // with a write pointer may be written through it (ROM is mapped read-only there).
    uint8_t* View() const { return viewComplete_ ? arena_.View() : nullptr; }

    uint8_t ReadSlow(uint16_t address);
    void WriteSlow(uint16_t address, uint8_t value);

    // The state that decides the future, for snapshots; a load that returns false (a malformed
    // or mismatched stream) may have changed part of it, so the caller restores a saved state.
    void SaveState(StateWriter& out) const;
    bool LoadState(StateReader& in);
    void Serialize(StateArchive& a);  // the fields both name, once
    // The bytes of page contents SaveState writes.
    size_t SavedPageBytes() const;

  private:
    void RefreshWindows();
    void RefreshView();
    void RaiseFault(uint16_t address, bool write);
    bool RangeNeeded(int page, int length) const;

    MemoryOrganizer& organizer_;
    PageArena arena_;  // the pages' storage, unless !arena_.Valid()
    Closure<void()> previousMappingListener_;
    WriteHook writeHook_;
    bool writeHookArmed_ = true;
    std::array<uint8_t*, kPageCount> page_{};
    // Without the arena: the storage, only on block starts.
    std::array<std::unique_ptr<uint8_t[]>, kPageCount> blockStorage_{};
    std::array<int, kPageCount> blockLength_{};  // pages, on block starts
    std::array<bool, kPageCount> readOnly_{};
    bool fault_ = false;
    std::array<const uint8_t*, 16> readWindow_{};
    std::array<uint8_t*, 16> writeWindow_{};
    bool viewComplete_ = false;
    Closure<void()> windowsChanged_;
};
