// SPDX-License-Identifier: GPL-3.0-or-later
#include "subtitles/SubtitleLines.h"

#include <algorithm>

#include "subtitles/CueText.h"
#include "subtitles/Text.h"

namespace lirra::server::subtitles {

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || text[i] == '\r') {
            lines.push_back(text.substr(start, i - start));
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            start = i + 1;
        }
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool isDigits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<std::int64_t> parseTimestamp(std::string_view s) {
    s = trim(s);
    std::string_view fraction;
    if (const auto sep = s.find_first_of(",."); sep != std::string_view::npos) {
        fraction = s.substr(sep + 1);
        s = s.substr(0, sep);
        if (fraction.empty() || fraction.size() > 3 || !isDigits(fraction)) return std::nullopt;
    }
    std::int64_t fields[3] = {0, 0, 0};
    int count = 0;
    while (true) {
        const auto colon = s.find(':');
        const auto field = s.substr(0, colon);
        if (count == 3 || !isDigits(field) || field.size() > 3) return std::nullopt;
        fields[count++] = static_cast<std::int64_t>(*parseDecimal(field, 999));
        if (colon == std::string_view::npos) break;
        s = s.substr(colon + 1);
    }
    if (count < 2) return std::nullopt;
    const std::int64_t hours = count == 3 ? fields[0] : 0;
    const std::int64_t minutes = fields[count - 2];
    const std::int64_t seconds = fields[count - 1];
    if (minutes > 59 || seconds > 59) return std::nullopt;
    std::int64_t ms = 0;
    if (!fraction.empty()) {
        ms = static_cast<std::int64_t>(*parseDecimal(fraction, 999));
        for (std::size_t i = fraction.size(); i < 3; ++i) ms *= 10;
    }
    const std::int64_t total = ((hours * 60 + minutes) * 60 + seconds) * 1000 + ms;
    if (total > kMaxTimeMs) return std::nullopt;
    return total;
}

bool parseTimingLine(std::string_view line, std::int64_t& start, std::int64_t& end) {
    const auto arrow = line.find("-->");
    if (arrow == std::string_view::npos) return false;
    auto right = trim(line.substr(arrow + 3));
    right = right.substr(0, right.find_first_of(" \t"));
    const auto a = parseTimestamp(line.substr(0, arrow));
    const auto b = parseTimestamp(right);
    if (!a || !b) return false;
    start = *a;
    end = *b;
    return true;
}

void addCue(std::vector<Cue>& cues, std::int64_t start, std::int64_t end, const std::string& raw,
            bool webVtt) {
    if (end < start) return;
    std::string text = sanitizeCueText(raw, webVtt);
    if (text.empty()) return;
    cues.push_back({start, end, std::move(text)});
}

}  // namespace lirra::server::subtitles
