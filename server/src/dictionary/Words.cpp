// SPDX-License-Identifier: GPL-3.0-or-later
#include "Words.h"

#include <array>
#include <cctype>
#include <utility>

#include "TextFold.h"

namespace lirra::server::dictionary {
namespace {

constexpr std::size_t kMaxTagLength = 64;

bool isSpace(char32_t c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v' || c == 0xA0 ||
           (c >= 0x2000 && c <= 0x200B) || c == 0x202F || c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

char32_t normalised(char32_t c) {
    switch (c) {
        case 0x2019:
        case 0x2018:
        case 0x02BC:
        case 0x0060:
        case 0x00B4:
        case 0x2032:
            return '\'';
        case 0x2010:
        case 0x2011:
            return '-';
        default:
            return c;
    }
}

// "&amp;" and the like at `i` (just past the '&'): the character, advancing `i`; 0 if none.
char32_t characterReference(const std::vector<char32_t>& in, std::size_t& i) {
    std::string name;
    std::size_t j = i;
    while (j < in.size() && in[j] != ';' && name.size() < 10 && in[j] < 0x80) {
        name.push_back(static_cast<char>(in[j++]));
    }
    if (j >= in.size() || in[j] != ';' || name.empty()) return 0;
    char32_t value = 0;
    static constexpr std::array<std::pair<std::string_view, char32_t>, 7> kNamed{
        {{"amp", '&'},
         {"lt", '<'},
         {"gt", '>'},
         {"quot", '"'},
         {"apos", '\''},
         {"nbsp", 0xA0},
         {"rsquo", 0x2019}}};
    for (const auto& [entity, c] : kNamed) {
        if (name == entity) value = c;
    }
    if (!value && name.size() > 1 && name[0] == '#') {
        const bool hex = name[1] == 'x' || name[1] == 'X';
        char32_t number = 0;
        for (std::size_t k = hex ? 2 : 1; k < name.size() && number <= 0x10FFFF; ++k) {
            const char c = name[k];
            int digit = -1;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (hex && c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else if (hex && c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            if (digit < 0) return 0;
            number = number * (hex ? 16 : 10) + static_cast<char32_t>(digit);
        }
        if (number == 0 || number > 0x10FFFF || (number >= 0xD800 && number <= 0xDFFF)) return 0;
        value = number;
    }
    if (value) i = j + 1;
    return value;
}

// Code points with character references decoded and tags ("<i>", "</font>") turned into spaces.
std::vector<char32_t> prepare(std::string_view text) {
    std::vector<char32_t> raw;
    for (std::size_t i = 0; i < text.size();) raw.push_back(nextCodePoint(text, i));
    std::vector<char32_t> out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size();) {
        const char32_t c = raw[i++];
        if (c == '&') {
            if (const char32_t decoded = characterReference(raw, i)) {
                out.push_back(decoded);
                continue;
            }
        }
        if (c == '<' && i < raw.size() && raw[i] < 0x80 &&
            (std::isalpha(static_cast<int>(raw[i])) || raw[i] == '/')) {
            std::size_t close = i;
            while (close < raw.size() && close - i < kMaxTagLength && raw[close] != '>' &&
                   raw[close] != '<') {
                ++close;
            }
            if (close < raw.size() && raw[close] == '>') {
                out.push_back(' ');
                i = close + 1;
                continue;
            }
        }
        out.push_back(c);
    }
    return out;
}

std::string utf8(const std::vector<char32_t>& text, std::size_t from, std::size_t to) {
    std::string out;
    for (std::size_t i = from; i < to; ++i) appendUtf8(out, text[i]);
    return out;
}

}  // namespace

std::vector<Word> splitWords(std::string_view text, std::size_t maxWords) {
    const std::vector<char32_t> cps = prepare(text);
    std::vector<Word> out;
    std::size_t start = 0;
    bool inWord = false;
    auto kind = [&](std::size_t i) { return i < cps.size() ? normalised(cps[i]) : U' '; };
    auto finish = [&](std::size_t end) {
        if (!inWord) return;
        inWord = false;
        // A word ends on a letter or digit, or on an apostrophe ("goin'", "students'").
        while (end > start && kind(end - 1) != '\'' && !isWordCodePoint(kind(end - 1))) --end;
        if (end == start) return;
        // An abbreviation keeps its last period, as dictionaries spell it ("U.S.", "e.g.").
        bool dotted = false;
        for (std::size_t i = start; i < end; ++i) dotted = dotted || kind(i) == '.';
        if (dotted && kind(end) == '.' && !(kind(end - 1) >= '0' && kind(end - 1) <= '9')) ++end;
        Word word;
        word.surface = utf8(cps, start, end);
        for (std::size_t i = start; i < end; ++i) appendUtf8(word.text, lowerCodePoint(kind(i)));
        out.push_back(std::move(word));
    };
    for (std::size_t i = 0; i < cps.size() && out.size() < maxWords; ++i) {
        const char32_t c = kind(i);
        const bool nextIsWord = isWordCodePoint(kind(i + 1));
        const bool lastIsWord = inWord && isWordCodePoint(kind(i - 1));
        bool part = isWordCodePoint(c);
        if (c == '\'') part = inWord || nextIsWord;
        if (c == '-' || c == '.') part = lastIsWord && nextIsWord;
        if (part) {
            if (!inWord) start = i, inWord = true;
            continue;
        }
        finish(i);
        if (!isSpace(c) && !out.empty()) out.back().breakAfter = true;
    }
    if (out.size() < maxWords) finish(cps.size());
    return out;
}

std::string withoutQuotes(std::string_view text) {
    while (!text.empty() && text.front() == '\'') text.remove_prefix(1);
    while (!text.empty() && text.back() == '\'') text.remove_suffix(1);
    return std::string(text);
}

std::vector<WordPart> expandContraction(std::string_view text) {
    constexpr unsigned kAny = kAnyPartOfSpeech;
    static const std::array<std::pair<std::string_view, std::vector<WordPart>>, 12> kWhole{{
        {"won't", {{"will", kVerb}, {"not", kAdverb}}},
        {"can't", {{"can", kVerb}, {"not", kAdverb}}},
        {"shan't", {{"shall", kVerb}, {"not", kAdverb}}},
        {"ain't", {{"be", kVerb}, {"not", kAdverb}}},
        {"let's", {{"let", kVerb}, {"us", kAny}}},
        {"y'all", {{"you", kAny}, {"all", kAny}}},
        {"'em", {{"them", kAny}}},
        {"'cause", {{"because", kAny}}},
        {"'til", {{"until", kAny}}},
        {"'tis", {{"it", kAny}, {"be", kVerb}}},
        {"'twas", {{"it", kAny}, {"be", kVerb}}},
        {"i'm", {{"i", kAny}, {"be", kVerb}}},
    }};
    for (const auto& [whole, parts] : kWhole) {
        if (text == whole) return parts;
    }
    std::string word(text);
    while (!word.empty() && word.front() == '\'') word.erase(0, 1);
    if (word.size() > 3 && word.ends_with("in'")) word.back() = 'g';  // "goin'"
    while (!word.empty() && word.back() == '\'') word.pop_back();     // "students'"
    struct Ending {
        std::string_view ending;
        WordPart meaning;
        unsigned stem;  // what the word before it can be
    };
    static const std::array<Ending, 6> kEndings{{
        {"n't", {"not", kAdverb}, kVerb},
        {"'ll", {"will", kVerb}, kAny},
        {"'re", {"be", kVerb}, kAny},
        {"'ve", {"have", kVerb}, kAny},
        {"'d", {"would", kVerb}, kAny},
        {"'m", {"be", kVerb}, kAny},
    }};
    for (const auto& [ending, meaning, stem] : kEndings) {
        if (word.size() > ending.size() && word.ends_with(ending)) {
            return {{word.substr(0, word.size() - ending.size()), stem}, meaning};
        }
    }
    if (word.size() > 2 && word.ends_with("'s")) {
        // "it's" is "it is"; "Tom's" is Tom's.
        static constexpr std::array<std::string_view, 16> kSubjects{
            "he",   "she", "it",   "that", "what", "where",    "who",      "there",
            "here", "how", "when", "why",  "this", "everyone", "somebody", "nobody"};
        std::string stem = word.substr(0, word.size() - 2);
        for (const auto subject : kSubjects) {
            if (stem == subject) return {{stem, kAny}, {"be", kVerb}};
        }
        return {{stem, kAny}};
    }
    if (word.empty()) return {};
    return {{word, kAny}};
}

}  // namespace lirra::server::dictionary
