// Reading bridge URLs and their arguments.
#include <gtest/gtest.h>

#include <limits>

#include "QStringPrinter.h"
#include "bridge/ArgumentReadings.h"
#include "bridge/BridgeUrl.h"

namespace lirra {
namespace {

using Args = BridgeArguments;

struct UrlRow {
    const char* url;
    const char* kind;
    const char* name;
    Args arguments;
};

TEST(BridgeUrl, ReadsKindNameAndArguments) {
    const UrlRow rows[] = {
        {"app:///Execute/SeekTo?position=95", "Execute", "SeekTo", {{"position", "95"}}},
        {"app:///Execute/SetVolume?volume=80&volume=120",
         "Execute",
         "SetVolume",
         {{"volume", "120"}}},
        {"app:///Execute/SetMuted?muted&x=1=2", "Execute", "SetMuted", {}},
        // The host is not read: Execute stands there, so the first path component is Play.
        {"app://Execute/Play", "Play", "Play", {}},
        // Only the first and the last component count.
        {"app:///Execute/ignored/SetAudioTrack?track=2",
         "Execute",
         "SetAudioTrack",
         {{"track", "2"}}},
        {"app:///Request/FileName?guid=g#frag?guid=h", "Request", "FileName", {{"guid", "g"}}},
        // Empty pieces are dropped; empty names and values are allowed.
        {"app:///Execute/X?&&a=&=b&", "Execute", "X", {{"a", ""}, {"", "b"}}},
        // Escapes of delimiters and of the percent sign survive, "+" is not a space.
        {"app:///Request/Volume?guid=a%26b%3Dc%2B%25%20d&v=x+y%27z",
         "Request",
         "Volume",
         {{"guid", "a%26b%3Dc%2B%25%20d"}, {"v", "x+y%27z"}}},
        // Without path components nothing matches.
        {"app:", "", "", {}},
        {"app://", "", "", {}},
        {"app:////", "", "", {}},
        {"app:Execute/Play", "", "", {}},
    };
    for (const UrlRow& row : rows) {
        SCOPED_TRACE(row.url);
        const BridgeUrl read = BridgeUrl::fromUrl(QUrl(QString::fromLatin1(row.url)));
        EXPECT_EQ(read.kind, QLatin1String(row.kind));
        EXPECT_EQ(read.name, QLatin1String(row.name));
        EXPECT_EQ(read.arguments, row.arguments);
    }
}

TEST(BridgeUrl, SchemeAndRegistrationLink) {
    EXPECT_TRUE(isBridgeUrl(QUrl(QStringLiteral("app:///Execute/Play"))));
    EXPECT_FALSE(isBridgeUrl(QUrl(QStringLiteral("http://127.0.0.1:1/Player/Home"))));
    EXPECT_FALSE(isBridgeUrl(QUrl(QStringLiteral("apps:///Execute/Play"))));

    EXPECT_TRUE(isRegistrationLink(QUrl(QStringLiteral("http://h/Account/PlayerRegister"))));
    EXPECT_TRUE(isRegistrationLink(QUrl(QStringLiteral("http://h/PlayerRegister/?next=1"))));
    EXPECT_FALSE(isRegistrationLink(QUrl(QStringLiteral("http://h/PlayerRegisterNow"))));
    EXPECT_FALSE(isRegistrationLink(QUrl(QStringLiteral("http://h/x?to=PlayerRegister"))));
}

TEST(ArgumentReadings, IntegerReading) {
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
    const std::pair<const char*, std::int32_t> rows[] = {
        {"12.9", 12},
        {"abc", 0},
        {"  -42x", -42},
        {"+7", 7},
        {"1%2E5", 1},
        {"2147483647", kMax},
        {"2147483648", kMax},
        {"-2147483648", kMin},
        {"-99999999999999999999999999", kMin},
    };
    for (const auto& [text, expected] : rows) {
        EXPECT_EQ(intValue(QString::fromLatin1(text)), expected) << text;
    }
}

TEST(ArgumentReadings, DecimalReading) {
    constexpr float kInf = std::numeric_limits<float>::infinity();
    const std::pair<const char*, float> rows[] = {
        {"1%2E5", 1.0f}, {"-2.5e1x", -25.0f}, {"1e+", 1.0f},  {".5", 0.5f},   {".", 0.0f},
        {"inf", 0.0f},   {"0x10", 0.0f},      {"1e39", kInf}, {"2E-1", 0.2f},
    };
    for (const auto& [text, expected] : rows) {
        EXPECT_EQ(floatValue(QString::fromLatin1(text)), expected) << text;
    }
}

TEST(ArgumentReadings, TruthReading) {
    for (const char* yes : {"true", "YES", "+0001", "-5", "  t"}) {
        EXPECT_TRUE(boolValue(QString::fromLatin1(yes))) << yes;
    }
    for (const char* no : {"false", "", "000", "-0", "N", "0.5"}) {
        EXPECT_FALSE(boolValue(QString::fromLatin1(no))) << no;
    }
}

}  // namespace
}  // namespace lirra
