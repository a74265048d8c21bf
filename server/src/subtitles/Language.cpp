// SPDX-License-Identifier: GPL-3.0-or-later
#include "subtitles/Language.h"

#include <array>

#include "subtitles/Text.h"

namespace lirra::server {
namespace {

struct LanguageNames {
    const char* code;   // ISO 639-2/B
    const char* two;    // ISO 639-1
    const char* other;  // ISO 639-2/T when it differs, else ""
    const char* name;   // English name, lower case
};

constexpr std::array<LanguageNames, 44> kLanguages{{
    {"eng", "en", "", "english"},     {"spa", "es", "", "spanish"},
    {"fre", "fr", "fra", "french"},   {"ger", "de", "deu", "german"},
    {"ita", "it", "", "italian"},     {"por", "pt", "", "portuguese"},
    {"rus", "ru", "", "russian"},     {"chi", "zh", "zho", "chinese"},
    {"jpn", "ja", "", "japanese"},    {"kor", "ko", "", "korean"},
    {"ara", "ar", "", "arabic"},      {"hin", "hi", "", "hindi"},
    {"tur", "tr", "", "turkish"},     {"pol", "pl", "", "polish"},
    {"ukr", "uk", "", "ukrainian"},   {"dut", "nl", "nld", "dutch"},
    {"swe", "sv", "", "swedish"},     {"nor", "no", "", "norwegian"},
    {"dan", "da", "", "danish"},      {"fin", "fi", "", "finnish"},
    {"gre", "el", "ell", "greek"},    {"heb", "he", "", "hebrew"},
    {"cze", "cs", "ces", "czech"},    {"hun", "hu", "", "hungarian"},
    {"rum", "ro", "ron", "romanian"}, {"bul", "bg", "", "bulgarian"},
    {"vie", "vi", "", "vietnamese"},  {"tha", "th", "", "thai"},
    {"ind", "id", "", "indonesian"},  {"may", "ms", "msa", "malay"},
    {"per", "fa", "fas", "persian"},  {"hrv", "hr", "", "croatian"},
    {"srp", "sr", "", "serbian"},     {"slo", "sk", "slk", "slovak"},
    {"slv", "sl", "", "slovenian"},   {"est", "et", "", "estonian"},
    {"lav", "lv", "", "latvian"},     {"lit", "lt", "", "lithuanian"},
    {"cat", "ca", "", "catalan"},     {"baq", "eu", "eus", "basque"},
    {"glg", "gl", "", "galician"},    {"ben", "bn", "", "bengali"},
    {"tam", "ta", "", "tamil"},       {"urd", "ur", "", "urdu"},
}};

}  // namespace

std::string languageCodeForTag(std::string_view tag) {
    std::string t = asciiLower(tag);
    // Region or script subtags ("en-US", "pt_BR", "zh-Hans") don't change the language.
    if (const auto cut = t.find_first_of("-_"); cut != std::string::npos && cut >= 2 && cut <= 3) {
        t.resize(cut);
    }
    if (t.size() < 2) return {};
    for (const auto& lang : kLanguages) {
        if (t == lang.code || t == lang.two || t == lang.other || t == lang.name) return lang.code;
    }
    return {};
}

std::string guessLanguage(std::string_view fileName) {
    auto dot = fileName.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return {};
    std::string_view stem = fileName.substr(0, dot);
    // The last two dot-separated tags: "Film.en.srt", "Film.en.forced.srt", "Film.sdh.en.srt".
    for (int i = 0; i < 2; ++i) {
        dot = stem.rfind('.');
        if (dot == std::string_view::npos) return {};
        if (auto code = languageCodeForTag(stem.substr(dot + 1)); !code.empty()) return code;
        stem = stem.substr(0, dot);
    }
    return {};
}

bool isLanguageCodeShape(std::string_view code) {
    if (code.size() > 16) return false;
    for (char c : code) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '-' || c == '_';
        if (!ok) return false;
    }
    return true;
}

}  // namespace lirra::server
