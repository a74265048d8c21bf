// SPDX-License-Identifier: GPL-3.0-or-later
// The subtitle database's language codes beside the ISO 639-2/B codes the service labels tracks
// with. The database speaks ISO 639-1 in lower case, with two variants each for Portuguese and
// Chinese.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lirra::server::online {

// "eng" -> {"en"}, "por" -> {"pt-br", "pt-pt"}; empty for a code the database does not know.
std::vector<std::string> apiCodesFor(std::string_view code);

// The `languages` parameter for these ISO 639-2/B codes: their database codes, lower case,
// sorted, without repeats, comma-separated. Unknown codes are left out.
std::string apiLanguageParam(const std::vector<std::string>& codes);

// The ISO 639-2/B code of a language as the database answers it ("en", "pt-BR", "zh-TW"); empty
// when it is none of the service's languages.
std::string codeForApiLanguage(std::string_view apiCode);

}  // namespace lirra::server::online
