#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/TempFolder.h"

extern char** environ;

// What the sound tests need around them: a private home whose ALSA and PulseAudio settings are
// the test's own, helper processes (a sound server, a recorder) and the recorded samples.
namespace soundtest {

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

inline void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

// The default ALSA device writes raw PCM into `output` and discards it; it has no clock, so the
// device takes frames as fast as they come.
inline std::string AlsaFileDeviceConfig(const std::filesystem::path& output) {
    return "pcm.!default {\n"
           "  type file\n"
           "  slave.pcm \"null\"\n"
           "  file \"" +
           output.string() +
           "\"\n"
           "  format \"raw\"\n"
           "}\n";
}

inline std::string AlsaPulseConfig() {
    return "pcm.!default { type pulse }\nctl.!default { type pulse }\n";
}

inline bool ProgramExists(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        const std::filesystem::path candidate =
            std::filesystem::path(folders.substr(start, end - start)) / name;
        if (access(candidate.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

// A helper program started by the test (its output to a file), stopped by its process id.
class ChildProcess {
  public:
    ChildProcess(const std::vector<std::string>& argv, const std::filesystem::path& output) {
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const std::string log = output.string() + ".log";
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~ChildProcess() { Stop(); }

    bool Running() {
        if (pid_ <= 0) return false;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return false;
        }
        return true;
    }
    void Signal(int signal) {
        if (pid_ > 0) kill(pid_, signal);
    }
    // Asks the process to end, and makes sure it has after two seconds.
    void Stop() {
        if (pid_ <= 0) return;
        kill(pid_, SIGCONT);
        kill(pid_, SIGTERM);
        for (int i = 0; i < 200; ++i) {
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

  private:
    pid_t pid_ = -1;
};

// Interleaved 16-bit stereo samples as a device wrote them.
inline std::vector<int16_t> ReadSamples(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<int16_t> samples;
    uint8_t bytes[2];
    while (in.read(reinterpret_cast<char*>(bytes), 2)) {
        samples.push_back(static_cast<int16_t>(bytes[0] | (bytes[1] << 8)));
    }
    if (samples.size() % 2 != 0) samples.pop_back();
    return samples;
}

// Calls onPeriod(droppedSoFar) at absolute deadlines `period` apart for `duration`, as the
// emulator's timer thread does: a deadline already missed by a whole period is dropped, not made
// up in a burst. Returns how many were dropped (a busy host falls behind this way).
template <typename F>
int64_t RunPeriods(std::chrono::nanoseconds period, std::chrono::nanoseconds duration,
                   F&& onPeriod) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + duration;
    Clock::time_point deadline = Clock::now();
    int64_t dropped = 0;
    while (deadline < end) {
        onPeriod(dropped);
        deadline += period;
        const Clock::time_point now = Clock::now();
        while (deadline + period <= now) {
            deadline += period;
            ++dropped;
        }
        std::this_thread::sleep_until(deadline);
    }
    return dropped;
}

}  // namespace soundtest
