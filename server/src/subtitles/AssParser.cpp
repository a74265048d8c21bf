// SPDX-License-Identifier: GPL-3.0-or-later
#include "subtitles/AssParser.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <set>
#include <string>
#include <tuple>

#include "subtitles/AssText.h"

namespace lirra::server {
namespace {

constexpr std::int64_t kMaxTimeMs = 100LL * 3600 * 1000;  // longer than any video
constexpr std::size_t kMaxFields = 64;

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// "Dialogue: ..." -> "...", case aside; none when the line is not of that kind.
std::optional<std::string_view> afterKey(std::string_view line, std::string_view key) {
    if (line.size() < key.size() || lower(line.substr(0, key.size())) != key) return std::nullopt;
    return line.substr(key.size());
}

// "0:00:01.50" (hours, minutes, seconds, hundredths); one to three fraction digits are read as
// a decimal fraction of a second.
std::optional<std::int64_t> parseTime(std::string_view s) {
    s = trim(s);
    std::int64_t parts[3] = {0, 0, 0};
    for (int k = 0; k < 3; ++k) {
        const auto end = s.find(k < 2 ? ':' : '.');
        const auto field = s.substr(0, end);
        if (field.empty() || field.size() > (k == 0 ? 3u : 2u)) return std::nullopt;
        for (char c : field) {
            if (c < '0' || c > '9') return std::nullopt;
            parts[k] = parts[k] * 10 + (c - '0');
        }
        if (end == std::string_view::npos) {
            if (k < 2) return std::nullopt;
            s = {};
            break;
        }
        s = s.substr(end + 1);
    }
    if (parts[1] > 59 || parts[2] > 59 || s.size() > 3) return std::nullopt;
    std::int64_t ms = 0;
    for (std::size_t k = 0; k < 3; ++k) {
        const char c = k < s.size() ? s[k] : '0';
        if (c < '0' || c > '9') return std::nullopt;
        ms = ms * 10 + (c - '0');
    }
    const std::int64_t total = ((parts[0] * 60 + parts[1]) * 60 + parts[2]) * 1000 + ms;
    if (total > kMaxTimeMs) return std::nullopt;
    return total;
}

// Where the fields an event needs sit in its line. Text is always the last field, since it
// may hold commas itself.
struct EventFormat {
    std::size_t count = 10;  // Layer (or Marked), Start, End, Style, Name, 3 margins, Effect, Text
    std::size_t start = 1;
    std::size_t end = 2;
};

std::optional<EventFormat> parseFormat(std::string_view fields) {
    EventFormat format;
    std::optional<std::size_t> start, end;
    std::size_t count = 0;
    bool textLast = false;
    while (true) {
        const auto comma = fields.find(',');
        const std::string name = lower(trim(fields.substr(0, comma)));
        if (count >= kMaxFields) return std::nullopt;
        if (name == "start") start = count;
        if (name == "end") end = count;
        textLast = name == "text";
        ++count;
        if (comma == std::string_view::npos) break;
        fields = fields.substr(comma + 1);
    }
    if (!start || !end || !textLast) return std::nullopt;
    format.count = count;
    format.start = *start;
    format.end = *end;
    return format;
}

enum class Section { Other, Events };

}  // namespace

bool looksLikeAss(std::string_view utf8) {
    if (utf8.substr(0, 3) == "\xEF\xBB\xBF") utf8.remove_prefix(3);
    while (!utf8.empty()) {
        const auto eol = utf8.find_first_of("\r\n");
        const auto line = trim(utf8.substr(0, eol));
        if (!line.empty()) {
            const std::string head = lower(line);
            return head == "[script info]" || head == "[v4+ styles]" || head == "[v4 styles]" ||
                   head == "[events]";
        }
        if (eol == std::string_view::npos) break;
        utf8.remove_prefix(eol + 1);
    }
    return false;
}

std::vector<Cue> parseAss(std::string_view utf8) {
    if (utf8.substr(0, 3) == "\xEF\xBB\xBF") utf8.remove_prefix(3);
    std::vector<Cue> cues;
    // Layered copies of an event (an outline under the text, say) are one cue: the cues seen,
    // by their place in `cues`, so that no text is held twice.
    const auto before = [&cues](std::size_t a, std::size_t b) {
        return std::tie(cues[a].startMs, cues[a].endMs, cues[a].text) <
               std::tie(cues[b].startMs, cues[b].endMs, cues[b].text);
    };
    std::set<std::size_t, decltype(before)> seen(before);
    Section section = Section::Other;
    EventFormat format;
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        auto eol = utf8.find_first_of("\r\n", pos);
        if (eol == std::string_view::npos) eol = utf8.size();
        const auto line = trim(utf8.substr(pos, eol - pos));
        pos = eol + 1;
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            section = lower(line) == "[events]" ? Section::Events : Section::Other;
            continue;
        }
        if (section == Section::Events) {
            if (const auto fields = afterKey(line, "format:")) {
                // A Format line that lacks what an event needs leaves the one before in force.
                if (const auto parsed = parseFormat(*fields)) format = *parsed;
                continue;
            }
        }
        const auto rest = afterKey(line, "dialogue:");
        if (!rest) continue;  // Comment:, Picture:, Style: ... and anything unknown
        std::string_view fields = *rest;
        std::string_view start, end;
        bool complete = true;
        for (std::size_t k = 0; k + 1 < format.count; ++k) {
            const auto comma = fields.find(',');
            if (comma == std::string_view::npos) {
                complete = false;
                break;
            }
            if (k == format.start) start = fields.substr(0, comma);
            if (k == format.end) end = fields.substr(0, comma);
            fields.remove_prefix(comma + 1);
        }
        if (!complete) continue;
        const auto startMs = parseTime(start);
        const auto endMs = parseTime(end);
        if (!startMs || !endMs || *endMs < *startMs) continue;
        std::string text = assTextToCueText(fields);
        if (text.empty()) continue;
        cues.push_back({*startMs, *endMs, std::move(text)});
        if (!seen.insert(cues.size() - 1).second) cues.pop_back();
    }
    std::stable_sort(cues.begin(), cues.end(),
                     [](const Cue& a, const Cue& b) { return a.startMs < b.startMs; });
    return cues;
}

}  // namespace lirra::server
