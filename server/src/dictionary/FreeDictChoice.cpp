// SPDX-License-Identifier: GPL-3.0-or-later
#include "FreeDictChoice.h"

#include <algorithm>

#include "TextFold.h"

namespace lirra::server::dictionary {
namespace {

// Sounds in a pronunciation's first spelling: stress, length and syllable marks and optional
// sounds' brackets left out.
std::size_t soundCount(std::string_view pronunciation) {
    pronunciation = pronunciation.substr(0, pronunciation.find(','));
    std::size_t count = 0;
    for (std::size_t i = 0; i < pronunciation.size();) {
        const char32_t c = nextCodePoint(pronunciation, i);
        const bool mark = c == '/' || c == ' ' || c == '.' || c == '(' || c == ')' || c == '[' ||
                          c == ']' || c == 0x2C8 || c == 0x2CC || c == 0x2D0 || c == 0x2D1 ||
                          (c >= 0x300 && c <= 0x36F);
        if (!mark) ++count;
    }
    return count;
}

std::size_t letterCount(std::string_view word) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < word.size();) count += isWordCodePoint(nextCodePoint(word, i));
    return count;
}

// The parts of speech a FreeDict article gives its translations: from its headword line
// ("<v>", "<n>") or, as the English-German dictionary marks them, its first line ("<v, intr>",
// "<masc>").
unsigned articleParts(const FreeDictArticle& article) {
    const std::string& pos = article.partOfSpeech;
    if (pos == "noun") return kNoun;
    if (pos == "verb") return kVerb;
    if (pos == "adjective") return kAdjective;
    if (pos == "adverb") return kAdverb;
    const std::string_view first =
        std::string_view(article.text).substr(0, article.text.find('\n'));
    unsigned parts = 0;
    if (first.find("<v") != std::string_view::npos) parts |= kVerb;
    if (first.find("<adj") != std::string_view::npos) parts |= kAdjective;
    if (first.find("<adv") != std::string_view::npos) parts |= kAdverb;
    for (const char* gender : {"<masc", "<fem", "<neut", "<pl>", "<n>"}) {
        if (first.find(gender) != std::string_view::npos) parts |= kNoun;
    }
    return parts;
}

}  // namespace

std::vector<FreeDictArticle> freeDictArticles(const Dictionary& dictionary, const std::string& word,
                                              std::size_t max) {
    std::vector<FreeDictArticle> articles;
    // An index may file an article under another word too ("be" for "bill of exchange",
    // "went" for "go", "were" for "we're"): only the word's own articles count.
    const std::string key = headwordKey(word);
    for (const auto& text : dictionary.articles(word, max)) {
        auto article = parseFreeDictArticle(text);
        if (article.headword.empty() || headwordKey(article.headword) == key)
            articles.push_back(std::move(article));
    }
    return articles;
}

// The fewest sounds any of the articles gives; 0 if none has a pronunciation.
std::size_t fewestSounds(const std::vector<FreeDictArticle>& articles) {
    std::size_t fewest = 0;
    for (const auto& article : articles) {
        if (article.pronunciation.empty()) continue;
        const std::size_t sounds = soundCount(article.pronunciation);
        if (fewest == 0 || sounds < fewest) fewest = sounds;
    }
    return fewest;
}

// A FreeDict dictionary's articles for `word`, without the phrase entries that lost their
// words but kept the phrase's sound: under "go" /gou/ an entry /gouæstrei/ is "go astray", and
// under "be" every entry is such a phrase; they would mistranslate the word. An entry is one
// when it has clearly more sounds than `reference` (the fewest another dictionary gives the
// word) or, without one, than the word has letters, or when it extends the shortest entry's.
std::vector<FreeDictArticle> ownArticles(const Dictionary& dictionary, const std::string& word,
                                         std::size_t reference, std::size_t max) {
    auto articles = freeDictArticles(dictionary, word, max);
    const FreeDictArticle* shortest = nullptr;
    for (const auto& article : articles) {
        if (article.pronunciation.empty()) continue;
        if (!shortest || soundCount(article.pronunciation) < soundCount(shortest->pronunciation))
            shortest = &article;
    }
    if (!shortest) return articles;
    const std::string fewest = shortest->pronunciation;  // the articles move out below
    const std::string stem = fewest.substr(0, fewest.size() - 1);
    const std::size_t most =
        reference ? reference + std::max<std::size_t>(1, reference / 3) : letterCount(word) + 3;
    std::vector<FreeDictArticle> own;
    for (auto& article : articles) {
        const std::string& sound = article.pronunciation;
        const bool longer = !sound.empty() && soundCount(sound) > most;
        const bool extended = sound.size() > fewest.size() && sound.starts_with(stem);
        if (!longer && !extended) own.push_back(std::move(article));
    }
    return own;
}

// Up to `max` translations, best first: those in the part of speech the form was reached
// through (a verb for "running"), main entries before the rest, else in the dictionary's order.
std::vector<const FreeDictArticle*> bestTranslations(const std::vector<FreeDictArticle>& articles,
                                                     unsigned wanted, std::size_t max) {
    std::vector<std::pair<int, const FreeDictArticle*>> ranked;
    for (const auto& article : articles) {
        if (article.text.empty()) continue;
        const bool fits = wanted == kAnyPartOfSpeech || (articleParts(article) & wanted);
        ranked.emplace_back((fits ? 2 : 0) + (article.inflections ? 1 : 0), &article);
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<const FreeDictArticle*> out;
    for (const auto& [score, article] : ranked) {
        if (out.size() == max) break;
        out.push_back(article);
    }
    return out;
}

}  // namespace lirra::server::dictionary
