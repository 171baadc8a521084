#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "media/tape/AudioFile.h"
#include "media/tape/TapeMessage.h"
#include "media/tape/TapeSource.h"

// Recordings of a cassette (".wav", ".flac" ...) read back into tape records: the inverse of the
// tape signal that the tape interface plays. A recording may come from a real recorder, so the
// decoder takes what cassettes do to the signal: speed off and wandering, either polarity, DC,
// noise, the cassette's narrow band, level changes, silence and clicks between records.
namespace tape {

// The bit rate the tape interface plays: a bit is 1666 ticks of the 2 MHz clock.
inline constexpr double kNominalBitRate = 2000000.0 / 1666.0;
inline constexpr int kMinRecordingRate = 22050;
inline constexpr int kMaxRecordingRate = 384000;

using RecordingFormat = AudioFormat;

// One record found on the recording.
struct DecodedRecord {
    // The record's data as a tape image stores it after the type byte: every block copy that
    // was found, in the order it was heard, checksum failures included.
    std::vector<uint8_t> data;
    uint8_t number = 0;  // from the blocks, bit 7 cleared
    uint8_t fileType = 0;
    int blocks = 0;  // distinct blocks: the highest block number heard + 1
    int blocksWithoutGoodCopy = 0;
    double bitsPerSecond = 0;  // measured over the record's blocks
    double startSeconds = 0;   // where its first block begins on the recording
};

// Why a file is no recording that can be read.
enum class RecordingRefusal { None, NotAudio, Channels, SampleRate };

struct RecordingResult {
    std::string error;  // why the file is no recording that can be read; empty when it is
    RecordingRefusal refusal = RecordingRefusal::None;
    // What the refusal names: libsndfile's reason, the channels, or the sample rate.
    std::vector<std::string> refusalValues;
    RecordingFormat format;
    int channel = 0;  // the channel the records were found on
    std::vector<DecodedRecord> records;
    double seconds = 0;  // the recording's length
};

// True for a file name with the ending of a sound file (".wav", ".flac", ".aiff", ".ogg" ...,
// any case).
bool IsRecordingPath(const std::string& path);

// Reads a sound file libsndfile reads (WAV, W64, FLAC, AIFF, OGG ...: integer samples of 8 to
// 32 bits, float, compressed; mono or stereo; 22,050 Hz or more) and finds the records on it.
// Reads the source in pieces: memory grows with the records found, not with the recording.
RecordingResult DecodeRecording(TapeSource& source);

// The records as a tape image (".pta"): one data record each.
std::string RecordingImage(const RecordingResult& result);

// One line per record: index, number, file type, blocks, blocks with no good copy, speed.
std::string RecordReportLine(int index, const DecodedRecord& record);

// The tape browser's way to a recording: decodes the file at `path` into a tape image in a
// folder of its own under the system's temporary folder, under the recording's own file name
// (the browser's caption shows it). Returns the image's path; empty when the file cannot be
// read, is no recording, or holds no record, and then `why` (when given) says which, in the
// browser's language keys ("err.NoRecords.*", the file name first).
std::string DecodeRecordingToImage(const std::string& path, TapeMessage* why = nullptr);
// Writes `bytes` as `fileName` in a new folder of its own under the system's temporary
// folder; the path, or empty when it cannot be written.
std::string WritePrivateImage(const std::string& fileName, std::string_view bytes);
// Deletes such an image and its folder (anything else is left alone).
void RemoveRecordingImage(const std::string& imagePath);

}  // namespace tape
