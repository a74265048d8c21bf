// SPDX-License-Identifier: GPL-3.0-or-later
// One stream of a video file opened for decoding from a moment on: the container over the
// caller's descriptor (ContainerInput: bounded, never a path), the stream FFmpeg finds best of a
// kind, its decoder, a seek, and the decoded frames handed out in order.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "notebook/MediaClip.h"
#include "sources/ContainerInput.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace lirra::server::notebook {

struct FormatClose {
    void operator()(AVFormatContext* fmt) const { avformat_close_input(&fmt); }
};
struct CodecFree {
    void operator()(AVCodecContext* ctx) const { avcodec_free_context(&ctx); }
};
struct FrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFree {
    void operator()(AVPacket* pkt) const { av_packet_free(&pkt); }
};

using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecFree>;

std::string avErrorText(int code);

class ClipStream {
  public:
    // The best stream of `type`; none with `error` set (for the learner) when the file has none
    // or it cannot be decoded.
    static std::unique_ptr<ClipStream> open(int fd, AVMediaType type, const ClipLimits& limits,
                                            std::string& error);

    AVCodecContext* decoder() const { return decoder_.get(); }
    AVStream* stream() const { return fmt_->streams[index_]; }
    // The file's length on the player's clock; -1 when the container does not say.
    std::int64_t durationMs() const;

    // Moves to the last key frame at or before `ms`.
    bool seek(std::int64_t ms);

    // Hands each decoded frame with its start in milliseconds to `take` until it returns false
    // (true is returned then) or the stream ends (false; `error` empty at its plain end).
    bool decode(const std::function<bool(AVFrame*, std::int64_t)>& take, std::string& error);

  private:
    ClipStream() = default;

    std::unique_ptr<ContainerInput> input_;
    std::unique_ptr<AVFormatContext, FormatClose> fmt_;
    CodecPtr decoder_;
    int index_ = -1;
};

}  // namespace lirra::server::notebook
