#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "emulator/ShuttingDown.h"

// A request from the emulation thread to the window thread: the emulation thread may not touch
// the window, so it posts a request code and waits; the window's 20 ms refresh takes it, does
// the work and completes it, which lets the poster go on. One request is in the cell at a time.
//
// The poster normally runs inside a period of the run loop and so holds the processor mutex:
// whoever serves must not wait for that mutex (pause the machine) before completing.
class RequestCell {
  public:
    static constexpr int kNone = 0;

    // `shuttingDown` ends every wait when it becomes set.
    explicit RequestCell(const std::atomic<bool>& shuttingDown = ShuttingDown);

    // Posts `request` (not kNone) once the cell is free and blocks until it has been served.
    // False when the program shut down first; a request not yet taken is then withdrawn.
    bool Post(int request);

    // Serving side. The posted request, now in service, or kNone when there is none or the one
    // posted is already in service (a refresh re-entered from a message box must not serve it
    // twice).
    int TryTake();
    // The request in service is done: the cell is free and its poster returns.
    void Complete();

    // The request posted or in service, kNone when the cell is free; for status displays.
    int Pending() const { return pending_.load(std::memory_order_acquire); }

  private:
    enum class Phase { Free, Posted, Serving };

    // Waits one slice on `changed_`; false once shutting down.
    bool WaitSlice(std::unique_lock<std::mutex>& lock);

    const std::atomic<bool>& shuttingDown_;
    // The refresh looks here every 20 ms without taking the mutex.
    std::atomic<int> pending_{kNone};
    std::mutex mutex_;
    std::condition_variable changed_;
    Phase phase_ = Phase::Free;
    int request_ = kNone;
    uint64_t ticket_ = 0;    // of the request in the cell
    uint64_t lastDone_ = 0;  // of the request completed last
};
