// SPDX-License-Identifier: GPL-3.0-or-later
#include "ApiLanguages.h"

#include <algorithm>
#include <array>

namespace lirra::server::online {
namespace {

struct Mapping {
    const char* code;    // ISO 639-2/B, as the tracks API and the pages use
    const char* api;     // the database's code
    const char* second;  // a second variant the database keeps apart, else ""
};

// Every language the pages offer, plus English.
constexpr std::array<Mapping, 44> kMappings{{
    {"eng", "en", ""}, {"spa", "es", ""},         {"fre", "fr", ""}, {"ger", "de", ""},
    {"ita", "it", ""}, {"por", "pt-br", "pt-pt"}, {"rus", "ru", ""}, {"chi", "zh-cn", "zh-tw"},
    {"jpn", "ja", ""}, {"kor", "ko", ""},         {"ara", "ar", ""}, {"hin", "hi", ""},
    {"tur", "tr", ""}, {"pol", "pl", ""},         {"ukr", "uk", ""}, {"dut", "nl", ""},
    {"swe", "sv", ""}, {"nor", "no", ""},         {"dan", "da", ""}, {"fin", "fi", ""},
    {"gre", "el", ""}, {"heb", "he", ""},         {"cze", "cs", ""}, {"hun", "hu", ""},
    {"rum", "ro", ""}, {"bul", "bg", ""},         {"vie", "vi", ""}, {"tha", "th", ""},
    {"ind", "id", ""}, {"may", "ms", ""},         {"per", "fa", ""}, {"hrv", "hr", ""},
    {"srp", "sr", ""}, {"slo", "sk", ""},         {"slv", "sl", ""}, {"est", "et", ""},
    {"lav", "lv", ""}, {"lit", "lt", ""},         {"cat", "ca", ""}, {"baq", "eu", ""},
    {"glg", "gl", ""}, {"ben", "bn", ""},         {"tam", "ta", ""}, {"urd", "ur", ""},
}};

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

}  // namespace

std::vector<std::string> apiCodesFor(std::string_view code) {
    const std::string wanted = lower(code);
    for (const auto& m : kMappings) {
        if (wanted != m.code) continue;
        std::vector<std::string> codes{m.api};
        if (*m.second) codes.emplace_back(m.second);
        return codes;
    }
    return {};
}

std::string apiLanguageParam(const std::vector<std::string>& codes) {
    std::vector<std::string> all;
    for (const auto& code : codes) {
        for (auto& api : apiCodesFor(code)) all.push_back(std::move(api));
    }
    std::sort(all.begin(), all.end());
    all.erase(std::unique(all.begin(), all.end()), all.end());
    std::string param;
    for (const auto& api : all) {
        if (!param.empty()) param.push_back(',');
        param += api;
    }
    return param;
}

std::string codeForApiLanguage(std::string_view apiCode) {
    const std::string wanted = lower(apiCode);
    for (const auto& m : kMappings) {
        if (wanted == m.api || (*m.second && wanted == m.second)) return m.code;
    }
    // A bare "pt" or "zh" (older answers) still names the language.
    if (wanted == "pt") return "por";
    if (wanted == "zh") return "chi";
    return {};
}

}  // namespace lirra::server::online
