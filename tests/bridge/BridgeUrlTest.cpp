// Reading bridge URLs and their arguments.
#include <gtest/gtest.h>

#include <limits>

#include "bridge/ArgumentReadings.h"
#include "bridge/BridgeUrl.h"
#include "support/qt/QtPrinters.h"

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
