// SPDX-License-Identifier: GPL-3.0-or-later
// What the subtitle format readers share: lines, time stamps and the making of a cue.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "subtitles/SubtitleParser.h"

namespace lirra::server::subtitles {

constexpr std::int64_t kMaxTimeMs = 100LL * 3600 * 1000;  // longer than any video

// Lines ended by LF, CR LF or a lone CR.
std::vector<std::string_view> splitLines(std::string_view text);
std::string_view trim(std::string_view s);  // spaces and tabs
bool isDigits(std::string_view s);

// "01:02:03,456", "1:02:03.4", "02:03.456" (WebVTT without hours); none past kMaxTimeMs.
std::optional<std::int64_t> parseTimestamp(std::string_view s);
// "start --> end" with anything after the end (WebVTT cue settings) ignored.
bool parseTimingLine(std::string_view line, std::int64_t& start, std::int64_t& end);

// Cleans `raw` (sanitizeCueText) and appends the cue unless it ends before it starts or shows
// nothing.
void addCue(std::vector<Cue>& cues, std::int64_t start, std::int64_t end, const std::string& raw,
            bool webVtt);

}  // namespace lirra::server::subtitles
