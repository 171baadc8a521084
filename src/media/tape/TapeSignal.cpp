#include "media/tape/TapeSignal.h"

#include "machine/IfInterrupt.h"
#include "machine/IfSerial.h"
#include "machine/IfTape.h"

namespace tape {
namespace {

// Listens to the tape interface as the sound output would, with monitoring on.
struct Recorder {
    bool OnEvent(int code) {
        if (code == IfTape::kEventEndOfRecord) ended = true;
        return code == IfTape::kEventMonitorQuery;
    }
    void OnLevel(int /*channel*/, int level, int32_t tick) {
        // Ticks since the record's start, to the sample they fall in on a tape running at
        // `speed` times its nominal speed.
        const auto at = static_cast<int64_t>(static_cast<double>(recordStart + tick) *
                                             kSignalSampleRate / (kSignalClock * speed));
        while (static_cast<int64_t>(samples.size()) < at) samples.push_back(current);
        current = static_cast<int16_t>(level != 0 ? kSignalAmplitude : -kSignalAmplitude);
    }
    std::vector<int16_t> samples;
    int16_t current = 0;
    int64_t recordStart = 0;  // in ticks from the start of the signal
    double speed = 1;
    bool ended = false;
};

}  // namespace

std::vector<int16_t> PlaySignal(const std::vector<std::vector<uint8_t>>& records, double speed) {
    IfInterrupt interrupts;
    IfSerial serial(&interrupts);
    IfTape tape;
    Recorder recorder;
    recorder.speed = speed;
    tape.SetEventSink(IfTape::EventSink::Bind<&Recorder::OnEvent>(&recorder));
    tape.SetSoundSink(SoundLevelOutput::Bind<&Recorder::OnLevel>(&recorder));
    // The pause lasts its second whatever the speed.
    const auto pause = static_cast<int64_t>(kSignalPauseSeconds * kSignalClock * speed);
    bool first = true;
    for (const std::vector<uint8_t>& data : records) {
        if (data.empty()) continue;
        if (!first) {
            recorder.OnLevel(1, 0, 0);
            recorder.current = 0;
            recorder.recordStart += pause;
        }
        first = false;
        recorder.ended = false;
        tape.StartPlayback(data.data(), static_cast<int32_t>(data.size()), false);
        // One half-period per call; a record of the largest size takes under 2^31 ticks.
        int32_t tick = 0;
        while (!recorder.ended && tape.PlayState() != IfTape::kIdle) {
            tick += IfTape::kHalfPeriodTicks;
            tape.OnTicks(&serial, tick, IfTape::kHalfPeriodTicks);
        }
        recorder.recordStart += tick;
        recorder.OnLevel(1, 0, 0);  // the last half-period's samples
        tape.StopPlayback();
    }
    return recorder.samples;
}

std::string SignalFile(const std::vector<int16_t>& samples, AudioContainer container,
                       std::string* error) {
    return EncodeSamples(samples, kSignalSampleRate, container, error);
}

}  // namespace tape
