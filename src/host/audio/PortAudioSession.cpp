#include "host/audio/PortAudioSession.h"

#include <fcntl.h>
#include <portaudio.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <future>
#include <memory>
#include <thread>

namespace {

// While PortAudio looks at the host's sound systems, ALSA and JACK describe every card and
// server they cannot find on stderr; none of it is an error of ours, and a machine without
// sound runs silently as it should. Their chatter goes to /dev/null for that moment.
class QuietStderr {
  public:
    QuietStderr() {
        saved_ = dup(STDERR_FILENO);
        int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved_ >= 0 && null >= 0) dup2(null, STDERR_FILENO);
        if (null >= 0) close(null);
    }
    ~QuietStderr() {
        if (saved_ < 0) return;
        dup2(saved_, STDERR_FILENO);
        close(saved_);
    }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

  private:
    int saved_ = -1;
};

// Set once PortAudio failed to answer: its start is still blocked somewhere, and asking again
// would only block another thread.
std::atomic<bool> unanswered{false};

bool Initialize() {
    if (unanswered.load()) return false;
    // Nothing should start a JACK server just to be asked for its devices.
    setenv("JACK_NO_START_SERVER", "1", 0);
    std::optional<bool> started;
    {
        QuietStderr quiet;
        // JACK's client library takes a lock in shared memory while it starts; a JACK client
        // killed at that moment leaves the lock held and every later start waits on it for ever.
        // A program that hangs before its window opens is worse than one without sound.
        started =
            CallWithin([] { return Pa_Initialize() == paNoError; }, PortAudioSession::kAnswer);
    }
    if (started) return *started;
    unanswered.store(true);
    std::fprintf(stderr,
                 "tevrinemu: the host's audio system did not answer in %lld s (a JACK client "
                 "killed while it started can leave its lock in /dev/shm held); running "
                 "without sound\n",
                 static_cast<long long>(PortAudioSession::kAnswer.count() / 1000));
    return false;
}

}  // namespace

std::optional<bool> CallWithin(std::function<bool()> call, std::chrono::milliseconds answer) {
    auto result = std::make_shared<std::promise<bool>>();
    std::future<bool> answered = result->get_future();
    std::thread([result, call = std::move(call)] { result->set_value(call()); }).detach();
    if (answered.wait_for(answer) != std::future_status::ready) return std::nullopt;
    return answered.get();
}

PortAudioSession::PortAudioSession() : ready_(Initialize()) {}

PortAudioSession::~PortAudioSession() {
    if (!ready_) return;
    QuietStderr quiet;
    Pa_Terminate();
}
