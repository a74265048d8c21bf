// SPDX-License-Identifier: GPL-3.0-or-later
// Turns subtitle file bytes in any encoding into UTF-8: BOMs first, then UTF-8 as it stands,
// then UTF-16 without BOM, then the legacy code page that reads best as the file's language
// among uchardet's guess and the usual ones, converted with iconv.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lirra::server {

struct DecodedText {
    std::string text;      // UTF-8, no BOM
    std::string encoding;  // what the bytes were read as, e.g. "UTF-8", "WINDOWS-1251"
    std::string error;     // empty on success
};

// `languageCode` is the file's language (ISO 639-2/B, as guessLanguage gives it), empty if not
// known. Refuses bytes whose encoding can't be told or that decode to something that is not
// text: more than one character in ten a control character besides tab, line feed, carriage
// return and form feed. A NUL becomes U+FFFD.
DecodedText decodeToUtf8(std::string_view bytes, std::string_view languageCode = {});

// iconv's conversion of all of `bytes`; nullopt if any of them can't be converted.
std::optional<std::string> convertEncoding(std::string_view bytes, const char* from,
                                           const char* to);

}  // namespace lirra::server
