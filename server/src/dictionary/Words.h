// SPDX-License-Identifier: GPL-3.0-or-later
// The words of a subtitle line as a learner clicks them: curly and straight apostrophes alike,
// hyphenated words and abbreviations whole, punctuation around words dropped, markup and
// character references of the line's HTML taken out, and contractions and possessives undone.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Articles.h"

namespace lirra::server::dictionary {

struct Word {
    std::string surface;      // as written, without the punctuation around it
    std::string text;         // lower case, straight apostrophes, ASCII hyphens
    bool breakAfter = false;  // punctuation follows: no phrase runs on past this word
};

// The first `maxWords` words of `text` (any bytes; invalid UTF-8 separates words).
std::vector<Word> splitWords(std::string_view text, std::size_t maxWords);

// `text` of a word without the apostrophes that open or close a quotation ("'look" → "look").
std::string withoutQuotes(std::string_view text);

struct WordPart {
    std::string word;
    unsigned partsOfSpeech = kAnyPartOfSpeech;  // what the word can be here
};

// The words a contraction or possessive stands for: "don't" → do (verb), not (adverb);
// "we'll" → we, will (verb); "Tom's" → tom; "it's" → it, be (verb); "goin'" → going. Any
// other word: itself.
std::vector<WordPart> expandContraction(std::string_view text);

}  // namespace lirra::server::dictionary
