// SPDX-License-Identifier: GPL-3.0-or-later
#include "TextFold.h"

namespace lirra::server::dictionary {

char32_t nextCodePoint(std::string_view text, std::size_t& i) {
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    std::size_t extra = 0;
    char32_t value = 0, minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, value = lead & 0x07, minimum = 0x10000;
    } else {
        ++i;
        return kReplacement;
    }
    if (i + extra >= text.size()) {
        ++i;
        return kReplacement;
    }
    for (std::size_t k = 1; k <= extra; ++k) {
        const unsigned char next = byte(i + k);
        if ((next & 0xC0) != 0x80) {
            ++i;
            return kReplacement;
        }
        value = (value << 6) | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        ++i;
        return kReplacement;
    }
    i += extra + 1;
    return value;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::size_t codePointCount(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++count) nextCodePoint(text, i);
    return count;
}

char32_t lowerCodePoint(char32_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
    if (c >= 0x100 && c <= 0x17F) {
        // Latin Extended-A pairs upper and lower case, even/odd except in 0x139-0x148 and
        // 0x179-0x17E, where the upper case letter is odd.
        if (c == 0x130) return 'i';
        if (c == 0x178) return 0xFF;
        const bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (c == 0x138 || c == 0x149 || c == 0x17F) return c;
        return oddUpper ? ((c & 1) ? c + 1 : c) : ((c & 1) ? c : c + 1);
    }
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;
    if (c >= 0x410 && c <= 0x42F) return c + 32;
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    return c;
}

bool isWordCodePoint(char32_t c) {
    if (c < 0x80) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    }
    if (c <= 0xBF) return c == 0xAA || c == 0xB5 || c == 0xBA;  // ª µ º; the rest is signs
    if (c == 0xD7 || c == 0xF7) return false;                   // × ÷
    if (c >= 0x2000 && c <= 0x2BFF) return false;  // punctuation, symbols, arrows, dingbats
    if (c >= 0x3000 && c <= 0x303F) return false;  // CJK punctuation
    if (c >= 0xD800 && c <= 0xF8FF) return false;  // surrogates, private use
    if (c >= 0xFE00 && c <= 0xFE0F) return false;  // variation selectors
    if (c >= 0xFE30 && c <= 0xFE4F) return false;
    if (c >= 0xFF00 && c <= 0xFF0F) return false;  // fullwidth punctuation
    if (c >= 0xFF1A && c <= 0xFF20) return false;
    if (c >= 0xFF3B && c <= 0xFF40) return false;
    if (c >= 0xFF5B && c <= 0xFF65) return false;
    if (c >= 0xFFF0 && c <= 0xFFFF) return false;    // specials, U+FFFD among them
    if (c >= 0x1F000 && c <= 0x1FAFF) return false;  // emoji and pictographs
    if (c >= 0xE0000) return false;                  // tags, private use planes
    return true;
}

std::string foldCase(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const char32_t c = nextCodePoint(text, i);
        if (c < 0x20 || c == 0x7F) continue;
        appendUtf8(out, lowerCodePoint(c));
    }
    return out;
}

namespace {

std::string foldedKey(std::string_view text, bool inner) {
    std::string out;
    out.reserve(text.size());
    bool space = false;
    char32_t before = ' ';
    for (std::size_t i = 0; i < text.size();) {
        char32_t c = nextCodePoint(text, i);
        if (c == 0x2019) c = '\'';  // as typeset headwords spell it
        if (inner && (c == '\'' || c == '.') && isWordCodePoint(before)) {
            std::size_t next = i;
            if (next < text.size() && isWordCodePoint(nextCodePoint(text, next))) {
                out.push_back(static_cast<char>(c));
                before = c;
                continue;
            }
        }
        before = c;
        if (c == ' ' || c == '\t' || c == 0xA0) {
            space = !out.empty();
            continue;
        }
        if (!isWordCodePoint(c)) continue;
        if (space) out.push_back(' ');
        space = false;
        appendUtf8(out, lowerCodePoint(c));
    }
    return out;
}

}  // namespace

std::string alnumKey(std::string_view text) { return foldedKey(text, false); }

std::string headwordKey(std::string_view text) { return foldedKey(text, true); }

std::string cleanText(std::string_view text, bool keepLines) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        char32_t c = nextCodePoint(text, i);
        if (c == '\t') c = ' ';
        if (c == '\n' && keepLines) {
            out.push_back('\n');
            continue;
        }
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) continue;
        appendUtf8(out, c);
    }
    return out;
}

}  // namespace lirra::server::dictionary
