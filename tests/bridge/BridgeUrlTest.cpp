// SPDX-License-Identifier: GPL-3.0-or-later
// Reading bridge URLs and their arguments.
#include <gtest/gtest.h>

#include <limits>

#include "bridge/ArgumentReadings.h"
#include "bridge/BridgeUrl.h"
#include "support/qt/QtPrinters.h"

namespace lirra {
namespace {

// Each URL against "KIND NAME" and its arguments as "name=value" pairs, in name order.
TEST(BridgeUrl, ReadsKindNameAndArgumentsWithoutDecodingThem) {
    const std::pair<const char*, const char*> rows[] = {
        {"app:///Execute/SeekTo?position=95", "Execute SeekTo position=95"},
        {"app:///Execute/SetVolume?volume=80&volume=120", "Execute SetVolume volume=120"},
        {"app:///Execute/SetMuted?muted&x=1=2", "Execute SetMuted"},  // not one "=": dropped
        {"app://Execute/Play", "Play Play"},                          // the host is not read
        {"app:///Execute/ignored/SetAudioTrack?track=2", "Execute SetAudioTrack track=2"},
        {"app:///Request/FileName?guid=g#frag?guid=h", "Request FileName guid=g"},
        {"app:///Execute/X?&&a=&=b&", "Execute X =b a="},  // empty names and values are kept
        // Escapes of delimiters and of the percent sign survive, "+" is not a space.
        {"app:///Request/Volume?guid=a%26b%3Dc%2B%25%20d&v=x+y%27z",
         "Request Volume guid=a%26b%3Dc%2B%25%20d v=x+y%27z"},
        {"app:///Execute/Set%2FVolume%20", "Execute Set/Volume "},  // components are decoded
        {"app:", " "},  // without path components nothing matches
        {"app:////", " "},
        {"app:Execute/Play", " "},
    };
    for (const auto& [url, expected] : rows) {
        const BridgeUrl read = BridgeUrl::fromUrl(QUrl(QString::fromLatin1(url)));
        QString text = read.kind + " " + read.name;
        for (auto it = read.arguments.cbegin(); it != read.arguments.cend(); ++it)
            text += " " + it.key() + "=" + it.value();
        EXPECT_EQ(text, expected) << url;
    }
}

// Each text read the three ways a command may read it.
TEST(ArgumentReadings, IntegerDecimalAndTruth) {
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
    constexpr float kInf = std::numeric_limits<float>::infinity();
    const struct {
        const char* text;
        std::int32_t integer;
        float decimal;
        bool truth;
    } rows[] = {
        {"12.9", 12, 12.9f, true},
        {"abc", 0, 0, false},
        {"  -42x", -42, -42, true},
        {"+7", 7, 7, true},
        {"1%2E5", 1, 1, true},
        {"-2.5e1x", -2, -25, true},
        {"2E-1", 2, 0.2f, true},
        {"1e+", 1, 1, true},
        {".5", 0, 0.5f, false},
        {"0.5", 0, 0.5f, false},
        {".", 0, 0, false},
        {"", 0, 0, false},
        {"inf", 0, 0, false},
        {"0x10", 0, 0, false},
        {"1e39", 1, kInf, true},
        {"2147483647", kMax, 2147483647.0f, true},
        {"2147483648", kMax, 2147483648.0f, true},
        {"-2147483648", kMin, -2147483648.0f, true},
        {"-99999999999999999999999999", kMin, -1e26f, true},
        {"true", 0, 0, true},
        {"YES", 0, 0, true},
        {"  t", 0, 0, true},
        {"+0001", 1, 1, true},
        {"-0", 0, 0, false},
        {"000", 0, 0, false},
        {"false", 0, 0, false},
        {"N", 0, 0, false},
    };
    for (const auto& row : rows) {
        const QString text = QString::fromLatin1(row.text);
        EXPECT_EQ(intValue(text), row.integer) << row.text;
        EXPECT_EQ(floatValue(text), row.decimal) << row.text;
        EXPECT_EQ(boolValue(text), row.truth) << row.text;
    }
}

}  // namespace
}  // namespace lirra
