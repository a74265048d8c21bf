// SPDX-License-Identifier: GPL-3.0-or-later
// The articles of the dictionaries Debian ships, taken apart for the answer: WordNet's (a
// headword line, then senses "    n 1: gloss; \"example\" [syn: …]" grouped by part of speech)
// and FreeDict's (a headword line "word /ipa/ <pos>", then the translations).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lirra::server::dictionary {

enum PartOfSpeech : unsigned {
    kNoun = 1,
    kVerb = 2,
    kAdjective = 4,
    kAdverb = 8,
    kAnyPartOfSpeech = kNoun | kVerb | kAdjective | kAdverb,
};

struct Definition {
    std::string text;   // the gloss with its examples
    bool name = false;  // the sense of a name only: its synonyms spell the headword capitalised
                        // ("Tom", "May", "Be" for beryllium)
};

struct Sense {
    PartOfSpeech partOfSpeech = kNoun;
    std::vector<Definition> definitions;  // in WordNet's order
};

struct WordNetArticle {
    std::string headword;
    std::vector<Sense> senses;  // one per part of speech, in the article's order; empty if the
                                // article is not in WordNet's layout
};

WordNetArticle parseWordNetArticle(std::string_view article);

struct FreeDictArticle {
    std::string headword;
    std::string pronunciation;  // "/ɹˈʌn/", several separated by ", "; empty if none
    std::string partOfSpeech;   // "noun", "verb"…; empty if the article does not say
    std::string text;           // the translations, one line per sense
    // The headword line lists inflected forms ("run /ɹˈʌn/ (ran /ɹˈan/ <>, run …) <v>"), as a
    // word's main entries in the English-German dictionary do.
    bool inflections = false;
};

FreeDictArticle parseFreeDictArticle(std::string_view article);

// Any other article: the headword line dropped, lines trimmed, blank lines removed.
std::string articleBody(std::string_view article);

const char* partOfSpeechName(PartOfSpeech pos);

}  // namespace lirra::server::dictionary
