#pragma once

#include <chrono>
#include <functional>
#include <optional>

// Keeps PortAudio initialised for as long as it lives. PortAudio counts its initialisations, so
// sessions may overlap; device lists and streams are only valid inside one. Terminating the last
// session closes any stream still open.
class PortAudioSession {
  public:
    // How long PortAudio may take to look at the host's sound systems before the program goes
    // on without sound. Normally well under a second.
    static constexpr std::chrono::milliseconds kAnswer{8000};

    PortAudioSession();
    ~PortAudioSession();
    PortAudioSession(const PortAudioSession&) = delete;
    PortAudioSession& operator=(const PortAudioSession&) = delete;

    // False when PortAudio could not start (no audio system at all, or one that did not answer):
    // there are then no devices.
    bool Ready() const { return ready_; }

  private:
    bool ready_ = false;
};

// Runs call on a thread of its own and waits at most `answer` for its result. Without an answer
// the thread is left to end on its own (it must own everything it touches) and nothing is
// returned.
std::optional<bool> CallWithin(std::function<bool()> call, std::chrono::milliseconds answer);
