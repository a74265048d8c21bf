// SPDX-License-Identifier: GPL-3.0-or-later
#include "subtitles/WebVtt.h"

#include <algorithm>
#include <optional>
#include <string>

#include "subtitles/SubtitleLines.h"

namespace lirra::server::subtitles {
namespace {

// What WebVTT skips between the parts of a timing line.
// (Line feeds and carriage returns, also spaces to WebVTT, never reach a line.)
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\f'; }

void skipSpaces(std::string_view& s) {
    while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
}

std::string_view takeDigits(std::string_view& s) {
    std::size_t n = 0;
    while (n < s.size() && s[n] >= '0' && s[n] <= '9') ++n;
    const auto digits = s.substr(0, n);
    s.remove_prefix(n);
    return digits;
}

// Saturates: a field past kMaxTimeMs makes a time too late whatever follows.
std::int64_t number(std::string_view digits) {
    std::int64_t value = 0;
    for (char c : digits) value = std::min<std::int64_t>(value * 10 + (c - '0'), kMaxTimeMs + 1);
    return value;
}

bool take(std::string_view& s, char c) {
    if (s.empty() || s.front() != c) return false;
    s.remove_prefix(1);
    return true;
}

// Browsers' reading of a time stamp: [hours:]MM:SS.mmm, minutes and seconds two digits each,
// three digits of fraction; a first field not of two digits, or followed by a third, is hours.
// (Browsers take one past 59 for hours too, and then want a third: no time either way.)
std::optional<std::int64_t> takeTimestamp(std::string_view& s) {
    const auto first = takeDigits(s);
    if (first.empty() || !take(s, ':')) return std::nullopt;
    const auto second = takeDigits(s);
    if (second.size() != 2) return std::nullopt;
    std::int64_t hours = 0;
    std::int64_t minutes = number(first);
    std::int64_t seconds = number(second);
    if (first.size() != 2 || (!s.empty() && s.front() == ':')) {
        if (!take(s, ':')) return std::nullopt;
        const auto third = takeDigits(s);
        if (third.size() != 2) return std::nullopt;
        hours = minutes;
        minutes = seconds;
        seconds = number(third);
    }
    if (!take(s, '.')) return std::nullopt;
    const auto fraction = takeDigits(s);
    if (fraction.size() != 3 || minutes > 59 || seconds > 59) return std::nullopt;
    const std::int64_t total = ((hours * 60 + minutes) * 60 + seconds) * 1000 + number(fraction);
    if (total > kMaxTimeMs) return std::nullopt;
    return total;
}

// "start --> end" and then cue settings, which may follow the end without a space.
bool readTimings(std::string_view line, std::int64_t& start, std::int64_t& end) {
    skipSpaces(line);
    const auto a = takeTimestamp(line);
    skipSpaces(line);
    if (!a || line.substr(0, 3) != "-->") return false;
    line.remove_prefix(3);
    skipSpaces(line);
    const auto b = takeTimestamp(line);
    if (!b) return false;
    start = *a;
    end = *b;
    return true;
}

bool hasArrow(std::string_view line) { return line.find("-->") != std::string_view::npos; }

}  // namespace

bool isWebVttHeader(std::string_view line) {
    return line.substr(0, 6) == "WEBVTT" && (line.size() == 6 || line[6] == ' ' || line[6] == '\t');
}

// Blocks as browsers collect them: a block is a cue when its first line, or its second after an
// id line, is a timing line; a later line with an arrow ends the block and starts the next one,
// and only an empty line (not one of spaces) ends a cue's text. Header, NOTE, STYLE and REGION
// blocks hold no timing line in those places, so they give no cue.
std::vector<Cue> parseWebVtt(const std::vector<std::string_view>& lines, std::size_t from) {
    std::vector<Cue> cues;
    std::size_t i = from;
    while (i < lines.size()) {
        bool seenArrow = false, timed = false;
        std::int64_t start = 0, end = 0;
        std::string text;
        for (std::size_t count = 1; i < lines.size(); ++count) {
            const auto line = lines[i];
            const bool arrow = hasArrow(line);
            // From the third line on, an arrow starts the next block. A second timing line
            // after a first leaves that one without text: the second times what follows.
            if (arrow && count > 2) break;
            ++i;
            if (line.empty()) break;
            if (arrow) {
                seenArrow = true;
                timed = readTimings(line, start, end);
            } else if (seenArrow) {
                text += (text.empty() ? "" : "\n") + std::string(line);
            }
        }
        if (timed) addCue(cues, start, end, text, true);
    }
    return cues;
}

}  // namespace lirra::server::subtitles
