#pragma once

// Keeps PortAudio initialised for as long as it lives. PortAudio counts its initialisations, so
// sessions may overlap; device lists and streams are only valid inside one. Terminating the last
// session closes any stream still open.
class PortAudioSession {
  public:
    PortAudioSession();
    ~PortAudioSession();
    PortAudioSession(const PortAudioSession&) = delete;
    PortAudioSession& operator=(const PortAudioSession&) = delete;

    // False when PortAudio could not start (no audio system at all): there are then no devices.
    bool Ready() const { return ready_; }

  private:
    bool ready_ = false;
};
