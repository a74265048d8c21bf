// SPDX-License-Identifier: GPL-3.0-or-later
#include "sources/ContainerReader.h"

#include <algorithm>
#include <memory>

#include "sources/ContainerInput.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
}

namespace lirra::server {
namespace {

constexpr AVRational kMilliseconds{1, 1000};
constexpr std::int64_t kMaxDurationMs = 24LL * 3600 * 1000;

std::string errorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

std::string metadata(const AVStream* stream, const char* key) {
    const AVDictionaryEntry* entry = av_dict_get(stream->metadata, key, nullptr, 0);
    if (!entry || !entry->value) return {};
    return std::string(entry->value).substr(0, 256);
}

struct CodecContextFree {
    void operator()(AVCodecContext* ctx) const { avcodec_free_context(&ctx); }
};

// What becomes of one stream's packets.
struct StreamState {
    bool wanted = false;
    std::unique_ptr<AVCodecContext, CodecContextFree> decoder;  // formats not plain in packets
    std::unique_ptr<TrackTextBuilder> builder;
    ContainerTrack track;
};

std::string describe(const AVStream* stream, const char* codec) {
    std::string language = metadata(stream, "language");
    return "track " + std::to_string(stream->index) + " (" + codec +
           (language.empty() ? "" : ", " + language) + ")";
}

std::unique_ptr<StreamState> classify(AVStream* stream, std::size_t textTracks,
                                      const ContainerLimits& limits,
                                      std::vector<std::string>& notes) {
    auto state = std::make_unique<StreamState>();
    const AVCodecParameters* par = stream->codecpar;
    stream->discard = AVDISCARD_ALL;  // only the tracks kept below are read out
    if (par->codec_type != AVMEDIA_TYPE_SUBTITLE) return state;
    const AVCodecDescriptor* desc = avcodec_descriptor_get(par->codec_id);
    const char* name = desc ? desc->name : "unknown";
    if (!desc || (desc->props & AV_CODEC_PROP_BITMAP_SUB)) {
        notes.push_back("skipped " + std::string(desc ? "bitmap" : "unknown") + " subtitle " +
                        describe(stream, name));
        return state;
    }
    if (textTracks >= limits.maxTracks) {
        notes.push_back("skipped subtitle " + describe(stream, name) + ": too many tracks");
        return state;
    }
    std::string_view header;
    TrackTextKind kind = TrackTextKind::Ass;
    switch (par->codec_id) {
        case AV_CODEC_ID_SUBRIP:
        case AV_CODEC_ID_TEXT:
            kind = TrackTextKind::SubRip;
            break;
        case AV_CODEC_ID_WEBVTT:
            kind = TrackTextKind::WebVtt;
            break;
        case AV_CODEC_ID_ASS:
        case AV_CODEC_ID_SSA:
            if (par->extradata && par->extradata_size > 0) {
                header = {reinterpret_cast<const char*>(par->extradata),
                          static_cast<std::size_t>(par->extradata_size)};
            }
            break;
        default: {
            // Text that is not plain in the packet: libavcodec turns it into ASS events.
            const AVCodec* codec = avcodec_find_decoder(par->codec_id);
            std::unique_ptr<AVCodecContext, CodecContextFree> ctx(
                codec ? avcodec_alloc_context3(codec) : nullptr);
            if (!ctx || avcodec_parameters_to_context(ctx.get(), par) < 0) {
                notes.push_back("skipped subtitle " + describe(stream, name) + ": no decoder");
                return state;
            }
            ctx->pkt_timebase = stream->time_base;
            if (const int rc = avcodec_open2(ctx.get(), codec, nullptr); rc < 0) {
                notes.push_back("skipped subtitle " + describe(stream, name) + ": " +
                                errorText(rc));
                return state;
            }
            if (ctx->subtitle_header && ctx->subtitle_header_size > 0) {
                header = {reinterpret_cast<const char*>(ctx->subtitle_header),
                          static_cast<std::size_t>(ctx->subtitle_header_size)};
            }
            state->decoder = std::move(ctx);
        }
    }
    state->builder = std::make_unique<TrackTextBuilder>(kind, header, limits.track);
    state->wanted = true;
    state->track.streamIndex = stream->index;
    state->track.codec = name;
    state->track.languageTag = metadata(stream, "language");
    state->track.title = metadata(stream, "title");
    stream->discard = AVDISCARD_DEFAULT;
    return state;
}

// The packet's time span in milliseconds; the end is unknown without a duration.
bool packetTimes(const AVPacket* pkt, const AVStream* stream, std::int64_t& start,
                 std::int64_t& end) {
    const std::int64_t pts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
    if (pts == AV_NOPTS_VALUE || stream->time_base.num <= 0 || stream->time_base.den <= 0) {
        return false;
    }
    start = av_rescale_q(pts, stream->time_base, kMilliseconds);
    end = TrackTextBuilder::kUnknownEnd;
    if (pkt->duration > 0) {
        const std::int64_t duration = av_rescale_q(pkt->duration, stream->time_base, kMilliseconds);
        if (duration > 0 && start >= 0 && start <= TrackTextBuilder::kMaxTimeMs) {
            end = start + std::min(duration, kMaxDurationMs);
        }
    }
    return true;
}

void takePacket(StreamState& state, const AVPacket* pkt, const AVStream* stream) {
    std::int64_t start = 0, end = 0;
    if (!packetTimes(pkt, stream, start, end)) {
        ++state.track.dropped;
        return;
    }
    if (!state.decoder) {
        state.builder->add(start, end,
                           {reinterpret_cast<const char*>(pkt->data),
                            static_cast<std::size_t>(std::max(pkt->size, 0))});
        return;
    }
    AVSubtitle sub{};
    int got = 0;
    // The decoder reads the packet as it is; a copy only to drop its const.
    AVPacket* copy = av_packet_clone(pkt);
    if (!copy) return;
    const int rc = avcodec_decode_subtitle2(state.decoder.get(), &sub, &got, copy);
    av_packet_free(&copy);
    if (rc < 0 || !got) {
        if (rc < 0) ++state.track.dropped;
        return;
    }
    if (end == TrackTextBuilder::kUnknownEnd && sub.end_display_time > sub.start_display_time &&
        sub.end_display_time != UINT32_MAX && start >= 0) {
        end = start + std::min<std::int64_t>(sub.end_display_time, kMaxDurationMs);
    }
    start += sub.start_display_time;
    for (unsigned i = 0; i < sub.num_rects; ++i) {
        const AVSubtitleRect* rect = sub.rects[i];
        if (rect && rect->type == SUBTITLE_ASS && rect->ass) {
            state.builder->add(start, std::max(end, TrackTextBuilder::kUnknownEnd), rect->ass);
        }
    }
    avsubtitle_free(&sub);
}

int interrupted(void* opaque) {
    const auto* stop = static_cast<const std::atomic<bool>*>(opaque);
    return stop && stop->load() ? 1 : 0;
}

struct FormatClose {
    void operator()(AVFormatContext* fmt) const { avformat_close_input(&fmt); }
};
struct PacketFree {
    void operator()(AVPacket* pkt) const { av_packet_free(&pkt); }
};

}  // namespace

ContainerScan readContainerTracks(int fd, const ContainerLimits& limits,
                                  const std::atomic<bool>* stop) {
    ContainerScan scan;
    // Broken files make the demuxers talk at length; what matters reaches the notes. A level
    // someone else chose (the video engine in the same process) is left as it is.
    if (av_log_get_level() == AV_LOG_INFO) av_log_set_level(AV_LOG_FATAL);
    std::string error;
    // The bound is only known once the file is: open once to learn the size, then for real.
    const auto deadline = ContainerInput::Clock::now() + limits.maxTime;
    auto probe = ContainerInput::open(fd, 0, deadline, stop, error);
    if (!probe) {
        scan.notes.push_back(error);
        return scan;
    }
    scan.fileSize = probe->fileSize();
    probe.reset();
    const auto maxBytes =
        static_cast<std::uint64_t>(static_cast<double>(scan.fileSize) * limits.maxReadFactor) +
        limits.maxReadSlack;
    auto input = ContainerInput::open(fd, maxBytes, deadline, stop, error);
    AVFormatContext* raw = input ? avformat_alloc_context() : nullptr;
    if (!raw) {
        scan.notes.push_back(input ? "out of memory" : error);
        return scan;
    }
    raw->pb = input->context();
    raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    raw->interrupt_callback = {&interrupted, const_cast<std::atomic<bool>*>(stop)};
    if (const int rc = avformat_open_input(&raw, nullptr, nullptr, nullptr); rc < 0) {
        // On failure the library has freed the context already.
        scan.notes.push_back("not a container FFmpeg reads: " + errorText(rc));
        scan.bytesRead = input->bytesRead();
        return scan;
    }
    std::unique_ptr<AVFormatContext, FormatClose> fmt(raw);
    scan.opened = true;
    std::vector<std::unique_ptr<StreamState>> streams;
    std::size_t textTracks = 0;
    auto classifyNew = [&] {
        // Some containers announce streams only as their packets arrive.
        while (streams.size() < fmt->nb_streams) {
            streams.push_back(
                classify(fmt->streams[streams.size()], textTracks, limits, scan.notes));
            textTracks += streams.back()->wanted ? 1 : 0;
        }
    };
    classifyNew();
    std::unique_ptr<AVPacket, PacketFree> pkt(av_packet_alloc());
    int rc = pkt ? 0 : AVERROR(ENOMEM);
    std::size_t totalBytes = 0;
    bool full = false;
    while (!full && rc >= 0 && (rc = av_read_frame(fmt.get(), pkt.get())) >= 0) {
        classifyNew();
        const auto index = static_cast<std::size_t>(pkt->stream_index);
        if (index < streams.size() && streams[index]->wanted) {
            StreamState& state = *streams[index];
            const std::size_t before = state.builder->bytes();
            takePacket(state, pkt.get(), fmt->streams[index]);
            totalBytes += state.builder->bytes() - before;
            full = totalBytes > limits.maxTotalBytes;
        }
        av_packet_unref(pkt.get());
    }
    scan.bytesRead = input->bytesRead();
    scan.complete =
        rc == AVERROR_EOF && !input->hitLimit() && !input->stopped() && !input->timedOut();
    if (full) {
        scan.notes.push_back("the text tracks passed " + std::to_string(limits.maxTotalBytes) +
                             " bytes; what came later is left out");
    } else if (input->timedOut()) {
        scan.notes.push_back("stopped reading after " + std::to_string(limits.maxTime.count()) +
                             " s, at byte " + std::to_string(scan.bytesRead));
    } else if (input->hitLimit()) {
        scan.notes.push_back("stopped reading after " + std::to_string(scan.bytesRead) +
                             " bytes of a " + std::to_string(scan.fileSize) + "-byte file");
    } else if (input->stopped()) {
        scan.notes.push_back("stopped reading: the service is stopping");
    } else if (!scan.complete) {
        scan.notes.push_back("read error after " + std::to_string(scan.bytesRead) +
                             " bytes: " + errorText(rc));
    }
    for (auto& state : streams) {
        if (!state->wanted) continue;
        ContainerTrack& track = state->track;
        track.events = state->builder->events();
        track.dropped += state->builder->dropped();
        track.extension = state->builder->extension();
        if (track.dropped) {
            scan.notes.push_back(describe(fmt->streams[track.streamIndex], track.codec.c_str()) +
                                 ": " + std::to_string(track.dropped) + " events left out");
        }
        if (track.events == 0) {
            scan.notes.push_back(describe(fmt->streams[track.streamIndex], track.codec.c_str()) +
                                 ": no event");
            continue;
        }
        track.text = state->builder->finish();
        state->builder.reset();
        scan.tracks.push_back(std::move(track));
    }
    return scan;
}

}  // namespace lirra::server
