#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/audio/SoundFrame.h"

namespace media {

// A recording of the session written through FFmpeg's libraries, encoded on a thread of its own
// so that the machine never waits for the encoder: a video (the picture at 50 frames a second of
// emulated time with the sound) or the sound alone. The container follows the file name:
//   .mkv   FFV1 (lossless, planar RGB) and FLAC
//   .mp4   H.264 and AAC
//   .webm  VP9 and Opus
//   .wav   16-bit PCM, .flac FLAC: the sound alone, at its own rate, sample for sample
// The file is written under a temporary name beside the target and takes the target's name only
// once it is finished (trailer and all), so a run that dies leaves no half file in its place.
class MediaRecorder {
  public:
    static constexpr int kFramesPerSecond = 50;
    static constexpr int kWidth = 512;
    static constexpr int kHeight = 512;
    // The sound comes at this rate; a video's audio track is resampled to its encoder's rate.
    static constexpr int kSoundRate = 44000;

    enum class Kind { Video, Sound };
    struct Options {
        // A full queue makes the submitter wait instead of dropping: for runs that are not paced
        // (the headless maximum speed), where waiting costs nothing but time.
        bool waitWhenFull = false;
        int queueFrames = 25;  // half a second of pictures
    };

    // Null, with the reason in `error`, when the name's container is unknown for the kind, an
    // encoder is missing from this FFmpeg, or the file cannot be opened.
    static std::unique_ptr<MediaRecorder> Open(const std::string& path, Kind kind,
                                               const Options& options, std::string* error);
    ~MediaRecorder();  // finishes the file when Finish was not called
    MediaRecorder(const MediaRecorder&) = delete;
    MediaRecorder& operator=(const MediaRecorder&) = delete;

    // Picture `index` (0 for the first, 50 a second), kWidth × kHeight palette indices; an index
    // that skips others repeats the picture before for them. False when the queue was full and
    // the picture was dropped (it is repeated from the one before as well).
    bool SubmitPicture(int64_t index, const uint8_t* indices,
                       const std::array<uint32_t, 16>& palette);
    // The next `count` frames of sound. Never dropped while the queue has room for ten seconds
    // of it; past that they become silence, so the track keeps its length.
    void SubmitSound(const SoundFrame* frames, int count);

    // Drains the queue, writes the trailer and puts the file in place. False, with the reason,
    // when writing failed at any point (the temporary is removed then).
    bool Finish(std::string* error);

    // The first failure met while writing (a full disk), or empty; from any thread.
    std::string Failure() const;
    int64_t DroppedPictures() const { return droppedPictures_.load(); }
    const std::string& Path() const { return path_; }
    Kind GetKind() const { return kind_; }

    struct Encoder;  // FFmpeg's side

  private:
    struct Item {
        bool picture = false;
        int64_t index = 0;  // picture index, or the first sound frame's position
        std::vector<uint8_t> pixels;
        std::array<uint32_t, 16> palette{};
        std::vector<SoundFrame> sound;
    };

    MediaRecorder(std::string path, Kind kind, const Options& options,
                  std::unique_ptr<Encoder> encoder);
    void Push(Item item);
    void Work();

    const std::string path_;
    const Kind kind_;
    const Options options_;
    std::unique_ptr<Encoder> encoder_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Item> queue_;
    int queuedPictures_ = 0;
    int64_t queuedSound_ = 0;
    bool closing_ = false;
    bool finished_ = false;
    std::string failure_;
    std::atomic<int64_t> droppedPictures_{0};
    int64_t soundPosition_ = 0;  // frames submitted, dropped ones included
    std::thread worker_;
};

}  // namespace media
