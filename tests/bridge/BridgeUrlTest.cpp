// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <charconv>

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

// "TEXT=integer decimal truth" each: a text read the three ways a command may read it (the
// decimal as its shortest round-trip form, -0 as 0).
TEST(ArgumentReadings, IntegerDecimalAndTruth) {
    std::vector<std::string> rows = {
        "12.9=12 12.9 1",   "abc=0 0 0",    "  -42x=-42 -42 1", "+7=7 7 1",    "1%2E5=1 1 1",
        "-2.5e1x=-2 -25 1", "2E-1=2 0.2 1", "1e+=1 1 1",        ".5=0 0.5 0",  "0.5=0 0.5 0",
        ".=0 0 0",          "=0 0 0",       "inf=0 0 0",        "0x10=0 0 0",  "1e39=1 inf 1",
        "true=0 0 1",       "YES=0 0 1",    "  t=0 0 1",        "+0001=1 1 1", "-0=0 0 0",
        "000=0 0 0",        "09=9 9 1",     "false=0 0 0",      "N=0 0 0",
    };
    rows.insert(rows.end(),
                {"2147483647=2147483647 2147483648 1", "2147483648=2147483647 2147483648 1",
                 "-2147483648=-2147483648 -2147483648 1",
                 "-99999999999999999999999999=-2147483648 -1e+26 1"});
    for (const std::string& row : rows) {
        const QString text = QString::fromStdString(row.substr(0, row.find('=')));
        char decimal[32];
        *std::to_chars(decimal, decimal + sizeof decimal - 1, floatValue(text) + 0.0f).ptr = '\0';
        EXPECT_EQ(
            std::to_string(intValue(text)) + " " + decimal + " " + std::to_string(boolValue(text)),
            row.substr(row.find('=') + 1))
            << row;
    }
}

}  // namespace
}  // namespace lirra
