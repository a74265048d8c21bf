// SPDX-License-Identifier: GPL-3.0-or-later
// One subtitle track of a container written out as a file of its own format, from the timed
// payloads its packets carry: SubRip and WebVTT text as it stands, ASS/SSA events (the
// Matroska form "ReadOrder, Layer, Style, ..., Text", without times) as Dialogue lines under
// the track's script header. Bounded: past the limits further events are left out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lirra::server {

enum class TrackTextKind { SubRip, WebVtt, Ass };

struct TrackTextLimits {
    std::size_t maxBytes = 8 * 1024 * 1024;
    std::size_t maxEvents = 200000;
};

class TrackTextBuilder {
  public:
    static constexpr std::int64_t kUnknownEnd = -1;
    static constexpr std::int64_t kMaxTimeMs = 100LL * 3600 * 1000;
    static constexpr std::int64_t kUnknownEndShownMs = 5000;  // at most, when no end was given

    // `assHeader` is the track's script header (codec extradata), used for Ass only.
    TrackTextBuilder(TrackTextKind kind, std::string_view assHeader, TrackTextLimits limits = {});

    // An event without an end (kUnknownEnd) lasts until the next one, at most a few seconds.
    // Events before 0 or past the limits are dropped; false once the track is full.
    bool add(std::int64_t startMs, std::int64_t endMs, std::string_view payload);

    // The whole file, events ordered by start. Empty when no event was added.
    std::string finish() const;

    std::size_t events() const { return events_.size(); }
    std::size_t bytes() const { return bytes_; }
    std::size_t dropped() const { return dropped_; }
    bool full() const { return full_; }
    const char* extension() const;  // "srt", "vtt", "ass"

  private:
    struct Event {
        std::int64_t startMs;
        std::int64_t endMs;
        std::string body;  // text lines, or the Dialogue fields after the times
    };

    TrackTextKind kind_;
    TrackTextLimits limits_;
    std::string header_;                    // ASS script up to and with the Format line
    std::vector<std::string> eventFields_;  // the Format line's names, lower case
    std::vector<Event> events_;
    std::size_t bytes_ = 0;
    std::size_t dropped_ = 0;
    bool full_ = false;
};

}  // namespace lirra::server
