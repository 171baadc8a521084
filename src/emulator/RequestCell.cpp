#include "emulator/RequestCell.h"

#include <chrono>

namespace {

// Short enough that a shutdown ends a wait at once to the user, long enough not to spin.
constexpr std::chrono::milliseconds kSlice{10};

}  // namespace

RequestCell::RequestCell(const std::atomic<bool>& shuttingDown) : shuttingDown_(shuttingDown) {}

bool RequestCell::WaitSlice(std::unique_lock<std::mutex>& lock) {
    if (shuttingDown_) return false;
    changed_.wait_for(lock, kSlice);
    return !shuttingDown_;
}

bool RequestCell::Post(int request) {
    if (request == kNone) return false;
    std::unique_lock<std::mutex> lock(mutex_);
    while (phase_ != Phase::Free) {
        if (!WaitSlice(lock)) return false;
    }
    if (shuttingDown_) return false;
    const uint64_t ticket = ++ticket_;
    phase_ = Phase::Posted;
    request_ = request;
    pending_.store(request, std::memory_order_release);
    while (lastDone_ < ticket) {
        if (WaitSlice(lock)) continue;
        if (lastDone_ >= ticket) break;
        if (phase_ == Phase::Posted && ticket_ == ticket) {
            // Nobody took it; nobody will find it later either.
            phase_ = Phase::Free;
            request_ = kNone;
            pending_.store(kNone, std::memory_order_release);
            changed_.notify_all();
        }
        return false;
    }
    return true;
}

int RequestCell::TryTake() {
    if (pending_.load(std::memory_order_acquire) == kNone) return kNone;
    std::lock_guard<std::mutex> lock(mutex_);
    if (phase_ != Phase::Posted) return kNone;
    phase_ = Phase::Serving;
    return request_;
}

void RequestCell::Complete() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (phase_ != Phase::Serving) return;
    phase_ = Phase::Free;
    request_ = kNone;
    lastDone_ = ticket_;
    pending_.store(kNone, std::memory_order_release);
    changed_.notify_all();
}
