// SPDX-License-Identifier: GPL-3.0-or-later
#include "subtitles/CueText.h"

#include <cctype>

#include "subtitles/SubtitleLines.h"
#include "subtitles/Text.h"

namespace lirra::server {
namespace {

int decodeEntity(std::string_view s, std::size_t& length) {
    struct Named {
        std::string_view name;
        int cp;
    };
    static const Named kNamed[] = {{"&amp;", '&'},    {"&lt;", '<'},    {"&gt;", '>'},
                                   {"&quot;", '"'},   {"&apos;", '\''}, {"&nbsp;", 0xA0},
                                   {"&lrm;", 0x200E}, {"&rlm;", 0x200F}};
    if (s.substr(0, 2) != "&#") {
        for (const auto& n : kNamed) {
            if (s.substr(0, n.name.size()) == n.name) {
                length = n.name.size();
                return n.cp;
            }
        }
    } else {
        const auto semi = s.substr(0, 11).find(';');  // only as far as an entity may reach
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

}  // namespace

std::string sanitizeCueText(std::string_view text, bool webVttEntities) {
    static const std::string_view kAllowed = "biu";
    std::string out;
    std::string open;  // stack of open tags
    ForwardFind nextClose(text, '>'), nextOpen(text, '<'), nextBrace(text, '}');
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '<') {
            const auto close = nextClose.from(i + 1);
            const auto reopen = nextOpen.from(i + 1);
            // A tag starts with a name, a '/', or (WebVTT time stamps) a digit: "1 < 2" is text.
            const char next = i + 1 < text.size() ? text[i + 1] : ' ';
            const bool tagStart =
                std::isalpha(static_cast<unsigned char>(next)) || next == '/' ||
                (webVttEntities && std::isdigit(static_cast<unsigned char>(next)));
            if (!tagStart || close == std::string_view::npos ||
                (reopen != std::string_view::npos && reopen < close)) {
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
            const auto close = nextBrace.from(i);
            if (close != std::string_view::npos) {
                i = close + 1;
                continue;
            }
        }
        if (c == '&' && webVttEntities) {
            std::size_t length = 0;
            const int cp = decodeEntity(text.substr(i), length);
            if (cp >= 0) {
                // Only ASCII has an entity; anything else is written as the character itself.
                if (cp < 0x80) {
                    appendHtmlEscaped(out, static_cast<char>(cp));
                } else {
                    appendUtf8(out, cp);
                }
                i += length;
                continue;
            }
        }
        if (c == '\r' || c == '\t') {
            out.push_back(' ');
        } else {
            appendHtmlEscaped(out, c);
        }
        ++i;
    }
    while (!open.empty()) {
        out += std::string("</") + open.back() + ">";
        open.pop_back();
    }
    // Spaces around each line and empty lines at either end carry nothing.
    std::string result;
    for (auto line : subtitles::splitLines(out)) {
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

}  // namespace lirra::server
