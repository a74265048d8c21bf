// SPDX-License-Identifier: GPL-3.0-or-later
#include "Articles.h"

#include <array>
#include <cctype>
#include <utility>

namespace lirra::server::dictionary {
namespace {

std::vector<std::string_view> lines(std::string_view text) {
    std::vector<std::string_view> out;
    for (std::size_t start = 0; start <= text.size();) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// "[syn: {a}, {b}]" and "[ant: …]" name other synsets; the learner reads the gloss.
std::string cleanGloss(std::string_view gloss) {
    std::string out;
    bool space = false;
    for (std::size_t i = 0; i < gloss.size(); ++i) {
        const char c = gloss[i];
        if (c == '[') {
            const auto colon = gloss.find(':', i);
            const auto close = gloss.find(']', i);
            if (colon != std::string_view::npos && close != std::string_view::npos &&
                colon < close && colon - i <= 5) {
                i = close;
                continue;
            }
        }
        if (c == '{' || c == '}') continue;
        if (c == ' ' || c == '\n') {
            space = !out.empty();
            continue;
        }
        if (space) out.push_back(' ');
        space = false;
        out.push_back(c);
    }
    while (!out.empty() && (out.back() == ';' || out.back() == ' ')) out.pop_back();
    return out;
}

std::string asciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Whether a gloss's "[syn: {…}, …]" spells `headword` only with capitals.
bool isNameSense(std::string_view gloss, std::string_view headword) {
    const auto start = gloss.find("[syn:");
    if (start == std::string_view::npos) return false;
    const auto end = gloss.find(']', start);
    const std::string_view list =
        gloss.substr(start, end == std::string_view::npos ? end : end - start);
    const std::string lower = asciiLower(headword);
    bool capital = false;
    for (std::size_t open = list.find('{'); open != std::string_view::npos;
         open = list.find('{', open + 1)) {
        const auto close = list.find('}', open);
        if (close == std::string_view::npos) break;
        const std::string_view synonym = list.substr(open + 1, close - open - 1);
        if (synonym == lower) return false;
        if (asciiLower(synonym) == lower) capital = true;
    }
    return capital;
}

constexpr std::array<std::pair<std::string_view, PartOfSpeech>, 4> kWordNetMarks{
    {{"n", kNoun}, {"v", kVerb}, {"adj", kAdjective}, {"adv", kAdverb}}};

// "n 1: gloss" → part of speech and gloss; "2: gloss" → the gloss of a next sense.
bool senseStart(std::string_view line, PartOfSpeech* pos, std::string_view& gloss) {
    std::size_t at = 0;
    if (pos) {
        const auto space = line.find(' ');
        if (space == std::string_view::npos) return false;
        bool known = false;
        for (const auto& [mark, value] : kWordNetMarks) {
            if (line.substr(0, space) == mark) *pos = value, known = true;
        }
        if (!known) return false;
        at = space + 1;
    }
    const std::size_t digits = at;
    while (at < line.size() && std::isdigit(static_cast<unsigned char>(line[at]))) ++at;
    if (at == digits || at >= line.size() || line[at] != ':') return false;
    gloss = trim(line.substr(at + 1));
    return true;
}

}  // namespace

const char* partOfSpeechName(PartOfSpeech pos) {
    switch (pos) {
        case kNoun:
            return "noun";
        case kVerb:
            return "verb";
        case kAdjective:
            return "adjective";
        case kAdverb:
            return "adverb";
        default:
            return "";
    }
}

WordNetArticle parseWordNetArticle(std::string_view article) {
    WordNetArticle out;
    const auto all = lines(article);
    if (all.empty()) return out;
    out.headword = std::string(trim(all.front()));
    std::string gloss;
    auto flush = [&] {
        if (!gloss.empty() && !out.senses.empty()) {
            auto cleaned = cleanGloss(gloss);
            if (!cleaned.empty()) {
                out.senses.back().definitions.push_back(
                    {std::move(cleaned), isNameSense(gloss, out.headword)});
            }
        }
        gloss.clear();
    };
    for (std::size_t i = 1; i < all.size(); ++i) {
        const std::string_view line = trim(all[i]);
        if (line.empty()) continue;
        PartOfSpeech pos = kNoun;
        std::string_view text;
        if (senseStart(line, &pos, text)) {
            flush();
            out.senses.push_back({pos, {}});
            gloss = text;
        } else if (!out.senses.empty() && senseStart(line, nullptr, text)) {
            flush();
            gloss = text;
        } else if (!out.senses.empty()) {
            gloss.append(" ").append(line);
        }
    }
    flush();
    return out;
}

FreeDictArticle parseFreeDictArticle(std::string_view article) {
    FreeDictArticle out;
    const auto all = lines(article);
    if (all.empty()) return out;
    std::string_view head = trim(all.front());
    // The headword runs up to the first pronunciation or part-of-speech mark.
    std::size_t cut = head.size();
    for (const std::string_view mark : {" /", " <"}) {
        const auto at = head.find(mark);
        if (at != std::string_view::npos && at < cut) cut = at;
    }
    out.headword = std::string(trim(head.substr(0, cut)));
    // Inflected forms in brackets are not the word's own pronunciations.
    std::string restText;
    int depth = 0;
    for (const char c : head.substr(cut)) {
        if (c == '(') ++depth, out.inflections = true;
        if (depth == 0) restText.push_back(c);
        if (c == ')' && depth > 0) --depth;
    }
    std::string_view rest = restText;
    constexpr int kMaxPronunciations = 2;
    int spellings = 0;
    while (!(rest = trim(rest)).empty()) {
        const auto space = rest.find(' ');
        std::string_view token = rest.substr(0, space);
        rest = space == std::string_view::npos ? std::string_view{} : rest.substr(space);
        if (token.size() > 2 && token.front() == '/' && token.back() == '/') {
            while (token.size() > 2 && token.front() == '/' && token.back() == '/')
                token = token.substr(1, token.size() - 2);
            if (++spellings > kMaxPronunciations) continue;
            if (!out.pronunciation.empty()) out.pronunciation += ", ";
            out.pronunciation.append("/").append(token).append("/");
        } else if (token.size() > 2 && token.front() == '<' && token.back() == '>' &&
                   out.partOfSpeech.empty()) {
            token = token.substr(1, token.size() - 2);
            token = token.substr(0, token.find(','));
            out.partOfSpeech = std::string(token);
            for (const auto& [mark, value] : kWordNetMarks) {
                if (token == mark) out.partOfSpeech = partOfSpeechName(value);
            }
        }
    }
    out.text = articleBody(article);
    return out;
}

std::string articleBody(std::string_view article) {
    std::string out;
    const auto all = lines(article);
    for (std::size_t i = 1; i < all.size(); ++i) {
        std::string line;
        bool space = false;
        for (const char c : trim(all[i])) {
            if (c == '{' || c == '}') continue;
            if (c == ' ') {
                space = true;
                continue;
            }
            if (space && !line.empty()) line.push_back(' ');
            space = false;
            line.push_back(c);
        }
        if (line.empty()) continue;
        if (!out.empty()) out.push_back('\n');
        out += line;
    }
    return out;
}

}  // namespace lirra::server::dictionary
