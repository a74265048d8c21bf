// SPDX-License-Identifier: GPL-3.0-or-later
// Encoding detection and decoding on any bytes: a success is UTF-8 text without a BOM or NUL,
// and decoding it again changes nothing.
#include "FuzzCheck.h"
#include "subtitles/Text.h"
#include "subtitles/TextDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace lirra;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const server::DecodedText decoded = server::decodeToUtf8(bytes);
    if (!decoded.error.empty()) {
        FUZZ_CHECK(decoded.text.empty() && decoded.encoding.empty(), "a failure with a result");
        return 0;
    }
    FUZZ_CHECK(!decoded.encoding.empty(), "no encoding named");
    FUZZ_CHECK(server::isValidUtf8(decoded.text), "the result is not UTF-8");
    FUZZ_CHECK(decoded.text.substr(0, 3) != "\xEF\xBB\xBF", "a BOM left in the result");
    FUZZ_CHECK(decoded.text.find('\0') == std::string::npos, "a NUL in the result");
    const server::DecodedText again = server::decodeToUtf8(decoded.text);
    FUZZ_CHECK(again.error.empty() && again.text == decoded.text && again.encoding == "UTF-8",
               "decoded text does not decode to itself");
    return 0;
}
