// SPDX-License-Identifier: GPL-3.0-or-later
// The learner's languages as the pages name them (ISO 639-2/B, "fre", "ger", "rum") against the
// names FreeDict gives its English-X dictionaries (ISO 639-3, "fra", "deu", "ron") and the
// Debian 12 package that holds each. Careful: FreeDict's "rom" is Romany, not Romanian, and
// Debian has no English-Romanian dictionary.
#pragma once

#include <span>
#include <string_view>

namespace lirra::server::dictionary {

struct NativeLanguage {
    std::string_view code;      // the pages' code
    std::string_view freeDict;  // ISO 639-3, as in "freedict-eng-XXX"
    std::string_view package;   // the Debian 12 package; empty when Debian has none
};

std::span<const NativeLanguage> nativeLanguages();

// By the pages' code, or by the ISO 639-3 code FreeDict uses; null if neither.
const NativeLanguage* findNativeLanguage(std::string_view code);

}  // namespace lirra::server::dictionary
