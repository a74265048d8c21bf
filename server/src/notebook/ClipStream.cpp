// SPDX-License-Identifier: GPL-3.0-or-later
#include "notebook/ClipStream.h"

extern "C" {
#include <libavutil/error.h>
#include <libavutil/log.h>
}

namespace lirra::server::notebook {
namespace {

constexpr AVRational kMilliseconds{1, 1000};

const char* kindName(AVMediaType type) { return type == AVMEDIA_TYPE_VIDEO ? "picture" : "sound"; }

}  // namespace

std::string avErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

std::unique_ptr<ClipStream> ClipStream::open(int fd, AVMediaType type, const ClipLimits& limits,
                                             std::string& error) {
    // A level someone else chose (the video engine in the same process) is left as it is.
    if (av_log_get_level() == AV_LOG_INFO) av_log_set_level(AV_LOG_FATAL);
    std::unique_ptr<ClipStream> clip(new ClipStream);
    clip->input_ = ContainerInput::open(
        fd, limits.maxReadBytes, ContainerInput::Clock::now() + limits.maxTime, nullptr, error);
    if (!clip->input_) return nullptr;
    AVFormatContext* raw = avformat_alloc_context();
    if (!raw) {
        error = "out of memory";
        return nullptr;
    }
    raw->pb = clip->input_->context();
    raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (const int rc = avformat_open_input(&raw, nullptr, nullptr, nullptr); rc < 0) {
        error = "the video file could not be read: " + avErrorText(rc);
        return nullptr;  // the library has freed the context
    }
    clip->fmt_.reset(raw);
    if (const int rc = avformat_find_stream_info(raw, nullptr); rc < 0) {
        error = "the video file could not be read: " + avErrorText(rc);
        return nullptr;
    }
    const AVCodec* codec = nullptr;
    clip->index_ = av_find_best_stream(raw, type, -1, -1, &codec, 0);
    if (clip->index_ < 0 || !codec) {
        error = std::string("the video has no ") + kindName(type) + " FFmpeg can decode";
        return nullptr;
    }
    for (unsigned i = 0; i < raw->nb_streams; ++i) {
        raw->streams[i]->discard =
            static_cast<int>(i) == clip->index_ ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    }
    AVStream* stream = raw->streams[clip->index_];
    clip->decoder_.reset(avcodec_alloc_context3(codec));
    if (!clip->decoder_ ||
        avcodec_parameters_to_context(clip->decoder_.get(), stream->codecpar) < 0) {
        error = "out of memory";
        return nullptr;
    }
    clip->decoder_->pkt_timebase = stream->time_base;
    if (const int rc = avcodec_open2(clip->decoder_.get(), codec, nullptr); rc < 0) {
        error = std::string("the video's ") + kindName(type) +
                " could not be decoded: " + avErrorText(rc);
        return nullptr;
    }
    return clip;
}

std::int64_t ClipStream::durationMs() const {
    if (fmt_->duration == AV_NOPTS_VALUE || fmt_->duration <= 0) return -1;
    return av_rescale_q(fmt_->duration, AV_TIME_BASE_Q, kMilliseconds);
}

bool ClipStream::seek(std::int64_t ms) {
    // The player's clock starts at the file's first timestamp; the stream's runs from its own.
    const std::int64_t start = fmt_->start_time != AV_NOPTS_VALUE ? fmt_->start_time : 0;
    const std::int64_t target =
        av_rescale_q(start + ms * 1000, AV_TIME_BASE_Q, stream()->time_base);
    const int rc = av_seek_frame(fmt_.get(), index_, target, AVSEEK_FLAG_BACKWARD);
    avcodec_flush_buffers(decoder_.get());
    return rc >= 0;
}

bool ClipStream::decode(const std::function<bool(AVFrame*, std::int64_t)>& take,
                        std::string& error) {
    error.clear();
    const std::int64_t startMs = fmt_->start_time != AV_NOPTS_VALUE
                                     ? av_rescale_q(fmt_->start_time, AV_TIME_BASE_Q, kMilliseconds)
                                     : 0;
    std::unique_ptr<AVPacket, PacketFree> pkt(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    if (!pkt || !frame) {
        error = "out of memory";
        return false;
    }
    // Drains what the decoder holds; true once `take` has had enough.
    auto drain = [&]() -> bool {
        while (avcodec_receive_frame(decoder_.get(), frame.get()) >= 0) {
            const std::int64_t pts = frame->best_effort_timestamp;
            const bool timed = pts != AV_NOPTS_VALUE;
            const std::int64_t ms =
                timed ? av_rescale_q(pts, stream()->time_base, kMilliseconds) - startMs : -1;
            const bool more = !timed || take(frame.get(), ms);
            av_frame_unref(frame.get());
            if (!more) return true;
        }
        return false;
    };
    int rc = 0;
    while ((rc = av_read_frame(fmt_.get(), pkt.get())) >= 0) {
        if (pkt->stream_index == index_) {
            // A damaged packet is skipped; the decoder goes on with the next one.
            avcodec_send_packet(decoder_.get(), pkt.get());
            av_packet_unref(pkt.get());
            if (drain()) return true;
        } else {
            av_packet_unref(pkt.get());
        }
    }
    avcodec_send_packet(decoder_.get(), nullptr);
    if (drain()) return true;
    if (input_->timedOut()) {
        error = "reading the video took too long";
    } else if (input_->hitLimit()) {
        error = "the clip needed more of the video than is read for one card";
    } else if (rc != AVERROR_EOF) {
        error = "the video file could not be read: " + avErrorText(rc);
    }
    return false;
}

}  // namespace lirra::server::notebook
