// SPDX-License-Identifier: GPL-3.0-or-later
// UTF-8 text as dictionary indexes see it: code points, lower case, which characters make words,
// and the two ways dictd indexes spell a key.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lirra::server::dictionary {

constexpr char32_t kReplacement = 0xFFFD;

// The code point at `i`, advancing `i`; an invalid or overlong sequence gives U+FFFD and
// advances one byte, so any bytes can be walked.
char32_t nextCodePoint(std::string_view text, std::size_t& i);
void appendUtf8(std::string& out, char32_t c);
std::size_t codePointCount(std::string_view text);

// Lower case for Latin, Greek and Cyrillic letters; anything else unchanged.
char32_t lowerCodePoint(char32_t c);

// Letters and digits of any script, as far as word splitting needs: punctuation, symbols,
// spaces, controls, emoji and U+FFFD are not.
bool isWordCodePoint(char32_t c);

// Lower case, invalid UTF-8 replaced, controls dropped.
std::string foldCase(std::string_view text);

// The key of an index built from letters, digits and spaces only (dictd's default, FreeDict's
// indexes): lower case, every other character dropped, spaces single and trimmed.
std::string alnumKey(std::string_view text);

// A headword as matching spells it: alnumKey, but apostrophes and periods inside a word kept
// ("we're" is not "were", "U.S." not "us").
std::string headwordKey(std::string_view text);

// Valid UTF-8 with controls (tab and newline kept when `keepLines`) removed: for text read from
// a dictionary before it goes into an answer.
std::string cleanText(std::string_view text, bool keepLines);

}  // namespace lirra::server::dictionary
