#include "media/tape/AudioFile.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace tape {
namespace {

// libsndfile's virtual I/O over a tape source (read only).
using ReadCursor = AudioReader::Cursor;

sf_count_t SourceLength(void* user) {
    return static_cast<ReadCursor*>(user)->source->Size();
}
sf_count_t SourceSeek(sf_count_t offset, int whence, void* user) {
    auto* c = static_cast<ReadCursor*>(user);
    const int64_t size = c->source->Size();
    const int64_t base = whence == SEEK_CUR ? c->position : whence == SEEK_END ? size : 0;
    const int64_t target = base + offset;
    if (target < 0) return -1;
    c->position = target;
    return target;
}
sf_count_t SourceRead(void* out, sf_count_t count, void* user) {
    auto* c = static_cast<ReadCursor*>(user);
    if (count <= 0) return 0;
    const size_t got =
        c->source->ReadAt(c->position, static_cast<uint8_t*>(out), static_cast<size_t>(count));
    c->position += static_cast<int64_t>(got);
    return static_cast<sf_count_t>(got);
}
sf_count_t NoWrite(const void*, sf_count_t, void*) {
    return 0;
}
sf_count_t SourceTell(void* user) {
    return static_cast<ReadCursor*>(user)->position;
}

// A growing byte string for libsndfile to write a whole file into.
struct WriteCursor {
    std::string bytes;
    int64_t position = 0;
};

sf_count_t SinkLength(void* user) {
    return static_cast<sf_count_t>(static_cast<WriteCursor*>(user)->bytes.size());
}
sf_count_t SinkSeek(sf_count_t offset, int whence, void* user) {
    auto* c = static_cast<WriteCursor*>(user);
    const int64_t base = whence == SEEK_CUR   ? c->position
                         : whence == SEEK_END ? static_cast<int64_t>(c->bytes.size())
                                              : 0;
    if (base + offset < 0) return -1;
    c->position = base + offset;
    return c->position;
}
sf_count_t SinkRead(void* out, sf_count_t count, void* user) {
    auto* c = static_cast<WriteCursor*>(user);
    const int64_t size = static_cast<int64_t>(c->bytes.size());
    const int64_t n = std::clamp<int64_t>(size - c->position, 0, count);
    if (n > 0) std::memcpy(out, c->bytes.data() + c->position, static_cast<size_t>(n));
    c->position += n;
    return n;
}
sf_count_t SinkWrite(const void* data, sf_count_t count, void* user) {
    auto* c = static_cast<WriteCursor*>(user);
    const size_t end = static_cast<size_t>(c->position + count);
    if (end > c->bytes.size()) c->bytes.resize(end);
    std::memcpy(c->bytes.data() + c->position, data, static_cast<size_t>(count));
    c->position += count;
    return count;
}
sf_count_t SinkTell(void* user) {
    return static_cast<WriteCursor*>(user)->position;
}

std::string ContainerName(int format) {
    SF_FORMAT_INFO info{};
    info.format = format & SF_FORMAT_TYPEMASK;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 &&
        info.extension != nullptr) {
        std::string name = info.extension;
        for (char& ch : name) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        return name;
    }
    return "?";
}

}  // namespace

AudioReader::AudioReader(TapeSource& source) : cursor_{&source, 0} {
    SF_VIRTUAL_IO io{SourceLength, SourceSeek, SourceRead, NoWrite, SourceTell};
    SF_INFO info{};
    SNDFILE* file = sf_open_virtual(&io, SFM_READ, &info, &cursor_);
    if (file == nullptr) {
        error_ = sf_strerror(nullptr);
        return;
    }
    file_ = file;
    format_.channels = info.channels;
    format_.sampleRate = info.samplerate;
    format_.container = ContainerName(info.format);
    switch (info.format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8:
        case SF_FORMAT_ULAW:
        case SF_FORMAT_ALAW: format_.bitsPerSample = 8; break;
        case SF_FORMAT_PCM_16: format_.bitsPerSample = 16; break;
        case SF_FORMAT_PCM_24: format_.bitsPerSample = 24; break;
        case SF_FORMAT_PCM_32: format_.bitsPerSample = 32; break;
        case SF_FORMAT_FLOAT:
            format_.bitsPerSample = 32;
            format_.isFloat = true;
            break;
        case SF_FORMAT_DOUBLE:
            format_.bitsPerSample = 64;
            format_.isFloat = true;
            break;
        default: break;
    }
}

AudioReader::~AudioReader() {
    if (file_ != nullptr) sf_close(static_cast<SNDFILE*>(file_));
}

size_t AudioReader::Read(float* out, size_t frames) {
    if (file_ == nullptr || frames == 0) return 0;
    const sf_count_t got =
        sf_readf_float(static_cast<SNDFILE*>(file_), out, static_cast<sf_count_t>(frames));
    if (got <= 0) return 0;
    // Float files may hold anything; what is no number, or far beyond full scale, is cut.
    const size_t samples = static_cast<size_t>(got) * static_cast<size_t>(format_.channels);
    for (size_t i = 0; i < samples; ++i) {
        out[i] = out[i] == out[i] ? std::clamp(out[i], -4.0f, 4.0f) : 0.0f;
    }
    return static_cast<size_t>(got);
}

AudioContainer ContainerFor(const std::string& path) {
    if (path.size() < 5) return AudioContainer::Wav;
    std::string ending = path.substr(path.size() - 5);
    for (char& c : ending) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ending == ".flac" ? AudioContainer::Flac : AudioContainer::Wav;
}

std::string EncodeSamples(const std::vector<int16_t>& samples, int sampleRate,
                          AudioContainer container, std::string* error) {
    WriteCursor sink;
    SF_VIRTUAL_IO io{SinkLength, SinkSeek, SinkRead, SinkWrite, SinkTell};
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 1;
    info.format =
        (container == AudioContainer::Flac ? SF_FORMAT_FLAC : SF_FORMAT_WAV) | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open_virtual(&io, SFM_WRITE, &info, &sink);
    if (file == nullptr) {
        if (error != nullptr) *error = sf_strerror(nullptr);
        return {};
    }
    const sf_count_t want = static_cast<sf_count_t>(samples.size());
    const sf_count_t wrote = sf_writef_short(file, samples.data(), want);
    const std::string why = sf_strerror(file);
    if (sf_close(file) != 0 || wrote != want) {
        if (error != nullptr) *error = why;
        return {};
    }
    return std::move(sink.bytes);
}

}  // namespace tape
