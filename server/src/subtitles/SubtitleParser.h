// SPDX-License-Identifier: GPL-3.0-or-later
// Subtitle files read into timed cues whose text is safe to insert into a page (CueText.h). The
// format is told from the text; each format has its own reader beside this file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "subtitles/CueText.h"

namespace lirra::server {

struct Cue {
    std::int64_t startMs = 0;
    std::int64_t endMs = 0;
    std::string text;
};

enum class SubtitleFormat { Unknown, SubRip, WebVtt, MicroDvd, Ass };

struct ParsedSubtitle {
    SubtitleFormat format = SubtitleFormat::Unknown;
    std::vector<Cue> cues;  // ordered by start time
};

// The format is told from the text, not the file name. Malformed cues are skipped.
ParsedSubtitle parseSubtitle(std::string_view utf8);

const char* formatName(SubtitleFormat format);  // "srt", "vtt", "sub", "ass", "unknown"

}  // namespace lirra::server
