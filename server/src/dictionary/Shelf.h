// SPDX-License-Identifier: GPL-3.0-or-later
// The dictionaries one look-up consults, already open, and what it has read from WordNet so
// far (recognising a word and answering with its senses read the same articles).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Articles.h"
#include "Dictionary.h"

namespace lirra::server::dictionary {

struct ShelfBook {
    std::shared_ptr<const Dictionary> dictionary;
    std::string name;      // shown as an answer's source
    bool wordNet = false;  // articles in WordNet's layout, the judge of parts of speech
};

class Shelf {
  public:
    std::vector<ShelfBook> definitions;   // English definitions, WordNet first
    std::vector<ShelfBook> translations;  // English into the learner's language
    ShelfBook pronunciations;             // a further FreeDict dictionary to take IPA from

    bool hasWordNet() const;
    // Whether any definitions or translations dictionary has `text` as a headword, its
    // apostrophes and periods counted.
    bool knows(const std::string& text) const;
    // WordNet's articles for `word`, read once per look-up.
    const std::vector<WordNetArticle>& wordNet(const std::string& word);
    // The parts of speech WordNet has `word` in (0 if none).
    unsigned wordNetParts(const std::string& word);

  private:
    std::map<std::string, std::vector<WordNetArticle>> read_;
};

}  // namespace lirra::server::dictionary
