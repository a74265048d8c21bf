// The texts evaluated in the pages: event scripts, queries, string literals, reply values and
// the audio-track information.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <limits>

#include "QStringPrinter.h"
#include "bridge/AudioInfo.h"
#include "bridge/NumberText.h"
#include "bridge/PageEvents.h"

namespace lirra {
namespace {

TEST(PageEvents, StringLiteralEscapes) {
    // Parsing as one literal is checked by node below; these pin what the page's source shows.
    const std::pair<QString, const char*> rows[] = {
        {QStringLiteral("it's"), R"('it\'s')"},
        {QStringLiteral("</script>"), R"('\x3C/script\x3E')"},
        {QString(QChar(0x2028)) + QChar(0x7F), R"('\u2028\x7F')"},
        {QString(QChar(0xD800)) + QLatin1Char('x'), R"('\uD800x')"},
    };
    for (const auto& [text, expected] : rows) {
        EXPECT_EQ(jsStringLiteral(text), QString::fromLatin1(expected));
    }
    // Characters outside ASCII that need no escape stay readable.
    EXPECT_EQ(jsStringLiteral(QStringLiteral("Amélie 中文 😀.mkv")),
              QStringLiteral("'Amélie 中文 😀.mkv'"));
}

#ifdef LIRRA_NODE
// Node checks each sample: the literal must be exactly one string literal (as an object key,
// nothing else parses) with the sample's exact UTF-16 code units, and a reply script carrying
// the sample as guid and as file name must trigger exactly one event with both intact.
constexpr char kNodeCheck[] = R"JS(
const items = JSON.parse(require('fs').readFileSync(0, 'utf8'));
const units = s => Array.from({length: s.length}, (_, i) => s.charCodeAt(i));
const same = (a, b) => a.length === b.length && a.every((x, i) => x === b[i]);
for (const item of items) {
  let verdict = 'ok';
  try {
    const keys = Object.keys(eval('({' + item.literal + ': 1})'));
    if (keys.length !== 1 || !same(units(keys[0]), item.units)) verdict = 'literal value differs';
    const calls = [];
    const $ = (w) => ({ trigger: (name, arg) => calls.push([name, arg]) });
    const window = {};
    eval(item.script);
    if (calls.length !== 1) verdict = 'script triggered ' + calls.length + ' events';
    else if (!same(units(calls[0][0]), [...units('response:'), ...item.units])) verdict = 'event name differs';
    else if (typeof calls[0][1] !== 'string' || !same(units(calls[0][1]), item.units)) verdict = 'argument differs';
  } catch (e) {
    verdict = 'throws ' + e.name;
  }
  console.log(verdict);
}
)JS";

TEST(PageEvents, EscapedTextsParseAsOneStringLiteral) {
    const std::vector<QString> samples{
        QStringLiteral("it's.mkv'); alert(1); ('"),
        QStringLiteral("%27%5C%0A ${x}`tick` \"dq\" \\' back\\slash\\"),
        QStringLiteral("line\nbreak\r\n") + QChar(0x2028) + QStringLiteral("ls ps") + QChar(0x2029),
        QStringLiteral("</script><script>alert(1)</script><!--"),
        QString(QChar(0)) + QStringLiteral("nul") + QChar(0x1F) + QChar(0x7F) + QChar(0x85),
        QStringLiteral("Amélie 中文 😀") + QChar(0xFEFF) + QChar(0x200B) + QChar(0x00A0),
        QString(QChar(0xD83D)) + QStringLiteral("lone") + QChar(0xDE00) + QChar(0xDBFF),
    };
    QJsonArray items;
    for (const QString& sample : samples) {
        QJsonArray units;
        for (QChar c : sample) units.append(c.unicode());
        items.append(QJsonObject{{"units", units},
                                 {"literal", jsStringLiteral(sample)},
                                 {"script", responseScript(sample, jsStringLiteral(sample))}});
    }
    QProcess node;
    node.start(QStringLiteral(LIRRA_NODE), {QStringLiteral("-e"), QString::fromLatin1(kNodeCheck)});
    node.write(QJsonDocument(items).toJson(QJsonDocument::Compact));
    node.closeWriteChannel();
    ASSERT_TRUE(node.waitForFinished(30000));
    ASSERT_EQ(node.exitCode(), 0) << node.readAllStandardError().toStdString();
    const QStringList verdicts =
        QString::fromUtf8(node.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(verdicts.size(), static_cast<qsizetype>(samples.size()));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        EXPECT_EQ(verdicts[i], QStringLiteral("ok")) << "sample " << i;
    }
}

#else
TEST(PageEvents, EscapedTextsParseAsOneStringLiteral) {
    GTEST_SKIP() << "node was not found when the build was configured";
}
#endif

TEST(NumberText, StringValue) {
    const std::pair<std::any, const char*> rows[] = {
        {std::int64_t{5000000000}, "5000000000"},
        {1.1f, "1.1"},
        {2.0f / 3.0f, "0.6666667"},
        {5000.0, "5000"},
        {-std::numeric_limits<double>::infinity(), "-Infinity"},
        {std::numeric_limits<float>::quiet_NaN(), "NaN"},
    };
    for (const auto& [value, text] : rows) EXPECT_EQ(stringValue(value), QString::fromLatin1(text));
    EXPECT_FALSE(stringValue(std::any(QStringLiteral("5"))).has_value());
}

TEST(AudioInfo, ObjectLiteralText) {
    // One entry per name: the later index wins.
    EXPECT_EQ(audioInfoText({"Stereo", "Mono", "Stereo"}, {1, 2, 3}, 3),
              QStringLiteral("{audioTracks:{'Mono':2, 'Stereo':3, }, audioTrack:3}"));
    // Names are literals; "%1"/"%2" in a name are not format markers.
    EXPECT_EQ(audioInfoText({"It's %2", "a\\b"}, {1, 2}, -1),
              QStringLiteral(R"({audioTracks:{'It\'s %2':1, 'a\\b':2, }, audioTrack:-1})"));
    // Unpaired items are left out.
    EXPECT_EQ(audioInfoText({"A", "B"}, {7}, 7),
              QStringLiteral("{audioTracks:{'A':7, }, audioTrack:7}"));
}

}  // namespace
}  // namespace lirra
