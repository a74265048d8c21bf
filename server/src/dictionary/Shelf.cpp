// SPDX-License-Identifier: GPL-3.0-or-later
#include "Shelf.h"

#include "TextFold.h"

namespace lirra::server::dictionary {
namespace {

constexpr std::size_t kMaxWordNetArticles = 4;
constexpr std::size_t kMaxHeadwordArticles = 8;

// An index of letters and digits only files "we're" under "were" and "U.S." under "us": the
// articles' own headwords tell.
bool hasHeadword(const Dictionary& dictionary, const std::string& text) {
    if (!dictionary.contains(text)) return false;
    if (dictionary.keepsAllCharacters()) return true;
    const std::string key = headwordKey(text);
    for (const auto& article : dictionary.articles(text, kMaxHeadwordArticles)) {
        const std::string headword = parseFreeDictArticle(article).headword;
        if (headword.empty() || headwordKey(headword) == key) return true;
    }
    return false;
}

}  // namespace

bool Shelf::hasWordNet() const {
    for (const auto& book : definitions) {
        if (book.wordNet) return true;
    }
    return false;
}

bool Shelf::knows(const std::string& text) const {
    for (const auto* books : {&definitions, &translations}) {
        for (const auto& book : *books) {
            if (hasHeadword(*book.dictionary, text)) return true;
        }
    }
    return false;
}

const std::vector<WordNetArticle>& Shelf::wordNet(const std::string& word) {
    const auto found = read_.find(word);
    if (found != read_.end()) return found->second;
    std::vector<WordNetArticle> articles;
    for (const auto& book : definitions) {
        if (!book.wordNet) continue;
        for (const auto& text : book.dictionary->articles(word, kMaxWordNetArticles)) {
            articles.push_back(parseWordNetArticle(text));
        }
    }
    return read_.emplace(word, std::move(articles)).first->second;
}

unsigned Shelf::wordNetParts(const std::string& word) {
    unsigned parts = 0;
    for (const auto& article : wordNet(word)) {
        for (const auto& sense : article.senses) parts |= sense.partOfSpeech;
    }
    return parts;
}

}  // namespace lirra::server::dictionary
