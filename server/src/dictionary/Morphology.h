// WordNet's morphology: the base forms a word may be an inflection of, from the exception lists
// of wordnet-base (noun.exc, verb.exc, adj.exc, adv.exc: "went go", "children child") and the
// detachment rules ("-ies" → "-y", "-ing" → "", …). Candidates only: the caller keeps those
// a dictionary knows with that part of speech.
#pragma once

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

class Morphology {
  public:
    // Reads the four exception lists from `folder`; a missing list is left empty and named in
    // `missing` (the rules still apply).
    static Morphology load(const std::string& folder, std::string& missing);
    // From the text of one list, for tests: lines "inflected base [base…]".
    void addExceptions(PartOfSpeech pos, std::string_view text);

    // Base forms of a lower-case word, exceptions first, the word itself not included; a base
    // reached through several parts of speech appears once with all their bits. Without
    // `rules`, the exception lists only.
    std::vector<BaseForm> baseForms(std::string_view word, bool rules = true) const;

    std::size_t exceptionCount() const;

  private:
    std::unordered_map<std::string, std::vector<std::string>> exceptions_[4];
};

}  // namespace lirra::server::dictionary
