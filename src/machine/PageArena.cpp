#include "machine/PageArena.h"

#include <sys/mman.h>
#include <unistd.h>

namespace {
constexpr size_t kArenaBytes = size_t{PageArena::kPageCount} * PageArena::kPageSize;
constexpr size_t kViewBytes = size_t{PageArena::kWindows} * PageArena::kPageSize;
}  // namespace

PageArena::PageArena() {
    shown_.fill(-1);
    fd_ = memfd_create("tevrin-pages", MFD_CLOEXEC);
    if (fd_ < 0) return;
    if (ftruncate(fd_, static_cast<off_t>(kArenaBytes)) != 0) {
        Release();
        return;
    }
    void* pages = mmap(nullptr, kArenaBytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
    if (pages == MAP_FAILED) {
        Release();
        return;
    }
    pages_ = static_cast<uint8_t*>(pages);
    // The view starts as a reserved range that shows nothing, so no other mapping can land
    // between its windows.
    void* view =
        mmap(nullptr, kViewBytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (view == MAP_FAILED) {
        Release();
        return;
    }
    view_ = static_cast<uint8_t*>(view);
}

PageArena::~PageArena() {
    Release();
}

void PageArena::Release() {
    if (view_ != nullptr) munmap(view_, kViewBytes);
    if (pages_ != nullptr) munmap(pages_, kArenaBytes);
    if (fd_ >= 0) close(fd_);
    view_ = pages_ = nullptr;
    fd_ = -1;
    shown_.fill(-1);
}

bool PageArena::ShowWindow(int window, int page, bool writable) {
    if (view_ == nullptr || window < 0 || window >= kWindows || page >= kPageCount) return false;
    if (page < 0) writable = false;
    if (shown_[window] == page && writable_[window] == writable) return true;
    uint8_t* at = view_ + static_cast<size_t>(window) * kPageSize;
    void* mapped = page >= 0
                       ? mmap(at, kPageSize, writable ? PROT_READ | PROT_WRITE : PROT_READ,
                              MAP_SHARED | MAP_FIXED, fd_, static_cast<off_t>(page) * kPageSize)
                       : mmap(at, kPageSize, PROT_NONE,
                              MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED | MAP_NORESERVE, -1, 0);
    if (mapped == MAP_FAILED) {
        // A failed fixed mapping may have left a hole in the range, where another mapping of
        // this process could now lie: the view is given up for good and never touched again
        // (its remaining 64 KB of address space are left as they are, not unmapped).
        view_ = nullptr;
        shown_.fill(-1);
        return false;
    }
    shown_[window] = page;
    writable_[window] = writable;
    return true;
}
