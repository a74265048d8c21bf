#include "Shelf.h"

namespace lirra::server::dictionary {
namespace {

constexpr std::size_t kMaxWordNetArticles = 4;

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
            if (book.dictionary->contains(text)) return true;
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
