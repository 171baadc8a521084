#include "media/recording/MediaRecorder.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <filesystem>
#include <system_error>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace media {
namespace {

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

std::string LowerExtension(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

struct Container {
    const char* extension;
    MediaRecorder::Kind kind;
    const char* muxer;
    const char* videoEncoder;  // null for the sound alone
    AVPixelFormat pixels;
    const char* soundEncoder;
    int soundRate;
};

// Lossless pictures in the .mkv as RGB, so a decoded frame gives back the very pixels.
constexpr Container kContainers[] = {
    {".mkv", MediaRecorder::Kind::Video, "matroska", "ffv1", AV_PIX_FMT_BGR0, "flac", 48000},
    {".mp4", MediaRecorder::Kind::Video, "mp4", "libx264", AV_PIX_FMT_YUV420P, "aac", 48000},
    {".webm", MediaRecorder::Kind::Video, "webm", "libvpx-vp9", AV_PIX_FMT_YUV420P, "libopus",
     48000},
    {".wav", MediaRecorder::Kind::Sound, "wav", nullptr, AV_PIX_FMT_NONE, "pcm_s16le",
     MediaRecorder::kSoundRate},
    {".flac", MediaRecorder::Kind::Sound, "flac", nullptr, AV_PIX_FMT_NONE, "flac",
     MediaRecorder::kSoundRate},
};

std::string Names(MediaRecorder::Kind kind) {
    std::string names;
    for (const Container& c : kContainers) {
        if (c.kind != kind) continue;
        if (!names.empty()) names += ", ";
        names += c.extension;
    }
    return names;
}

}  // namespace

struct MediaRecorder::Encoder {
    AVFormatContext* format = nullptr;
    AVCodecContext* video = nullptr;
    AVStream* videoStream = nullptr;
    AVCodecContext* sound = nullptr;
    AVStream* soundStream = nullptr;
    SwsContext* scaler = nullptr;
    SwrContext* resampler = nullptr;
    AVFrame* rgb = nullptr;
    AVFrame* picture = nullptr;
    AVFrame* soundFrame = nullptr;
    AVAudioFifo* fifo = nullptr;
    AVPacket* packet = nullptr;
    int soundChunk = 1024;
    bool smallLastChunk = false;
    int64_t nextPicture = 0;
    int64_t soundPts = 0;
    int64_t soundWritten = 0;  // input frames taken, for gaps
    std::string tempPath;
    bool headerWritten = false;
    bool opened = false;  // the file exists on disk

    ~Encoder() {
        avcodec_free_context(&video);
        avcodec_free_context(&sound);
        sws_freeContext(scaler);
        swr_free(&resampler);
        av_frame_free(&rgb);
        av_frame_free(&picture);
        av_frame_free(&soundFrame);
        if (fifo != nullptr) av_audio_fifo_free(fifo);
        av_packet_free(&packet);
        if (format != nullptr) {
            if (format->pb != nullptr) avio_closep(&format->pb);
            avformat_free_context(format);
        }
    }

