// Subtitle files (SubRip, WebVTT, MicroDVD) read into timed cues whose text is safe to insert
// into a page: HTML-escaped, with only <b>, <i> and <u> kept, balanced, lines split by "\n".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lirra::server {

struct Cue {
    std::int64_t startMs = 0;
    std::int64_t endMs = 0;
    std::string text;
};

enum class SubtitleFormat { Unknown, SubRip, WebVtt, MicroDvd };

struct ParsedSubtitle {
    SubtitleFormat format = SubtitleFormat::Unknown;
    std::vector<Cue> cues;  // ordered by start time
};

constexpr double kDefaultMicroDvdFps = 23.976;

// The format is told from the text, not the file name. Malformed cues are skipped.
ParsedSubtitle parseSubtitle(std::string_view utf8);

const char* formatName(SubtitleFormat format);  // "srt", "vtt", "sub", "unknown"

// Escapes the text and keeps only balanced <b>, <i>, <u>; WebVTT also decodes its entities.
std::string sanitizeCueText(std::string_view text, bool webVttEntities);

}  // namespace lirra::server
