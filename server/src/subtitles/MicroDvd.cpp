// SPDX-License-Identifier: GPL-3.0-or-later
#include "subtitles/MicroDvd.h"

#include <cmath>
#include <cstdlib>
#include <string>

#include "subtitles/SubtitleLines.h"
#include "subtitles/Text.h"

namespace lirra::server::subtitles {
namespace {

// MicroDVD control codes: {y:i} style for the line, {Y:i} for every line; others are dropped.
std::string microDvdLine(std::string_view line, std::string& allStyle) {
    std::string style;
    std::string out;
    while (!line.empty() && line.front() == '{') {
        const auto close = line.find('}');
        if (close == std::string_view::npos) break;
        const std::string code = std::string(line.substr(1, close - 1));
        if (code.size() > 2 && (code[0] == 'y' || code[0] == 'Y') && code[1] == ':') {
            std::string& target = code[0] == 'Y' ? allStyle : style;
            for (char c : asciiLower(code.substr(2))) {
                if ((c == 'i' || c == 'b' || c == 'u') && target.find(c) == std::string::npos) {
                    target.push_back(c);
                }
            }
        }
        line.remove_prefix(close + 1);
    }
    if (!line.empty() && line.front() == '/') {  // a leading slash marks italics
        line.remove_prefix(1);
        if (style.find('i') == std::string::npos) style.push_back('i');
    }
    std::string styles = allStyle;
    for (char c : style) {
        if (styles.find(c) == std::string::npos) styles.push_back(c);
    }
    for (char c : styles) out += std::string("<") + c + ">";
    out.append(line);
    for (auto it = styles.rbegin(); it != styles.rend(); ++it) out += std::string("</") + *it + ">";
    return out;
}

bool parseMicroDvdFrames(std::string_view& line, std::int64_t& first, std::int64_t& second,
                         bool& hasSecond) {
    auto take = [&](std::int64_t& value, bool allowEmpty) {
        if (line.empty() || line.front() != '{') return false;
        const auto close = line.find('}');
        if (close == std::string_view::npos) return false;
        const auto digits = line.substr(1, close - 1);
        line.remove_prefix(close + 1);
        if (digits.empty()) return allowEmpty;
        const auto v = parseDecimal(digits, 100000000);
        if (!v) return false;
        value = static_cast<std::int64_t>(*v);
        return true;
    };
    second = -1;
    if (!take(first, false)) return false;
    if (!take(second, true)) return false;
    hasSecond = second >= 0;
    return true;
}

}  // namespace

std::vector<Cue> parseMicroDvd(const std::vector<std::string_view>& lines) {
    std::vector<Cue> cues;
    double fps = kDefaultMicroDvdFps;
    bool first = true;
    for (auto line : lines) {
        line = trim(line);
        if (line.empty()) continue;
        std::int64_t a = 0, b = 0;
        bool hasEnd = false;
        if (!parseMicroDvdFrames(line, a, b, hasEnd)) continue;
        if (first) {
            first = false;
            // "{1}{1}23.976": the frame rate of the file rather than a cue.
            std::string rate(trim(line));
            char* endPtr = nullptr;
            const double value = std::strtod(rate.c_str(), &endPtr);
            if (a <= 1 && b <= 1 && !rate.empty() && endPtr == rate.c_str() + rate.size() &&
                value >= 1.0 && value <= 200.0) {
                fps = value;
                continue;
            }
        }
        if (!hasEnd) b = a + static_cast<std::int64_t>(std::lround(fps * 3));
        std::string allStyle;
        std::string text;
        std::size_t pos = 0;
        bool firstLine = true;
        while (pos <= line.size()) {
            auto bar = line.find('|', pos);
            if (bar == std::string_view::npos) bar = line.size();
            if (!firstLine) text.push_back('\n');
            firstLine = false;
            text += microDvdLine(line.substr(pos, bar - pos), allStyle);
            pos = bar + 1;
        }
        const auto toMs = [fps](std::int64_t frame) {
            return static_cast<std::int64_t>(
                std::llround(static_cast<double>(frame) * 1000.0 / fps));
        };
        const std::int64_t startMs = toMs(a), endMs = toMs(b);
        if (startMs > kMaxTimeMs || endMs > kMaxTimeMs) continue;
        addCue(cues, startMs, endMs, text, false);
    }
    return cues;
}

bool looksLikeMicroDvd(std::string_view line) {
    std::int64_t a = 0, b = 0;
    bool hasEnd = false;
    line = trim(line);
    return parseMicroDvdFrames(line, a, b, hasEnd);
}

}  // namespace lirra::server::subtitles
