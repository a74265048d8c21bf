// SPDX-License-Identifier: GPL-3.0-or-later
// WordNet's morphology: the base forms a word or phrase is an inflection of, as WordNet's own
// `morphstr` finds them, from the exception lists of wordnet-base (noun.exc, verb.exc, adj.exc,
// adv.exc: "went go", "children child") and the detachment rules ("-ies" → "-y", "-ing" → "").
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Articles.h"

namespace lirra::server::dictionary {

struct BaseForm {
    std::string word;
    unsigned partsOfSpeech = 0;  // PartOfSpeech bits this word is an inflection in
};

// Whether WordNet has `lemma` (a phrase's words separated by spaces) as a `pos`.
using Lexicon = std::function<bool(const std::string& lemma, PartOfSpeech pos)>;

class Morphology {
  public:
    // Reads the four exception lists from `folder`; a missing list is left empty and named in
    // `missing` (the rules still apply).
    static Morphology load(const std::string& folder, std::string& missing);
    // From the text of one list, for tests: lines "inflected base [base…]".
    void addExceptions(PartOfSpeech pos, std::string_view text);

    // Base forms of a lower-case word or phrase that `lexicon` has, the text itself left out;
    // a base reached through several parts of speech appears once with all their bits, those of
    // the exception lists first. Per part of speech, as WordNet: the exception list's bases when
    // it lists the text, else the first detachment whose base the lexicon has; a phrase by its
    // verb when a preposition follows ("giving up" → give up), else word by word ("ice creams").
    // Without `rules`, the exception lists only.
    std::vector<BaseForm> baseForms(std::string_view text, const Lexicon& lexicon,
                                    bool rules = true) const;

    std::size_t exceptionCount() const;

  private:
    const std::vector<std::string>* exceptions(std::string_view word, PartOfSpeech pos) const;
    std::optional<std::string> wordBase(const std::string& word, PartOfSpeech pos,
                                        const Lexicon& lexicon) const;
    std::optional<std::string> verbBeforePreposition(const std::string& phrase,
                                                     const Lexicon& lexicon) const;
    std::vector<std::string> bases(const std::string& text, PartOfSpeech pos,
                                   const Lexicon& lexicon, bool rules, bool& listed) const;

    std::unordered_map<std::string, std::vector<std::string>> exceptions_[4];
};

}  // namespace lirra::server::dictionary
