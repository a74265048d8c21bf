// SPDX-License-Identifier: GPL-3.0-or-later
// The integer, decimal and truth readings of page arguments, against independent readings:
// saturated decimal arithmetic for integers and std::from_chars for decimals.
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "FuzzCheck.h"
#include "bridge/ArgumentReadings.h"

namespace lirra::fuzz {
namespace {

// The text after its leading white space, as ASCII; any other character ends it.
std::string asciiAfterSpace(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace()) ++i;
    std::string out;
    for (; i < text.size() && text[i].unicode() < 0x80; ++i) {
        out += static_cast<char>(text[i].unicode());
    }
    return out;
}

std::int32_t expectedInt(const std::string& s) {
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    while (i < s.size() && s[i] == '0') ++i;
    std::size_t end = i;
    while (end < s.size() && s[end] >= '0' && s[end] <= '9') ++end;
    if (end - i > 10) {
        return negative ? std::numeric_limits<std::int32_t>::min()
                        : std::numeric_limits<std::int32_t>::max();
    }
    long long magnitude = 0;
    std::from_chars(s.data() + i, s.data() + end, magnitude);
    const long long value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (value < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

void checkFloat(const std::string& s, float actual) {
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    // from_chars also reads "inf", "nan" and a second sign, which are not numbers here.
    if (i >= s.size() || !((s[i] >= '0' && s[i] <= '9') || s[i] == '.')) {
        FUZZ_CHECK(actual == 0.0f, "no number but not 0");
        return;
    }
    float expected = 0.0f;
    const auto result =
        std::from_chars(s.data() + i, s.data() + s.size(), expected, std::chars_format::general);
    if (result.ec == std::errc::invalid_argument) {
        FUZZ_CHECK(actual == 0.0f, "no number but not 0");
        return;
    }
    if (negative) expected = -expected;
    if (result.ec == std::errc::result_out_of_range) {
        // Too large gives an infinity of the sign; too small, zero or a subnormal.
        FUZZ_CHECK(std::isinf(actual) || std::fabs(actual) < std::numeric_limits<float>::min(),
                   "an out-of-range decimal is neither infinite nor tiny");
        FUZZ_CHECK(std::signbit(actual) == negative || actual == 0.0f, "wrong sign");
        return;
    }
    FUZZ_CHECK(actual == expected, "the decimal reading differs from from_chars");
}

}  // namespace
}  // namespace lirra::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace lirra;
    using namespace lirra::fuzz;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (const QString& text : {fromUtf8Bytes(bytes), fromUtf16Bytes(bytes)}) {
        const std::string ascii = asciiAfterSpace(text);
        const std::int32_t integer = intValue(text);
        FUZZ_CHECK(integer == expectedInt(ascii), "the integer reading differs");
        const float decimal = floatValue(text);
        checkFloat(ascii, decimal);
        const bool truth = boolValue(text);
        // A non-zero integer has a non-zero digit where the truth reading looks.
        if (integer != 0) {
            FUZZ_CHECK(truth, "a non-zero integer reads false");
            // (Not necessarily non-zero itself: "1e-99" underflows.)
            FUZZ_CHECK(std::signbit(decimal) == (integer < 0),
                       "a non-zero integer reads as a decimal of the other sign");
        }
    }
    return 0;
}
