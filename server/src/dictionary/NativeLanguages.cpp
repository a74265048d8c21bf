// SPDX-License-Identifier: GPL-3.0-or-later
#include "NativeLanguages.h"

#include <array>

namespace lirra::server::dictionary {
namespace {

constexpr std::array<NativeLanguage, 43> kLanguages{{
    {"spa", "spa", "dict-freedict-eng-spa"},
    {"fre", "fra", "dict-freedict-eng-fra"},
    {"ger", "deu", "dict-freedict-eng-deu"},
    {"ita", "ita", "dict-freedict-eng-ita"},
    {"por", "por", "dict-freedict-eng-por"},
    {"rus", "rus", "dict-freedict-eng-rus"},
    {"ukr", "ukr", ""},
    {"pol", "pol", "dict-freedict-eng-pol"},
    {"tur", "tur", "dict-freedict-eng-tur"},
    {"ara", "ara", "dict-freedict-eng-ara"},
    {"chi", "zho", ""},
    {"jpn", "jpn", "dict-freedict-eng-jpn"},
    {"kor", "kor", ""},
    {"vie", "vie", ""},
    {"hin", "hin", "dict-freedict-eng-hin"},
    {"dut", "nld", "dict-freedict-eng-nld"},
    {"swe", "swe", "dict-freedict-eng-swe"},
    {"nor", "nor", "dict-freedict-eng-nor"},
    {"dan", "dan", "dict-freedict-eng-dan"},
    {"fin", "fin", "dict-freedict-eng-fin"},
    {"gre", "ell", "dict-freedict-eng-ell"},
    {"heb", "heb", ""},
    {"cze", "ces", "dict-freedict-eng-ces"},
    {"hun", "hun", "dict-freedict-eng-hun"},
    {"rum", "ron", ""},
    {"bul", "bul", "dict-freedict-eng-bul"},
    {"tha", "tha", ""},
    {"ind", "ind", "dict-freedict-eng-ind"},
    {"may", "msa", ""},
    {"per", "fas", ""},
    {"hrv", "hrv", "dict-freedict-eng-hrv"},
    {"srp", "srp", "dict-freedict-eng-srp"},
    {"slo", "slk", ""},
    {"slv", "slv", ""},
    {"est", "est", ""},
    {"lav", "lav", ""},
    {"lit", "lit", "dict-freedict-eng-lit"},
    {"cat", "cat", ""},
    {"baq", "eus", ""},
    {"glg", "glg", ""},
    {"ben", "ben", ""},
    {"tam", "tam", ""},
    {"urd", "urd", ""},
}};

}  // namespace

std::span<const NativeLanguage> nativeLanguages() { return kLanguages; }

const NativeLanguage* findNativeLanguage(std::string_view code) {
    for (const auto& language : kLanguages) {
        if (language.code == code) return &language;
    }
    for (const auto& language : kLanguages) {
        if (language.freeDict == code) return &language;
    }
    return nullptr;
}

}  // namespace lirra::server::dictionary
