// SPDX-License-Identifier: GPL-3.0-or-later
// The card's picture: the frame showing at a moment, scaled with libswscale and encoded as a
// JPEG with libavcodec's MJPEG encoder.
#include <cmath>

#include "notebook/ClipStream.h"

extern "C" {
#include <libswscale/swscale.h>
}

namespace lirra::server::notebook {
namespace {

// Without a length from the container, the last frame stands for this long after it starts.
constexpr std::int64_t kLastFrameSlackMs = 2000;

struct SwsFree {
    void operator()(SwsContext* sws) const { sws_freeContext(sws); }
};

// The picture's size: at most maxWidth wide, the display aspect kept, even sides.
void targetSize(const AVFrame* frame, int maxWidth, int& width, int& height) {
    AVRational sar = frame->sample_aspect_ratio;
    if (sar.num <= 0 || sar.den <= 0) sar = {1, 1};
    const double displayWidth = frame->width * static_cast<double>(sar.num) / sar.den;
    const double w = std::min<double>(maxWidth, displayWidth);
    width = std::max(2, static_cast<int>(std::lround(w / 2)) * 2);
    height = std::max(2, static_cast<int>(std::lround(w * frame->height / displayWidth / 2)) * 2);
}

std::string encodeJpeg(const AVFrame* source, int maxWidth, std::string& error) {
    int width = 0, height = 0;
    targetSize(source, maxWidth, width, height);
    std::unique_ptr<SwsContext, SwsFree> sws(
        sws_getContext(source->width, source->height, static_cast<AVPixelFormat>(source->format),
                       width, height, AV_PIX_FMT_YUVJ420P, SWS_BICUBIC, nullptr, nullptr, nullptr));
    FramePtr picture(av_frame_alloc());
    if (!sws || !picture) {
        error = "the frame's format cannot be converted";
        return {};
    }
    picture->format = AV_PIX_FMT_YUVJ420P;
    picture->width = width;
    picture->height = height;
    if (av_frame_get_buffer(picture.get(), 0) < 0) {
        error = "out of memory";
        return {};
    }
    sws_scale(sws.get(), source->data, source->linesize, 0, source->height, picture->data,
              picture->linesize);

    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    CodecPtr encoder(codec ? avcodec_alloc_context3(codec) : nullptr);
    if (!encoder) {
        error = "this FFmpeg has no JPEG encoder";
        return {};
    }
    encoder->width = width;
    encoder->height = height;
    encoder->pix_fmt = AV_PIX_FMT_YUVJ420P;
    encoder->time_base = {1, 25};
    encoder->flags |= AV_CODEC_FLAG_QSCALE;
    encoder->global_quality = FF_QP2LAMBDA * 3;
    if (const int rc = avcodec_open2(encoder.get(), codec, nullptr); rc < 0) {
        error = "the JPEG encoder failed: " + avErrorText(rc);
        return {};
    }
    picture->quality = encoder->global_quality;
    picture->pts = 0;
    std::string bytes;
    std::unique_ptr<AVPacket, PacketFree> pkt(av_packet_alloc());
    if (!pkt || avcodec_send_frame(encoder.get(), picture.get()) < 0 ||
        avcodec_send_frame(encoder.get(), nullptr) < 0) {
        error = "the JPEG encoder failed";
        return {};
    }
    while (avcodec_receive_packet(encoder.get(), pkt.get()) >= 0) {
        bytes.append(reinterpret_cast<const char*>(pkt->data), static_cast<std::size_t>(pkt->size));
        av_packet_unref(pkt.get());
    }
    if (bytes.empty()) error = "the JPEG encoder gave nothing";
    return bytes;
}

}  // namespace

Clip frameJpeg(int fd, std::int64_t atMs, const ClipLimits& limits) {
    Clip clip;
    auto stream = ClipStream::open(fd, AVMEDIA_TYPE_VIDEO, limits, clip.error);
    if (!stream) return clip;
    const std::int64_t duration = stream->durationMs();
    if (atMs < 0 || (duration >= 0 && atMs > duration)) {
        clip.error = "the line is past the end of the video";
        return clip;
    }
    stream->seek(atMs);
    // The frame showing at atMs is the last one that starts at or before it; after a seek that
    // landed late, the first one there is.
    FramePtr chosen(av_frame_alloc());
    std::int64_t chosenMs = -1;
    bool have = false;
    const bool found = stream->decode(
        [&](AVFrame* frame, std::int64_t ms) {
            if (ms > atMs && have) return false;
            av_frame_unref(chosen.get());
            if (av_frame_ref(chosen.get(), frame) < 0) return true;
            have = true;
            chosenMs = ms;
            return ms < atMs;
        },
        clip.error);
    if (!found) {
        // At the stream's end the last frame still shows, up to the video's end.
        if (!clip.error.empty()) return clip;
        if (!have || (duration < 0 && atMs - chosenMs > kLastFrameSlackMs)) {
            clip.error = "the line is past the end of the video";
            return clip;
        }
    }
    clip.bytes = encodeJpeg(chosen.get(), limits.maxWidth, clip.error);
    return clip;
}

}  // namespace lirra::server::notebook
