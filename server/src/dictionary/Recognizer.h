// SPDX-License-Identifier: GPL-3.0-or-later
// From the words after a click to the dictionary forms to show: the longest phrase starting at
// the first word that a dictionary knows ("give up", "rain cats and dogs"), else the first
// word's dictionary forms through contractions and WordNet's morphology ("went" → go).
#pragma once

#include <string>
#include <vector>

#include "Morphology.h"
#include "Shelf.h"
#include "Words.h"

namespace lirra::server::dictionary {

struct Form {
    std::string word;
    // The WordNet senses that fit: all for a word as written, those of the inflection for a
    // lemma, none for words WordNet only knows as letters or symbols ("I", "us").
    unsigned partsOfSpeech = kAnyPartOfSpeech;
    // A capitalised word may be a name: its capitalised headwords ("Tom", "May") fit too.
    bool names = false;
};

struct Recognised {
    std::string matched;  // the words matched, as written
    std::size_t wordCount = 0;
    std::vector<Form> forms;  // the likeliest first
};

constexpr std::size_t kMaxPhraseWords = 6;

Recognised recognise(const std::vector<Word>& words, const Morphology& morphology, Shelf& shelf);

}  // namespace lirra::server::dictionary
