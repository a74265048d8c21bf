#include "SubtitleParser.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "Text.h"

namespace lirra::server {
namespace {

constexpr std::int64_t kMaxTimeMs = 100LL * 3600 * 1000;  // longer than any video

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

// "01:02:03,456", "1:02:03.4", "02:03.456" (WebVTT without hours).
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

// "start --> end" with anything after the end (WebVTT cue settings) ignored.
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

int decodeEntity(std::string_view s, std::size_t& length) {
    struct Named {
        std::string_view name;
        int cp;
    };
    static const Named kNamed[] = {{"&amp;", '&'},    {"&lt;", '<'},    {"&gt;", '>'},
                                   {"&quot;", '"'},   {"&apos;", '\''}, {"&nbsp;", 0xA0},
                                   {"&lrm;", 0x200E}, {"&rlm;", 0x200F}};
    for (const auto& n : kNamed) {
        if (s.substr(0, n.name.size()) == n.name) {
            length = n.name.size();
            return n.cp;
        }
    }
    if (s.substr(0, 2) == "&#") {
        const auto semi = s.find(';');
        if (semi == std::string_view::npos || semi > 10) return -1;
        auto digits = s.substr(2, semi - 2);
        int base = 10;
        if (!digits.empty() && (digits[0] == 'x' || digits[0] == 'X')) {
            base = 16;
            digits.remove_prefix(1);
        }
        if (digits.empty()) return -1;
        long cp = 0;
        for (char c : digits) {
            int v = (c >= '0' && c <= '9')                 ? c - '0'
                    : (base == 16 && c >= 'a' && c <= 'f') ? c - 'a' + 10
                    : (base == 16 && c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                           : -1;
            if (v < 0) return -1;
            cp = cp * base + v;
            if (cp > 0x10FFFF) return -1;
        }
        if (cp < 0x20 || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
        length = semi + 1;
        return static_cast<int>(cp);
    }
    return -1;
}

void appendUtf8(std::string& out, int cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

void appendEscaped(std::string& out, int cp) {
    switch (cp) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            appendUtf8(out, cp);
    }
}

void addCue(std::vector<Cue>& cues, std::int64_t start, std::int64_t end, const std::string& raw,
            bool webVtt) {
    if (end < start) return;
    std::string text = sanitizeCueText(raw, webVtt);
    if (text.empty()) return;
    cues.push_back({start, end, std::move(text)});
}

// SubRip and WebVTT: blocks of a timing line and text lines, ended by a blank line. A timing line
// inside the text also starts a new cue, since files that forget blank lines are common.
std::vector<Cue> parseTimedBlocks(const std::vector<std::string_view>& lines, std::size_t from,
                                  bool webVtt) {
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
            addCue(cues, start, end, joined, webVtt);
        }
        inCue = false;
        text.clear();
    };
    bool skipBlock = false;  // WebVTT NOTE, STYLE and REGION blocks
    bool blockStart = true;
    for (std::size_t i = from; i < lines.size(); ++i) {
        const auto line = lines[i];
        if (trim(line).empty()) {
            flush();
            skipBlock = false;
            blockStart = true;
            continue;
        }
        if (skipBlock) continue;
        if (webVtt && blockStart &&
            (line.substr(0, 4) == "NOTE" || line.substr(0, 5) == "STYLE" ||
             line.substr(0, 6) == "REGION")) {
            skipBlock = true;
            continue;
        }
        blockStart = false;
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

}  // namespace

std::string sanitizeCueText(std::string_view text, bool webVttEntities) {
    static const std::string_view kAllowed = "biu";
    std::string out;
    std::string open;  // stack of open tags
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '<') {
            const auto close = text.find('>', i + 1);
            const auto nextOpen = text.find('<', i + 1);
            // A tag starts with a name, a '/', or (WebVTT time stamps) a digit: "1 < 2" is text.
            const char next = i + 1 < text.size() ? text[i + 1] : ' ';
            const bool tagStart =
                std::isalpha(static_cast<unsigned char>(next)) || next == '/' ||
                (webVttEntities && std::isdigit(static_cast<unsigned char>(next)));
            if (!tagStart || close == std::string_view::npos ||
                (nextOpen != std::string_view::npos && nextOpen < close)) {
                out += "&lt;";
                ++i;
                continue;
            }
            auto inner = text.substr(i + 1, close - i - 1);
            i = close + 1;
            const bool closing = !inner.empty() && inner.front() == '/';
            if (closing) inner.remove_prefix(1);
            std::size_t n = 0;
            while (n < inner.size() && std::isalnum(static_cast<unsigned char>(inner[n]))) ++n;
            const std::string name = asciiLower(inner.substr(0, n));
            if (name.size() != 1 || kAllowed.find(name[0]) == std::string_view::npos) continue;
            const char tag = name[0];
            if (!closing) {
                if (open.find(tag) != std::string::npos) continue;  // already open: no nesting
                open.push_back(tag);
                out += std::string("<") + tag + ">";
            } else if (const auto at = open.rfind(tag); at != std::string::npos) {
                // Close whatever was opened inside it too, so the markup stays balanced.
                while (open.size() > at) {
                    out += std::string("</") + open.back() + ">";
                    open.pop_back();
                }
            }
            continue;
        }
        if (c == '{' && !webVttEntities && i + 1 < text.size() && text[i + 1] == '\\') {
            // SubStation override codes ("{\an8}") that SubRip files often carry.
            const auto close = text.find('}', i);
            if (close != std::string_view::npos) {
                i = close + 1;
                continue;
            }
        }
        if (c == '&' && webVttEntities) {
            std::size_t length = 0;
            const int cp = decodeEntity(text.substr(i), length);
            if (cp >= 0) {
                appendEscaped(out, cp);
                i += length;
                continue;
            }
        }
        if (c == '\r' || c == '\t') {
            out.push_back(' ');
        } else if (c == '&' || c == '<' || c == '>' || c == '"' || c == '\'') {
            appendEscaped(out, c);
        } else {
            out.push_back(c);
        }
        ++i;
    }
    while (!open.empty()) {
        out += std::string("</") + open.back() + ">";
        open.pop_back();
    }
    // Spaces around each line and empty lines at either end carry nothing.
    std::string result;
    for (auto line : splitLines(out)) {
        while (!line.empty() && line.back() == ' ') line.remove_suffix(1);
        while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
        if (!result.empty() || !line.empty()) {
            if (!result.empty()) result.push_back('\n');
            result.append(line);
        }
    }
    while (!result.empty() && result.back() == '\n') result.pop_back();
    return result;
}

ParsedSubtitle parseSubtitle(std::string_view utf8) {
    if (utf8.substr(0, 3) == "\xEF\xBB\xBF") utf8.remove_prefix(3);
    const auto lines = splitLines(utf8);
    std::size_t first = 0;
    while (first < lines.size() && trim(lines[first]).empty()) ++first;
    ParsedSubtitle result;
    if (first == lines.size()) return result;
    const auto head = trim(lines[first]);
    if (head.substr(0, 6) == "WEBVTT" && (head.size() == 6 || head[6] == ' ' || head[6] == '\t')) {
        result.format = SubtitleFormat::WebVtt;
        result.cues = parseTimedBlocks(lines, first + 1, true);
    } else if (looksLikeMicroDvd(head)) {
        result.format = SubtitleFormat::MicroDvd;
        result.cues = parseMicroDvd(lines);
    } else {
        result.cues = parseTimedBlocks(lines, first, false);
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
        case SubtitleFormat::Unknown:
            break;
    }
    return "unknown";
}

}  // namespace lirra::server
