// SPDX-License-Identifier: GPL-3.0-or-later
// The card's sound: a stretch of the video's audio, mixed down to mono with libswresample,
// encoded as MP3 with libavcodec and written as an .mp3 file in memory.
#include <algorithm>
#include <vector>

#include "notebook/ClipStream.h"

extern "C" {
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

namespace lirra::server::notebook {
namespace {

constexpr int kSampleRate = 44100;
constexpr std::int64_t kBitRate = 64000;

struct SwrFree {
    void operator()(SwrContext* swr) const { swr_free(&swr); }
};
struct FifoFree {
    void operator()(AVAudioFifo* fifo) const { av_audio_fifo_free(fifo); }
};
struct OutputFree {
    void operator()(AVFormatContext* fmt) const {
        if (fmt->pb) {
            std::uint8_t* buffer = nullptr;
            avio_close_dyn_buf(fmt->pb, &buffer);
            av_free(buffer);
        }
        avformat_free_context(fmt);
    }
};

AVSampleFormat encoderFormat(const AVCodec* codec) {
    if (!codec->sample_fmts) return AV_SAMPLE_FMT_FLTP;
    for (const AVSampleFormat* f = codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f) {
        if (*f == AV_SAMPLE_FMT_FLTP) return *f;
    }
    return codec->sample_fmts[0];
}

CodecPtr openEncoder(std::string& error) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MP3);
    CodecPtr encoder(codec ? avcodec_alloc_context3(codec) : nullptr);
    if (!encoder) {
        error = "this FFmpeg has no MP3 encoder";
        return nullptr;
    }
    encoder->sample_fmt = encoderFormat(codec);
    encoder->sample_rate = kSampleRate;
    av_channel_layout_default(&encoder->ch_layout, 1);
    encoder->bit_rate = kBitRate;
    encoder->time_base = {1, kSampleRate};
    if (const int rc = avcodec_open2(encoder.get(), codec, nullptr); rc < 0) {
        error = "the MP3 encoder failed: " + avErrorText(rc);
        return nullptr;
    }
    return encoder;
}

// The decoded sound resampled to the encoder's format, kept between two moments.
class Gatherer {
  public:
    Gatherer(AVCodecContext* decoder, AVCodecContext* encoder, std::int64_t startMs,
             std::int64_t endMs)
        : startSample_(startMs * kSampleRate / 1000), endSample_(endMs * kSampleRate / 1000) {
        AVChannelLayout in{};
        if (decoder->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC ||
            av_channel_layout_copy(&in, &decoder->ch_layout) < 0) {
            av_channel_layout_default(&in, std::max(1, decoder->ch_layout.nb_channels));
        }
        SwrContext* swr = nullptr;
        if (swr_alloc_set_opts2(&swr, &encoder->ch_layout, encoder->sample_fmt, kSampleRate, &in,
                                decoder->sample_fmt, decoder->sample_rate, 0, nullptr) >= 0 &&
            swr_init(swr) >= 0) {
            swr_.reset(swr);
        } else {
            swr_free(&swr);
        }
        av_channel_layout_uninit(&in);
        fifo_.reset(av_audio_fifo_alloc(encoder->sample_fmt, 1, kSampleRate));
        format_ = encoder->sample_fmt;
    }

    bool usable() const { return swr_ && fifo_; }
    AVAudioFifo* fifo() const { return fifo_.get(); }

    // Takes one decoded frame starting at `ms`; false once the end has been reached.
    bool take(const AVFrame* frame, std::int64_t ms) {
        if (position_ < 0) position_ = ms * kSampleRate / 1000;
        const int room = swr_get_out_samples(swr_.get(), frame->nb_samples);
        if (room <= 0) return true;
        std::uint8_t* planes[1] = {nullptr};
        if (av_samples_alloc(planes, nullptr, 1, room, format_, 0) < 0) return false;
        const int made =
            swr_convert(swr_.get(), planes, room,
                        const_cast<const std::uint8_t**>(frame->extended_data), frame->nb_samples);
        if (made > 0) {
            const std::int64_t first = std::max<std::int64_t>(0, startSample_ - position_);
            const std::int64_t last = std::min<std::int64_t>(made, endSample_ - position_);
            if (last > first) {
                const int bytesPerSample = av_get_bytes_per_sample(format_);
                void* from[1] = {planes[0] + first * bytesPerSample};
                av_audio_fifo_write(fifo_.get(), from, static_cast<int>(last - first));
            }
            position_ += made;
        }
        av_freep(&planes[0]);
        return position_ < endSample_;
    }

  private:
    std::int64_t startSample_;
    std::int64_t endSample_;
    std::int64_t position_ = -1;  // the sample the next converted one stands for
    AVSampleFormat format_ = AV_SAMPLE_FMT_NONE;
    std::unique_ptr<SwrContext, SwrFree> swr_;
    std::unique_ptr<AVAudioFifo, FifoFree> fifo_;
};

// Encodes what the fifo holds (the last frame filled with silence) into an .mp3 file.
std::string encodeMp3(AVCodecContext* encoder, AVAudioFifo* fifo, std::string& error) {
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, nullptr, "mp3", nullptr) < 0 || !raw) {
        error = "this FFmpeg cannot write MP3 files";
        return {};
    }
    std::unique_ptr<AVFormatContext, OutputFree> out(raw);
    AVStream* stream = avformat_new_stream(raw, nullptr);
    if (!stream || avcodec_parameters_from_context(stream->codecpar, encoder) < 0 ||
        avio_open_dyn_buf(&raw->pb) < 0) {
        error = "out of memory";
        return {};
    }
    stream->time_base = encoder->time_base;
    if (const int rc = avformat_write_header(raw, nullptr); rc < 0) {
        error = "the MP3 file could not be written: " + avErrorText(rc);
        return {};
    }
    std::unique_ptr<AVPacket, PacketFree> pkt(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    if (!pkt || !frame) {
        error = "out of memory";
        return {};
    }
    const int frameSize = encoder->frame_size > 0 ? encoder->frame_size : 1152;
    std::int64_t pts = 0;
    auto writePackets = [&] {
        while (avcodec_receive_packet(encoder, pkt.get()) >= 0) {
            av_packet_rescale_ts(pkt.get(), encoder->time_base, stream->time_base);
            pkt->stream_index = stream->index;
            av_interleaved_write_frame(raw, pkt.get());
        }
    };
    while (av_audio_fifo_size(fifo) > 0) {
        frame->nb_samples = frameSize;
        frame->format = encoder->sample_fmt;
        frame->sample_rate = encoder->sample_rate;
        if (av_channel_layout_copy(&frame->ch_layout, &encoder->ch_layout) < 0 ||
            av_frame_get_buffer(frame.get(), 0) < 0) {
            error = "out of memory";
            return {};
        }
        const int n = av_audio_fifo_read(fifo, reinterpret_cast<void**>(frame->data), frameSize);
        if (n < frameSize) {
            av_samples_set_silence(frame->data, n, frameSize - n, 1, encoder->sample_fmt);
        }
        frame->pts = pts;
        pts += frameSize;
        if (avcodec_send_frame(encoder, frame.get()) < 0) break;
        av_frame_unref(frame.get());
        writePackets();
    }
    avcodec_send_frame(encoder, nullptr);
    writePackets();
    if (const int rc = av_write_trailer(raw); rc < 0) {
        error = "the MP3 file could not be written: " + avErrorText(rc);
        return {};
    }
    std::uint8_t* buffer = nullptr;
    const int size = avio_close_dyn_buf(raw->pb, &buffer);
    raw->pb = nullptr;
    std::string bytes(reinterpret_cast<const char*>(buffer),
                      static_cast<std::size_t>(std::max(size, 0)));
    av_free(buffer);
    return bytes;
}

}  // namespace

