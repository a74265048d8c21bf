// SPDX-License-Identifier: GPL-3.0-or-later
// The text subtitle tracks inside a video container, read with FFmpeg's libraries in one pass
// over the file: SubRip, WebVTT and ASS/SSA from their packets, any other text format (mov_text
// and the like) through libavcodec's subtitle decoder. Bitmap tracks are noted and left out.
// Memory stays bounded: packets are let go as they are read and each track has a size limit.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "sources/ContainerTrackText.h"

namespace lirra::server {

struct ContainerTrack {
    int streamIndex = 0;
    std::string codec;        // FFmpeg's name: "subrip", "ass", "webvtt", "mov_text" ...
    std::string languageTag;  // the stream's tag as it stands (may be absent or garbage)
    std::string title;        // the stream's title, as it stands
    std::string extension;    // "srt", "vtt" or "ass": the format of `text`
    std::string text;         // the whole track as a subtitle file, UTF-8
    std::size_t events = 0;
    std::size_t dropped = 0;  // events without usable times, or past the track's limits
};

struct ContainerScan {
    bool opened = false;    // the file was read as a container at all
    bool complete = false;  // read to its end without an error
    std::vector<ContainerTrack> tracks;
    std::vector<std::string> notes;  // for the log: skipped tracks, read errors
    std::uint64_t bytesRead = 0;
    std::uint64_t fileSize = 0;
};

struct ContainerLimits {
    TrackTextLimits track;
    // Hostile files could make the demuxer go back and forth; it stops reading past this.
    double maxReadFactor = 2.0;
    std::uint64_t maxReadSlack = 16 * 1024 * 1024;
    // Garbage makes the demuxer look for its next element byte by byte (some 30 MB/s on a busy
    // machine); however large the file, one reading ends after this.
    std::chrono::seconds maxTime{1200};
    std::size_t maxTracks = 32;
    std::size_t maxTotalBytes = 32 * 1024 * 1024;  // all tracks together
};

// Reads the file `fd` refers to (the caller opened it and keeps it). `stop` may be null.
ContainerScan readContainerTracks(int fd, const ContainerLimits& limits = {},
                                  const std::atomic<bool>* stop = nullptr);

}  // namespace lirra::server
