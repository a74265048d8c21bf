// SPDX-License-Identifier: GPL-3.0-or-later
// Subtitle languages: ISO 639-2/B codes ("eng", "spa", "fre"), guessed from file name tags.
#pragma once

#include <string>
#include <string_view>

namespace lirra::server {

// The code for a tag such as "en", "eng", "en-US", "pt_BR", "fra", "English"; empty if unknown.
std::string languageCodeForTag(std::string_view tag);

// "My Film.en.srt" -> "eng", "My Film.es.forced.srt" -> "spa", "My Film.srt" -> "".
std::string guessLanguage(std::string_view fileName);

// True for a language field a client may send ("eng", "pt-BR", empty): at most 16 ASCII
// letters, digits, '-' or '_'.
bool isLanguageCodeShape(std::string_view code);

}  // namespace lirra::server
