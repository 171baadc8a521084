#include "host/audio/PortAudioSession.h"

#include <fcntl.h>
#include <portaudio.h>
#include <stdlib.h>
#include <unistd.h>

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

bool Initialize() {
    // Nothing should start a JACK server just to be asked for its devices.
    setenv("JACK_NO_START_SERVER", "1", 0);
    QuietStderr quiet;
    return Pa_Initialize() == paNoError;
}

}  // namespace

PortAudioSession::PortAudioSession() : ready_(Initialize()) {}

PortAudioSession::~PortAudioSession() {
    if (!ready_) return;
    QuietStderr quiet;
    Pa_Terminate();
}
