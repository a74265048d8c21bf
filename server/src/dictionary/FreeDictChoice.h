// SPDX-License-Identifier: GPL-3.0-or-later
// Which of a FreeDict dictionary's articles to show for a word. Their quality varies: the
// English-Spanish dictionary files phrase entries that lost their words under the phrase's
// first word, the English-German one lists a word's many articles in German order. Reading an
// article inflates a chunk of its own, so how many are read is bounded.
#pragma once

#include <string>
#include <vector>

#include "Articles.h"
#include "Dictionary.h"

namespace lirra::server::dictionary {

// Articles read per form and dictionary.
constexpr std::size_t kMaxArticlesPerForm = 4;
// For the likeliest form, all of them: the English-German dictionary lists "run"'s 38 in German
// order, its verbs ("laufen", "rennen") after nouns such as "Ansturm".
constexpr std::size_t kMaxArticlesScanned = 40;
// Read from the largest dictionary to tell how many sounds a word has.
constexpr std::size_t kReferenceArticles = 4;

// The word's own articles (not those filed under it for another headword), at most `max`.
std::vector<FreeDictArticle> freeDictArticles(const Dictionary& dictionary, const std::string& word,
                                              std::size_t max);

// The fewest sounds any of the articles' pronunciations has; 0 if none has one.
std::size_t fewestSounds(const std::vector<FreeDictArticle>& articles);

// freeDictArticles without the phrase entries that lost their words; `reference` is the
// word's fewest sounds by another dictionary (0: unknown).
std::vector<FreeDictArticle> ownArticles(const Dictionary& dictionary, const std::string& word,
                                         std::size_t reference, std::size_t max);

// Up to `max` of the articles, best first for a form of the `wanted` parts of speech.
std::vector<const FreeDictArticle*> bestTranslations(const std::vector<FreeDictArticle>& articles,
                                                     unsigned wanted, std::size_t max);

}  // namespace lirra::server::dictionary