Clip soundMp3(int fd, std::int64_t startMs, std::int64_t endMs, const ClipLimits& limits) {
    Clip clip;
    startMs = std::max<std::int64_t>(0, startMs);
    endMs = std::min(endMs, startMs + limits.maxSoundMs);
    if (endMs <= startMs) {
        clip.error = "the line has no length";
        return clip;
    }
    auto stream = ClipStream::open(fd, AVMEDIA_TYPE_AUDIO, limits, clip.error);
    if (!stream) return clip;
    const std::int64_t duration = stream->durationMs();
    if (duration >= 0 && startMs >= duration) {
        clip.error = "the line is past the end of the video";
        return clip;
    }
    CodecPtr encoder = openEncoder(clip.error);
    if (!encoder) return clip;
    Gatherer gatherer(stream->decoder(), encoder.get(), startMs, endMs);
    if (!gatherer.usable()) {
        clip.error = "the video's sound cannot be converted";
        return clip;
    }
    stream->seek(startMs);
    stream->decode([&](AVFrame* frame, std::int64_t ms) { return gatherer.take(frame, ms); },
                   clip.error);
    if (!clip.error.empty()) return clip;
    if (av_audio_fifo_size(gatherer.fifo()) == 0) {
        clip.error = "the video has no sound at this line";
        return clip;
    }
    clip.bytes = encodeMp3(encoder.get(), gatherer.fifo(), clip.error);
    return clip;
}

}  // namespace lirra::server::notebook
