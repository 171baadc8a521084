#pragma once

#include <memory>
#include <vector>

#include "host/audio/SoundDriver.h"
#include "host/audio/SoundStream.h"

// Stands in for the audio device: the test plays the device's part by pulling frames.
class FakeSoundStream : public SoundStream {
  public:
    explicit FakeSoundStream(Fill fill) : fill_(fill) {}

    bool Start() override {
        ++starts;
        active_ = true;
        return true;
    }
    bool Stop() override {
        ++stops;
        active_ = false;
        return true;
    }
    void Abort() override { active_ = false; }
    bool IsActive() const override { return active_; }
    bool IsStopped() const override { return !active_; }

    std::vector<SoundFrame> Pull(int frames) {
        std::vector<SoundFrame> out(static_cast<size_t>(frames), SoundFrame{-1, -1});
        fill_(out.data(), static_cast<unsigned long>(frames));
        return out;
    }

    int starts = 0;
    int stops = 0;

  private:
    Fill fill_;
    bool active_ = false;
};

// Fills the ring once (which starts the stream) and lets the device take it all, so that every
// block produced from then on is the next one the device plays.
inline void PrimeAndDrain(SoundDriver& driver, FakeSoundStream& stream) {
    for (int i = 0; i < SoundRing::kBlocks; ++i) driver.ProduceBlock();
    stream.Pull(static_cast<int>(driver.GetStatistics().framesProduced));
}

// An opener that hands out fake streams and remembers the last one; `refuse` makes it fail as a
// device without information or one that will not open.
struct FakeStreamOpener {
    FakeSoundStream* last = nullptr;
    int lastDevice = -2;
    bool refuse = false;

    SoundDriver::StreamOpener Opener() {
        return [this](int device, SoundStream::Fill fill) -> std::unique_ptr<SoundStream> {
            lastDevice = device;
            if (refuse) return nullptr;
            auto stream = std::make_unique<FakeSoundStream>(fill);
            last = stream.get();
            return stream;
        };
    }
};
