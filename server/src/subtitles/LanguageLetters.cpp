// SPDX-License-Identifier: GPL-3.0-or-later
#include "subtitles/LanguageLetters.h"

namespace lirra::server {
namespace {

constexpr std::array<const char*, 3> kWestern{"WINDOWS-1252", "ISO-8859-15", "ISO-8859-1"};
constexpr std::array<const char*, 3> kCentral{"WINDOWS-1250", "ISO-8859-2", nullptr};
constexpr std::array<const char*, 3> kBaltic{"WINDOWS-1257", "ISO-8859-13", "ISO-8859-4"};

// English comes first: it stands for a language without an entry, the target line's one. It
// keeps the few accented letters of its loan words, and leaves out those (í, ó) that a curly
// quote becomes when read in a Mac code page.
constexpr LanguageLetters kLanguages[] = {
    {"eng", U"àâäçéèêëïîñôöüÀÂÄÇÉÈÊËÏÎÑÔÖÜ", 0, 0, kWestern},
    {"fre", U"àâæçéèêëîïôœùûüÿÀÂÆÇÉÈÊËÎÏÔŒÙÛÜŸ", 0, 0, kWestern},
    {"spa", U"áéíóúüñÁÉÍÓÚÜÑ", 0, 0, kWestern},
    {"ger", U"äöüßÄÖÜ", 0, 0, kWestern},
    {"ita", U"àèéìíîòóùúÀÈÉÌÍÎÒÓÙÚ", 0, 0, kWestern},
    {"por", U"áàâãçéêíóôõúüÁÀÂÃÇÉÊÍÓÔÕÚÜ", 0, 0, kWestern},
    {"dut", U"áéèëïóöüÉËÏ", 0, 0, kWestern},
    {"swe", U"åäöéÅÄÖÉ", 0, 0, kWestern},
    {"nor", U"æøåéÆØÅÉ", 0, 0, kWestern},
    {"dan", U"æøåéÆØÅÉ", 0, 0, kWestern},
    {"fin", U"äöåšžÄÖÅŠŽ", 0, 0, kWestern},
    {"cat", U"àçéèíïòóúüÀÇÉÈÍÏÒÓÚÜ", 0, 0, kWestern},
    {"baq", U"ñÑ", 0, 0, kWestern},
    {"glg", U"áéíóúñÁÉÍÓÚÑ", 0, 0, kWestern},
    {"ind", U"éÉ", 0, 0, kWestern},
    {"may", U"éÉ", 0, 0, kWestern},
    {"pol", U"ąćęłńóśźżĄĆĘŁŃÓŚŹŻ", 0, 0, kCentral},
    {"cze", U"áčďéěíňóřšťúůýžÁČĎÉĚÍŇÓŘŠŤÚŮÝŽ", 0, 0, kCentral},
    {"slo", U"áäčďéíĺľňóôŕšťúýžÁÄČĎÉÍĹĽŇÓÔŔŠŤÚÝŽ", 0, 0, kCentral},
    {"hun", U"áéíóöőúüűÁÉÍÓÖŐÚÜŰ", 0, 0, kCentral},
    {"hrv", U"čćđšžČĆĐŠŽ", 0, 0, kCentral},
    {"slv", U"čšžČŠŽ", 0, 0, kCentral},
    {"rum", U"ăâîșțşţĂÂÎȘȚŞŢ", 0, 0, {"WINDOWS-1250", "ISO-8859-16", "ISO-8859-2"}},
    {"rus", U"", 0x0400, 0x04FF, {"WINDOWS-1251", "KOI8-R", "IBM866"}},
    {"ukr", U"", 0x0400, 0x04FF, {"WINDOWS-1251", "KOI8-U", nullptr}},
    {"bul", U"", 0x0400, 0x04FF, {"WINDOWS-1251", nullptr, nullptr}},
    {"srp", U"čćđšžČĆĐŠŽ", 0x0400, 0x04FF, {"WINDOWS-1251", "WINDOWS-1250", nullptr}},
    {"gre", U"", 0x0370, 0x03FF, {"WINDOWS-1253", "ISO-8859-7", nullptr}},
    {"tur", U"çğıöşüâîûÇĞİÖŞÜÂÎÛ", 0, 0, {"WINDOWS-1254", "ISO-8859-9", nullptr}},
    {"heb", U"", 0x0590, 0x05FF, {"WINDOWS-1255", "ISO-8859-8", nullptr}},
    {"ara", U"", 0x0600, 0x06FF, {"WINDOWS-1256", "ISO-8859-6", nullptr}},
    {"per", U"", 0x0600, 0x06FF, {"WINDOWS-1256", nullptr, nullptr}},
    {"urd", U"", 0x0600, 0x06FF, {"WINDOWS-1256", nullptr, nullptr}},
    {"est", U"äöõüšžÄÖÕÜŠŽ", 0, 0, kBaltic},
    {"lav", U"āčēģīķļņšūžĀČĒĢĪĶĻŅŠŪŽ", 0, 0, kBaltic},
    {"lit", U"ąčęėįšųūžĄČĘĖĮŠŲŪŽ", 0, 0, kBaltic},
    // Vietnamese code pages write tones as combining marks.
    {"vie",
     U"ăâđêôơưĂÂĐÊÔƠƯàáãèéìíòóõùúýÀÁÃÈÉÌÍÒÓÕÙÚÝ",
     0x0300,
     0x0323,
     {"WINDOWS-1258", "VISCII", nullptr}},
    {"tha", U"", 0x0E00, 0x0E7F, {"TIS-620", "WINDOWS-874", nullptr}},
    {"jpn", U"", 0x3040, 0x9FFF, {"SHIFT_JIS", "CP932", "EUC-JP"}},
    {"chi", U"", 0x3400, 0x9FFF, {"GB18030", "BIG5", nullptr}},
    {"kor", U"", 0xAC00, 0xD7A3, {"EUC-KR", "UHC", nullptr}},
};

// Punctuation that subtitles in any language use beyond ASCII.
bool isCommonPunctuation(char32_t c) {
    static constexpr std::u32string_view kMarks = U"\u00A0¡¿«»°·‘’‚“”„–—…•€‹›♪♫©®™";
    return kMarks.find(c) != std::u32string_view::npos || (c >= 0x200C && c <= 0x200F) ||
           (c >= 0x3000 && c <= 0x303F) || (c >= 0xFF00 && c <= 0xFFEF);
}

// Decodes the code point at `i` of valid UTF-8 and moves past it.
char32_t next(std::string_view s, std::size_t& i) {
    const auto lead = static_cast<unsigned char>(s[i++]);
    const int extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
    char32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int k = 0; k < extra && i < s.size(); ++k) c = (c << 6) | (s[i++] & 0x3F);
    return c;
}

}  // namespace

const LanguageLetters& languageLetters(std::string_view code) {
    for (const auto& language : kLanguages) {
        if (code == language.code) return language;
    }
    return kLanguages[0];
}

long languageFit(std::string_view utf8, const LanguageLetters& language) {
    long score = 0;
    std::size_t plain = 0, accented = 0;  // Latin letters within ASCII and beyond it
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t c = next(utf8, i);
        if (c < 0x80) {
            plain += (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
            continue;
        }
        if (language.letters.find(c) != std::u32string_view::npos ||
            (c >= language.scriptFirst && c <= language.scriptLast)) {
            score += 2;
            accented += !language.scriptFirst;
            continue;
        }
        score += isCommonPunctuation(c) ? 1 : -2;
    }
    // Another script read in a Latin code page is mostly accented letters; a Latin language
    // writes them among many more plain ones. Then they count against.
    if (accented * 2 > plain + accented) score -= 4 * static_cast<long>(accented);
    return score;
}

}  // namespace lirra::server
