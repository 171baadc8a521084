#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The 256 physical pages as one shared-memory object, mapped twice: once whole, in page order
// (the pages that ChipMemory hands out), and once as a 64 KB view whose sixteen 4 KB windows
// alias whichever pages the processor's windows show. The view lets the processor read any
// mapping, ROM included, through one base pointer: the host's page tables do the look-up that
// would otherwise cost a table access and a null test on every byte. Writes to a page are seen
// in the view at once (the same physical memory behind both addresses).
//
// Where the object cannot be made, Valid() says so; where a window's mapping fails, ShowWindow
// says so and the view is given up. Either way the caller keeps to its own storage and window
// pointers.
class PageArena {
  public:
    static constexpr int kPageSize = 4096;
    static constexpr int kPageCount = 256;
    static constexpr int kWindows = 16;

    PageArena();
    ~PageArena();
    PageArena(const PageArena&) = delete;
    PageArena& operator=(const PageArena&) = delete;

    bool Valid() const { return pages_ != nullptr; }
    uint8_t* Page(int page) const { return pages_ + static_cast<size_t>(page) * kPageSize; }
    // The 64 KB view, null once given up; only the windows last shown a page hold one.
    uint8_t* View() const { return view_; }

    // Makes `window` of the view show `page` (nothing for page < 0), writable or read-only. Only
    // a change costs a system call. False when there is no view, or when the mapping failed:
    // the view is then given up for good.
    bool ShowWindow(int window, int page, bool writable);

  private:
    void Release();

    int fd_ = -1;
    uint8_t* pages_ = nullptr;
    uint8_t* view_ = nullptr;
    std::array<int, kWindows> shown_{};
    std::array<bool, kWindows> writable_{};
};
