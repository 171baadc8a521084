#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "machine/Closure.h"

// The emulation's heartbeat: a thread of its own that calls its callback at absolute deadlines
// (every `interval` ms), one call at a time. A thread that falls behind (the host was busy, a
// callback took too long) drops the periods it missed instead of calling in a burst, so the
// machine slows down for a moment rather than racing to catch up.
class TPreciseTimer {
  public:
    TPreciseTimer();
    ~TPreciseTimer();
    TPreciseTimer(const TPreciseTimer&) = delete;
    TPreciseTimer& operator=(const TPreciseTimer&) = delete;

    // May be called from the callback itself (the run loop stops the timer on a fault).
    void SetEnabled(bool enabled);
    bool Enabled() const { return enabled_.load(std::memory_order_acquire); }
    // Ignored when equal to the current interval or not positive; otherwise restarts the period.
    void SetInterval(int ms) { SetIntervalMicros(ms > 0 && ms <= kMaxMs ? ms * 1000 : 0); }
    int Interval() const { return interval_.load() / 1000; }
    // The same in microseconds: the run loop runs a little faster than 2 ms while the audio
    // device paces it.
    void SetIntervalMicros(int us);
    int IntervalMicros() const { return interval_.load(); }
    void SetOnTimer(Closure<void()> callback);

    // Returns once no callback is in progress. After SetEnabled(false) no other starts, so this
    // is the wait for the run loop to let go. Returns at once on the timer's own thread.
    void WaitIdle();

    // Returns once the timer is disabled (from any thread, the callback too) or `timeout` has
    // passed; true when it is disabled. A watcher's way to notice the end of a run without
    // waking up for nothing.
    bool WaitDisabled(std::chrono::milliseconds timeout);

    // True while a callback is running.
    bool Busy() const { return busy_.load(); }
    // Periods dropped because the thread was late (for diagnostics and tests).
    long DroppedPeriods() const { return dropped_.load(); }
    // Timer resolution in ms; the host's sleeping is precise enough for 1.
    int Resolution() const { return 1; }

  private:
    void ThreadMain();

    std::atomic<bool> enabled_{false};
    static constexpr int kMaxMs = 1000000;
    std::atomic<int> interval_{1000000};  // microseconds
    std::atomic<bool> busy_{false};
    std::atomic<long> dropped_{0};
    std::mutex mutex_;
    std::condition_variable wake_;     // the timer's own thread: enabled, restarted, quit
    std::condition_variable stopped_;  // watchers in WaitDisabled: disabled or quit
    Closure<void()> callback_;
    std::condition_variable idle_;
    bool inCallback_ = false;  // under mutex_: from the decision to call until the call returned
    bool quit_ = false;
    std::atomic<bool> restart_{false};  // enabled or interval changed: start a new deadline
    std::thread thread_;
};
