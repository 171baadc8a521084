#include "emulator/TPreciseTimer.h"

TPreciseTimer::TPreciseTimer() : thread_([this] { ThreadMain(); }) {}

TPreciseTimer::~TPreciseTimer() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        enabled_ = false;
        quit_ = true;
    }
    wake_.notify_all();
    stopped_.notify_all();
    thread_.join();
}

void TPreciseTimer::SetEnabled(bool enabled) {
    if (std::this_thread::get_id() == thread_.get_id()) {
        // From inside the callback, which runs without the lock: the thread looks at the flag
        // before its next call. The lock is only for a watcher waiting for the stop.
        std::lock_guard<std::mutex> lock(mutex_);
        enabled_ = enabled;
        restart_ = true;
        if (!enabled) stopped_.notify_all();
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (enabled_ == enabled) return;
        enabled_ = enabled;
        restart_ = true;
    }
    wake_.notify_all();
    if (!enabled) stopped_.notify_all();
}

void TPreciseTimer::SetIntervalMicros(int us) {
    if (us <= 0 || us == interval_) return;
    if (std::this_thread::get_id() == thread_.get_id()) {
        // From the callback: the thread reads the new interval when the call returns, so there
        // is nobody to wake. The run loop changes it whenever it starts or stops catching up.
        interval_ = us;
        restart_ = true;
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        interval_ = us;
        restart_ = true;
    }
    wake_.notify_all();
}

bool TPreciseTimer::WaitDisabled(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    return stopped_.wait_for(lock, timeout, [this] { return quit_ || !enabled_; });
}

void TPreciseTimer::WaitIdle() {
    if (std::this_thread::get_id() == thread_.get_id()) return;
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return !inCallback_; });
}

void TPreciseTimer::SetOnTimer(Closure<void()> callback) {
    std::lock_guard<std::mutex> lock(mutex_);
    callback_ = callback;
}

void TPreciseTimer::ThreadMain() {
    using Clock = std::chrono::steady_clock;
    std::unique_lock<std::mutex> lock(mutex_);
    Clock::time_point deadline{};
    for (;;) {
        wake_.wait(lock, [this] { return quit_ || enabled_; });
        if (quit_) return;
        auto period = std::chrono::microseconds(interval_.load());
        if (restart_) {
            restart_ = false;
            deadline = Clock::now() + period;
        }
        // Sleep to the deadline, waking early only to quit or to be stopped.
        if (wake_.wait_until(lock, deadline, [this] { return quit_ || !enabled_ || restart_; })) {
            continue;
        }
        Closure<void()> callback = callback_;
        // Decided under the lock, so a SetEnabled(false) either comes before (and no call is
        // made) or WaitIdle sees this call.
        inCallback_ = true;
        lock.unlock();
        if (!busy_.exchange(true)) {
            callback();
            busy_ = false;
        }
        lock.lock();
        inCallback_ = false;
        idle_.notify_all();
        deadline += period;
        Clock::time_point now = Clock::now();
        if (deadline <= now) {
            // Late: skip whole periods, keeping the phase, rather than calling in a burst.
            auto behind = (now - deadline) / period + 1;
            dropped_ += static_cast<long>(behind);
            deadline += period * behind;
        }
    }
}
