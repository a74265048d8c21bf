// SPDX-License-Identifier: GPL-3.0-or-later
#include "subtitles/SubtitleParser.h"

#include <algorithm>

#include "subtitles/AssParser.h"
#include "subtitles/MicroDvd.h"
#include "subtitles/SubRip.h"
#include "subtitles/SubtitleLines.h"
#include "subtitles/WebVtt.h"

namespace lirra::server {

ParsedSubtitle parseSubtitle(std::string_view utf8) {
    using namespace subtitles;
    if (utf8.substr(0, 3) == "\xEF\xBB\xBF") utf8.remove_prefix(3);
    const auto lines = splitLines(utf8);
    std::size_t first = 0;
    while (first < lines.size() && trim(lines[first]).empty()) ++first;
    ParsedSubtitle result;
    if (first == lines.size()) return result;
    const auto head = trim(lines[first]);
    if (looksLikeAss(head)) {
        result.format = SubtitleFormat::Ass;
        result.cues = parseAss(utf8);  // already in order
        return result;
    }
    if (isWebVttHeader(head)) {
        result.format = SubtitleFormat::WebVtt;
        result.cues = parseWebVtt(lines, first + 1);
    } else if (looksLikeMicroDvd(head)) {
        result.format = SubtitleFormat::MicroDvd;
        result.cues = parseMicroDvd(lines);
    } else {
        // SubRip is also the reading of last resort: text with no cue in it is "unknown".
        result.cues = parseSubRip(lines, first);
        if (!result.cues.empty() || utf8.find("-->") != std::string_view::npos) {
            result.format = SubtitleFormat::SubRip;
        }
    }
    std::stable_sort(result.cues.begin(), result.cues.end(),
                     [](const Cue& a, const Cue& b) { return a.startMs < b.startMs; });
    return result;
}

const char* formatName(SubtitleFormat format) {
    switch (format) {
        case SubtitleFormat::SubRip:
            return "srt";
        case SubtitleFormat::WebVtt:
            return "vtt";
        case SubtitleFormat::MicroDvd:
            return "sub";
        case SubtitleFormat::Ass:
            return "ass";
        case SubtitleFormat::Unknown:
            break;
    }
    return "unknown";
}

}  // namespace lirra::server
