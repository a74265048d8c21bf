// SPDX-License-Identifier: GPL-3.0-or-later
// The media of an Anki card, made from the video file with FFmpeg's libraries: the frame at a
// moment as a JPEG picture (libavcodec, libswscale) and a stretch of the sound as an MP3 clip
// (libavcodec, libswresample). The file is read through a descriptor the caller opened, and
// each clip is bounded in time and in the bytes it reads.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace lirra::server::notebook {

struct ClipLimits {
    std::chrono::milliseconds maxTime{8000};            // per clip
    std::uint64_t maxReadBytes = 256ULL * 1024 * 1024;  // per clip
    int maxWidth = 640;                                 // of the picture, in pixels
    std::int64_t maxSoundMs = 30000;                    // longer lines are cut
};

struct Clip {
    std::string bytes;  // empty when there is none
    std::string error;  // why there is none, for the learner
};

// The frame showing at `atMs`, scaled to at most maxWidth wide with its display aspect.
Clip frameJpeg(int fd, std::int64_t atMs, const ClipLimits& limits = {});

// The sound from `startMs` to `endMs` (already padded by the caller), mono MP3.
Clip soundMp3(int fd, std::int64_t startMs, std::int64_t endMs, const ClipLimits& limits = {});

}  // namespace lirra::server::notebook
