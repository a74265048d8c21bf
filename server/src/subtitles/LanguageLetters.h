// SPDX-License-Identifier: GPL-3.0-or-later
// What text in a language looks like, for telling legacy encodings apart: the letters beyond
// ASCII it writes, and the code pages its subtitles usually come in.
#pragma once

#include <array>
#include <string_view>

namespace lirra::server {

struct LanguageLetters {
    const char* code;             // ISO 639-2/B
    std::u32string_view letters;  // letters beyond ASCII, both cases
    char32_t scriptFirst = 0;     // a whole block of letters (a script other than Latin)
    char32_t scriptLast = 0;
    std::array<const char*, 3> encodings{};  // commonest first, named as iconv and uchardet do
};

// English for a language without an entry, and for none ("").
const LanguageLetters& languageLetters(std::string_view code);

// How well `utf8` reads as `language`: its letters and common punctuation beyond ASCII count
// for, anything else beyond ASCII against.
long languageFit(std::string_view utf8, const LanguageLetters& language);

}  // namespace lirra::server
