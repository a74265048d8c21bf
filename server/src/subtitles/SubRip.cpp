// SPDX-License-Identifier: GPL-3.0-or-later
#include "subtitles/SubRip.h"

#include "subtitles/SubtitleLines.h"

namespace lirra::server::subtitles {

// A timing line inside the text also starts a new cue, since files that forget blank lines are
// common.
std::vector<Cue> parseSubRip(const std::vector<std::string_view>& lines, std::size_t from) {
    std::vector<Cue> cues;
    bool inCue = false;
    std::int64_t start = 0, end = 0;
    std::vector<std::string_view> text;
    auto flush = [&] {
        if (inCue) {
            std::string joined;
            for (std::size_t i = 0; i < text.size(); ++i) {
                if (i) joined.push_back('\n');
                joined.append(text[i]);
            }
            addCue(cues, start, end, joined, false);
        }
        inCue = false;
        text.clear();
    };
    for (std::size_t i = from; i < lines.size(); ++i) {
        const auto line = lines[i];
        if (trim(line).empty()) {
            flush();
            continue;
        }
        std::int64_t s = 0, e = 0;
        if (parseTimingLine(line, s, e)) {
            // A number just before a timing line is that cue's index, not text.
            if (inCue && !text.empty() && isDigits(trim(text.back()))) text.pop_back();
            flush();
            inCue = true;
            start = s;
            end = e;
            continue;
        }
        if (inCue) text.push_back(line);
    }
    flush();
    return cues;
}

}  // namespace lirra::server::subtitles