    std::string Setup(const Container& c, const std::string& target) {
        // Hidden beside the target, as every writer's temporary is.
        const std::filesystem::path place(target);
        tempPath = (place.parent_path() / ("." + place.filename().string() + ".part")).string();
        int rc = avformat_alloc_output_context2(&format, nullptr, c.muxer, tempPath.c_str());
        if (rc < 0 || format == nullptr)
            return "this FFmpeg has no " + std::string(c.muxer) + " muxer";
        packet = av_packet_alloc();
        // The same run makes the same file: no random identifiers, dates or version strings.
        format->flags |= AVFMT_FLAG_BITEXACT;
        const bool globalHeader = (format->oformat->flags & AVFMT_GLOBALHEADER) != 0;
        if (c.videoEncoder != nullptr) {
            const AVCodec* codec = avcodec_find_encoder_by_name(c.videoEncoder);
            if (codec == nullptr) {
                return "this FFmpeg has no " + std::string(c.videoEncoder) +
                       " encoder (needed for " + c.extension + ")";
            }
            video = avcodec_alloc_context3(codec);
            video->width = kWidth;
            video->height = kHeight;
            video->sample_aspect_ratio = {1, 1};
            video->time_base = {1, kFramesPerSecond};
            video->framerate = {kFramesPerSecond, 1};
            video->pix_fmt = c.pixels;
            video->gop_size = kFramesPerSecond;
            // One thread, and that one niced (Work): the encoder takes what the run loop leaves.
            video->thread_count = 1;
            video->flags |= AV_CODEC_FLAG_BITEXACT;
            if (globalHeader) video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
            if (std::string(c.videoEncoder) == "libx264") {
                av_opt_set(video->priv_data, "preset", "veryfast", 0);
                av_opt_set(video->priv_data, "crf", "18", 0);
            } else if (std::string(c.videoEncoder) == "libvpx-vp9") {
                av_opt_set(video->priv_data, "deadline", "realtime", 0);
                av_opt_set(video->priv_data, "cpu-used", "8", 0);
                av_opt_set(video->priv_data, "row-mt", "1", 0);
                av_opt_set(video->priv_data, "crf", "30", 0);
                video->bit_rate = 0;
            } else if (std::string(c.videoEncoder) == "ffv1") {
                // The version with slices, which its threads need.
                av_opt_set(video->priv_data, "level", "3", 0);
                av_opt_set(video->priv_data, "slices", "4", 0);
            }
            if ((rc = avcodec_open2(video, codec, nullptr)) < 0) {
                return std::string("the ") + c.videoEncoder + " encoder refused: " + AvError(rc);
            }
            videoStream = avformat_new_stream(format, nullptr);
            videoStream->time_base = video->time_base;
            videoStream->avg_frame_rate = video->framerate;
            videoStream->sample_aspect_ratio = video->sample_aspect_ratio;
            avcodec_parameters_from_context(videoStream->codecpar, video);
            rgb = av_frame_alloc();
            rgb->format = AV_PIX_FMT_RGB24;
            rgb->width = kWidth;
            rgb->height = kHeight;
            picture = av_frame_alloc();
            picture->format = c.pixels;
            picture->width = kWidth;
            picture->height = kHeight;
            if (av_frame_get_buffer(rgb, 0) < 0 || av_frame_get_buffer(picture, 0) < 0) {
                return "out of memory";
            }
            scaler = sws_getContext(kWidth, kHeight, AV_PIX_FMT_RGB24, kWidth, kHeight, c.pixels,
                                    SWS_POINT | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
            if (scaler == nullptr) return "no conversion to the encoder's pixels";
        }

        const AVCodec* codec = avcodec_find_encoder_by_name(c.soundEncoder);
        if (codec == nullptr) {
            return "this FFmpeg has no " + std::string(c.soundEncoder) + " encoder (needed for " +
                   c.extension + ")";
        }
        sound = avcodec_alloc_context3(codec);
        sound->sample_rate = c.soundRate;
        av_channel_layout_default(&sound->ch_layout, 2);
        sound->sample_fmt =
            codec->sample_fmts != nullptr ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
        // 16 bits in is 16 bits out wherever the encoder takes them.
        for (const AVSampleFormat* f = codec->sample_fmts; f != nullptr && *f != AV_SAMPLE_FMT_NONE;
             ++f) {
            if (*f == AV_SAMPLE_FMT_S16) sound->sample_fmt = AV_SAMPLE_FMT_S16;
        }
        sound->time_base = {1, c.soundRate};
        if (std::string(c.soundEncoder) == "aac" || std::string(c.soundEncoder) == "libopus") {
            sound->bit_rate = 160000;
        }
        if (globalHeader) sound->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        sound->flags |= AV_CODEC_FLAG_BITEXACT;
        if ((rc = avcodec_open2(sound, codec, nullptr)) < 0) {
            return std::string("the ") + c.soundEncoder + " encoder refused: " + AvError(rc);
        }
        soundStream = avformat_new_stream(format, nullptr);
        soundStream->time_base = sound->time_base;
        avcodec_parameters_from_context(soundStream->codecpar, sound);
        const bool variable = (codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) != 0;
        soundChunk = sound->frame_size > 0 && !variable ? sound->frame_size : 1024;
        smallLastChunk = variable || (codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME) != 0;
        fifo = av_audio_fifo_alloc(sound->sample_fmt, 2, soundChunk * 4);
        AVChannelLayout stereo;
        av_channel_layout_default(&stereo, 2);
        rc = swr_alloc_set_opts2(&resampler, &sound->ch_layout, sound->sample_fmt, c.soundRate,
                                 &stereo, AV_SAMPLE_FMT_S16, kSoundRate, 0, nullptr);
        if (rc < 0 || swr_init(resampler) < 0) return "no conversion to the encoder's sound";
        soundFrame = av_frame_alloc();

        if ((rc = avio_open(&format->pb, tempPath.c_str(), AVIO_FLAG_WRITE)) < 0) {
            return "cannot create " + tempPath + ": " + AvError(rc);
        }
        opened = true;
        if ((rc = avformat_write_header(format, nullptr)) < 0) {
            return "cannot write the header: " + AvError(rc);
        }
        headerWritten = true;
        return {};
    }

    // Sends a frame (null: the end) and writes what comes out; an error text, or empty.
    std::string Send(AVCodecContext* codec, AVStream* stream, AVFrame* frame) {
        int rc = avcodec_send_frame(codec, frame);
        if (rc < 0 && rc != AVERROR_EOF) return "encoding failed: " + AvError(rc);
        while ((rc = avcodec_receive_packet(codec, packet)) >= 0) {
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            rc = av_interleaved_write_frame(format, packet);
            if (rc < 0) return "writing failed: " + AvError(rc);
        }
        if (rc != AVERROR(EAGAIN) && rc != AVERROR_EOF) return "encoding failed: " + AvError(rc);
        if (format->pb != nullptr && format->pb->error < 0) {
            return "writing failed: " + AvError(format->pb->error);
        }
        return {};
    }

    std::string EncodePicture(int64_t index, const std::vector<uint8_t>& pixels,
                              const std::array<uint32_t, 16>& palette) {
        // The pictures in between were dropped: the one before stands for them.
        while (nextPicture < index) {
            if (std::string failed = SendPicture(); !failed.empty()) return failed;
        }
        if (index < nextPicture) return {};
        for (int y = 0; y < kHeight; ++y) {
            uint8_t* row = rgb->data[0] + static_cast<ptrdiff_t>(y) * rgb->linesize[0];
            const uint8_t* in = pixels.data() + static_cast<size_t>(y) * kWidth;
            for (int x = 0; x < kWidth; ++x) {
                const uint32_t colour = palette[in[x] & 0x0F];
                row[3 * x] = static_cast<uint8_t>(colour >> 16);
                row[3 * x + 1] = static_cast<uint8_t>(colour >> 8);
                row[3 * x + 2] = static_cast<uint8_t>(colour);
            }
        }
        return SendPicture();
    }

    std::string SendPicture() {
        if (av_frame_make_writable(picture) < 0) return "out of memory";
        sws_scale(scaler, rgb->data, rgb->linesize, 0, kHeight, picture->data, picture->linesize);
        picture->pts = nextPicture++;
        return Send(video, videoStream, picture);
    }

    std::string EncodeSound(int64_t position, const std::vector<SoundFrame>& frames) {
        if (position > soundWritten) {
            // Dropped while the queue was full: silence keeps the track's length.
            std::vector<SoundFrame> silence(static_cast<size_t>(position - soundWritten));
            if (std::string failed = Convert(silence); !failed.empty()) return failed;
        }
        return Convert(frames);
    }

    std::string Convert(const std::vector<SoundFrame>& frames) {
        if (frames.empty()) return {};
        soundWritten += static_cast<int64_t>(frames.size());
        const uint8_t* in[1] = {reinterpret_cast<const uint8_t*>(frames.data())};
        const int room = swr_get_out_samples(resampler, static_cast<int>(frames.size()));
        uint8_t** out = nullptr;
        if (av_samples_alloc_array_and_samples(&out, nullptr, 2, std::max(room, 1),
                                               sound->sample_fmt, 0) < 0) {
            return "out of memory";
        }
        const int got = swr_convert(resampler, out, room, in, static_cast<int>(frames.size()));
        if (got > 0) av_audio_fifo_write(fifo, reinterpret_cast<void**>(out), got);
        av_freep(&out[0]);
        av_freep(&out);
        if (got < 0) return "resampling failed: " + AvError(got);
        return DrainFifo(false);
    }

    std::string DrainFifo(bool last) {
        while (av_audio_fifo_size(fifo) >= soundChunk || (last && av_audio_fifo_size(fifo) > 0)) {
            const int available = av_audio_fifo_size(fifo);
            const int take = std::min(available, soundChunk);
            const int size = take < soundChunk && !smallLastChunk ? soundChunk : take;
            av_frame_unref(soundFrame);
            soundFrame->nb_samples = size;
            soundFrame->format = sound->sample_fmt;
            soundFrame->sample_rate = sound->sample_rate;
            av_channel_layout_copy(&soundFrame->ch_layout, &sound->ch_layout);
            if (av_frame_get_buffer(soundFrame, 0) < 0) return "out of memory";
            av_samples_set_silence(soundFrame->data, 0, size, 2, sound->sample_fmt);
            av_audio_fifo_read(fifo, reinterpret_cast<void**>(soundFrame->data), take);
            soundFrame->pts = soundPts;
            soundPts += size;
            if (std::string failed = Send(sound, soundStream, soundFrame); !failed.empty()) {
                return failed;
            }
        }
        return {};
    }

    std::string Close() {
        std::string failed;
        // What the resampler still holds, then the encoders' own delay.
        if (resampler != nullptr && sound != nullptr) {
            const int room = swr_get_out_samples(resampler, 0);
            if (room > 0) {
                uint8_t** out = nullptr;
                if (av_samples_alloc_array_and_samples(&out, nullptr, 2, room, sound->sample_fmt,
                                                       0) >= 0) {
                    const int got = swr_convert(resampler, out, room, nullptr, 0);
                    if (got > 0) av_audio_fifo_write(fifo, reinterpret_cast<void**>(out), got);
                    av_freep(&out[0]);
                    av_freep(&out);
                }
            }
            failed = DrainFifo(true);
            if (failed.empty()) failed = Send(sound, soundStream, nullptr);
        }
        if (failed.empty() && video != nullptr) failed = Send(video, videoStream, nullptr);
        if (headerWritten) {
            const int rc = av_write_trailer(format);
            if (failed.empty() && rc < 0) failed = "cannot finish the file: " + AvError(rc);
        }
        if (format->pb != nullptr) {
            avio_flush(format->pb);
            if (failed.empty() && format->pb->error < 0) {
                failed = "writing failed: " + AvError(format->pb->error);
            }
            const int rc = avio_closep(&format->pb);
            if (failed.empty() && rc < 0) failed = "writing failed: " + AvError(rc);
        }
        return failed;
    }
};

std::unique_ptr<MediaRecorder> MediaRecorder::Open(const std::string& path, Kind kind,
                                                   const Options& options, std::string* error) {
    const std::string ext = LowerExtension(path);
    const Container* container = nullptr;
    for (const Container& c : kContainers) {
        if (c.kind == kind && ext == c.extension) container = &c;
    }
    if (container == nullptr) {
        if (error != nullptr) {
            *error = "the file name must end in one of " + Names(kind) + " (it gives the format)";
        }
        return nullptr;
    }
    // The libraries' own chatter (encoder banners, statistics) is not the program's to print.
    av_log_set_level(AV_LOG_ERROR);
    auto encoder = std::make_unique<Encoder>();
    const std::string failed = encoder->Setup(*container, path);
    if (!failed.empty()) {
        const bool created = encoder->opened;
        const std::string temp = encoder->tempPath;
        encoder.reset();
        std::error_code ec;
        if (created) std::filesystem::remove(temp, ec);
        if (error != nullptr) *error = failed;
        return nullptr;
    }
    return std::unique_ptr<MediaRecorder>(
        new MediaRecorder(path, kind, options, std::move(encoder)));
}

MediaRecorder::MediaRecorder(std::string path, Kind kind, const Options& options,
                             std::unique_ptr<Encoder> encoder)
    : path_(std::move(path)), kind_(kind), options_(options), encoder_(std::move(encoder)) {
    worker_ = std::thread([this] { Work(); });
}

MediaRecorder::~MediaRecorder() {
    if (!finished_) Finish(nullptr);
}

bool MediaRecorder::SubmitPicture(int64_t index, const uint8_t* indices,
                                  const std::array<uint32_t, 16>& palette) {
    if (kind_ != Kind::Video) return false;
    std::unique_lock lock(mutex_);
    if (options_.waitWhenFull) {
        changed_.wait(lock, [&] {
            return queuedPictures_ < options_.queueFrames || !failure_.empty() || closing_;
        });
    }
    if (!failure_.empty() || closing_) return false;
    if (queuedPictures_ >= options_.queueFrames) {
        ++droppedPictures_;
        return false;
    }
    Item item;
    item.picture = true;
    item.index = index;
    item.pixels.assign(indices, indices + static_cast<size_t>(kWidth) * kHeight);
    item.palette = palette;
    ++queuedPictures_;
    queue_.push_back(std::move(item));
    lock.unlock();
    changed_.notify_all();
    return true;
}

void MediaRecorder::SubmitSound(const SoundFrame* frames, int count) {
    if (count <= 0) return;
    constexpr int64_t kMostQueued = 10 * kSoundRate;
    std::unique_lock lock(mutex_);
    if (options_.waitWhenFull) {
        changed_.wait(lock,
                      [&] { return queuedSound_ < kMostQueued || !failure_.empty() || closing_; });
    }
    const int64_t position = soundPosition_;
    soundPosition_ += count;
    if (!failure_.empty() || closing_ || queuedSound_ + count > kMostQueued) return;
    Item item;
    item.index = position;
    item.sound.assign(frames, frames + count);
    queuedSound_ += count;
    queue_.push_back(std::move(item));
    lock.unlock();
    changed_.notify_all();
}

void MediaRecorder::Work() {
    // On a loaded host the encoder competing with the run loop on equal terms made the machine
    // miss its periods; behind, it only drops pictures. Linux keeps a niceness per thread.
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10);
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return !queue_.empty() || closing_; });
        if (queue_.empty()) return;
        Item item = std::move(queue_.front());
        queue_.pop_front();
        const bool failedBefore = !failure_.empty();
        lock.unlock();
        std::string failed;
        if (!failedBefore) {
            failed = item.picture ? encoder_->EncodePicture(item.index, item.pixels, item.palette)
                                  : encoder_->EncodeSound(item.index, item.sound);
        }
        lock.lock();
        if (item.picture) {
            --queuedPictures_;
        } else {
            queuedSound_ -= static_cast<int64_t>(item.sound.size());
        }
        if (!failed.empty() && failure_.empty()) failure_ = failed;
        changed_.notify_all();
    }
}

bool MediaRecorder::Finish(std::string* error) {
    if (finished_) {
        if (error != nullptr) *error = Failure();
        return Failure().empty();
    }
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    if (worker_.joinable()) worker_.join();
    finished_ = true;
    std::string failed = Failure();
    const std::string closed = encoder_->Close();
    if (failed.empty()) failed = closed;
    const std::string temp = encoder_->tempPath;
    encoder_.reset();
    std::error_code ec;
    if (failed.empty()) {
        std::filesystem::rename(temp, path_, ec);
        if (ec) failed = "cannot put the file in place: " + ec.message();
    }
    if (!failed.empty()) {
        std::filesystem::remove(temp, ec);
        std::lock_guard lock(mutex_);
        if (failure_.empty()) failure_ = failed;
    }
    if (error != nullptr) *error = failed;
    return failed.empty();
}

std::string MediaRecorder::Failure() const {
    std::lock_guard lock(mutex_);
    return failure_;
}

}  // namespace media
