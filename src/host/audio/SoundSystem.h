#pragma once

#include <atomic>
#include <memory>
#include <optional>

#include "host/audio/PortAudioSession.h"
#include "host/audio/SoundCapture.h"
#include "host/audio/SoundDriver.h"
#include "host/audio/SoundSettings.h"
#include "machine/Muse.h"
#include "machine/SoundLevelOutput.h"

class IfGPIO;

// Everything audible, as the machine owns it: PortAudio for the program's lifetime, the sound
// driver (absent when no device is configured) and the Muse board. It applies the settings
// groups 8 (device), 9 (volumes and mute) and 17 (Muse) and forwards the run loop's and the
// main window's calls. All of it runs on the window's thread with the machine paused, except
// ProduceBlock (the run loop) and the level output (the sources, on the emulation thread).
class SoundSystem {
  public:
    // shuttingDown is the program-wide flag; opener replaces PortAudio (tests), in which case
    // PortAudio is not started at all.
    explicit SoundSystem(const std::atomic<bool>* shuttingDown = nullptr,
                         SoundDriver::StreamOpener opener = {});
    // Removes the Muse first: the port it sits on must still exist.
    ~SoundSystem();
    SoundSystem(const SoundSystem&) = delete;
    SoundSystem& operator=(const SoundSystem&) = delete;

    // Group 8: replaces the driver by one on settings.deviceIndex (none when negative), with
    // three channels when the Muse is fitted. A board that exists is attached to the new driver,
    // and the stored mute state holds for it.
    void ApplyDevice(const SoundSettings& settings);
    // Group 9: volumes, and mute when settings.mute (the main window sets its toggle from it).
    void ApplyVolumes(const SoundSettings& settings);
    // Group 17: the board is rebuilt on the port when a driver exists and settings.muse.
    void ApplyMuse(const SoundSettings& settings, IfGPIO* gpio);
    // Before the port the board sits on is destroyed (a machine rebuild).
    void RemoveMuse();

    // The sound toggle.
    void SetMuted(bool muted);

    // What the speaker and tape sources hold: the driver's SetLevel and the capture's, nothing
    // while there is neither (a capture started later reconnects the sources). Safe to
    // keep across a driver change (it reaches the driver through this object), though the
    // sources are reconnected after group 8 all the same.
    SoundLevelOutput LevelOutput();

    // A recording of what is played, in emulated time, with or without a device: from now on
    // every period's frames go to `sink` (see SoundCapture). The settings give the volumes and
    // whether the Muse is fitted. With the machine held off.
    void StartCapture(const SoundSettings& settings, SoundCapture::Sink sink);
    void StopCapture();
    bool Capturing() const { return capture_ != nullptr; }
    // The run loop, after every period of `budget` ticks.
    void EndPeriod(int32_t budget) {
        if (capture_ != nullptr) capture_->EndPeriod(budget);
    }

    // The run loop at speed 1.0: true means skip this period.
    bool ProduceBlock() { return driver_ != nullptr && driver_->ProduceBlock(); }
    // The run loop, at the start of every period. At normal speed the block is closed and true
    // means skip this period; at any other speed nothing is produced (the device hears the held
    // frame), and the return to normal speed primes the ring again.
    bool ProducePeriod(bool normalSpeed);
    // A device paces the machine at normal speed (see SoundDriver::Paces).
    bool Paces() const { return driver_ != nullptr && driver_->Paces(); }
    // ... and has eaten into the ring's margin (see SoundDriver::Behind).
    bool Behind() const { return Paces() && driver_->Behind(); }
    void PauseStream();
    void ResumeStream();

    SoundDriver* Driver() const { return driver_.get(); }
    Muse* MuseUnit() const { return muse_.get(); }
    // False when PortAudio could not start: there is no device to list or open.
    bool AudioAvailable() const { return session_.has_value() && session_->Ready(); }

    // A stored volume outside 0..100 counts as 90.
    static int SanitizedVolume(int percent);

  private:
    void ForwardLevel(int channel, int level, int32_t tick);
    // Who advances the Muse board: the capture when there is one, else the driver.
    void WireMuse();

    std::optional<PortAudioSession> session_;  // first in, last out
    const std::atomic<bool>* shuttingDown_;
    SoundDriver::StreamOpener opener_;
    std::unique_ptr<SoundDriver> driver_;
    std::unique_ptr<Muse> muse_;
    std::unique_ptr<SoundCapture> capture_;
    bool normalSpeed_ = true;  // the last period ran at normal speed (run loop only)
};
