#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/tape/TapeSource.h"

// Sound files through libsndfile: whatever it reads (WAV, W64, FLAC, AIFF, OGG/Vorbis, Opus ...)
// as floats, and the tape signal written as WAV or FLAC.
namespace tape {

struct AudioFormat {
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;  // of the stored samples; 0 for a compressed stream (Vorbis, Opus)
    bool isFloat = false;
    std::string container;  // "WAV", "FLAC", "OGG" ...
};

// A sound file read from a tape source, in pieces; the source must outlive it.
class AudioReader {
  public:
    explicit AudioReader(TapeSource& source);
    ~AudioReader();
    AudioReader(const AudioReader&) = delete;
    AudioReader& operator=(const AudioReader&) = delete;

    // False when libsndfile cannot read the source; Error() says why, in its words.
    bool IsOpen() const { return file_ != nullptr; }
    const std::string& Error() const { return error_; }
    const AudioFormat& Format() const { return format_; }
    // Up to `frames` frames, interleaved, at full scale ±1 (a float file as stored, cut at ±4
    // and without NaNs); the frames read, 0 at the end.
    size_t Read(float* out, size_t frames);

    // Where libsndfile reads in the source.
    struct Cursor {
        TapeSource* source;
        int64_t position = 0;
    };

  private:
    Cursor cursor_;
    void* file_ = nullptr;  // SNDFILE
    std::string error_;
    AudioFormat format_;
};

enum class AudioContainer { Wav, Flac };

// The container a file name asks for: FLAC for ".flac" (any case), else WAV.
AudioContainer ContainerFor(const std::string& path);

// 16-bit mono samples as a whole file; empty (with `error` set) when libsndfile refuses.
std::string EncodeSamples(const std::vector<int16_t>& samples, int sampleRate,
                          AudioContainer container, std::string* error = nullptr);

}  // namespace tape
