// Turns subtitle file bytes in any encoding into UTF-8: BOMs first, then UTF-8 as it stands,
// then UTF-16 without BOM, then uchardet's guess converted with iconv.
#pragma once

#include <string>
#include <string_view>

namespace lirra::server {

struct DecodedText {
    std::string text;      // UTF-8, no BOM
    std::string encoding;  // what the bytes were read as, e.g. "UTF-8", "WINDOWS-1251"
    std::string error;     // empty on success
};

// Refuses bytes whose encoding can't be told or that decode to something that is not text
// (NUL and other control characters besides tab, line feed, carriage return and form feed).
DecodedText decodeToUtf8(std::string_view bytes);

}  // namespace lirra::server
