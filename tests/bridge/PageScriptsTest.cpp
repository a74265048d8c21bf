// SPDX-License-Identifier: GPL-3.0-or-later
// The texts evaluated in the pages: event scripts, queries, string literals, reply values and
// the audio-track information.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <limits>
#include <random>

#include "bridge/AudioInfo.h"
#include "bridge/NumberText.h"
#include "bridge/PageEvents.h"
#include "support/qt/QtPrinters.h"

namespace lirra {
namespace {

// The two queries the native side asks the pages, word for word (the events' texts: where they
// are sent), and string literals: ordinary names stay readable, what would end the literal or
// the script is escaped.
TEST(PageEvents, TheQueriesAndTheLiteralsThePagesRead) {
    const std::pair<QString, QString> rows[] = {
        {kNativeLanguageQuery,
         "$('#selectedLanguage .flag').attr('class').replace('flag', '').replace('small', '')"
         ".replace(' ', '').replace(' ', '')"},
        {kNextSubOffsetQuery, "$('#next-sub').offset().top"},
        {jsStringLiteral("Amélie 中文 😀.mkv"), "'Amélie 中文 😀.mkv'"},
        {jsStringLiteral("it's \\ </script>"), R"('it\'s \\ \x3C/script\x3E')"},
        {jsStringLiteral(QString(QChar(0x2028)) + QChar(0x7F) + QChar(0xD800) + "\n\t"),
         R"('\u2028\x7F\uD800\n\t')"},
    };
    for (const auto& [text, expected] : rows) EXPECT_EQ(text, expected);
}

#ifdef LIRRA_NODE
// Node's parser judges each sample: the literal is exactly one string literal (as an object key,
// nothing else parses) with the sample's UTF-16 code units, and a reply carrying the sample as
// guid and as value triggers exactly one event with both intact.
constexpr char kNodeCheck[] = R"JS(
const units = s => Array.from({length: s.length}, (_, i) => s.charCodeAt(i));
const same = (a, b) => a.length === b.length && a.every((x, i) => x === b[i]);
for (const item of JSON.parse(require('fs').readFileSync(0, 'utf8'))) {
  let verdict = 'ok';
  try {
    const keys = Object.keys(eval('({' + item.literal + ': 1})'));
    const calls = [], $ = () => ({ trigger: (name, arg) => calls.push([name, arg]) }), window = {};
    eval(item.script);
    if (keys.length !== 1 || !same(units(keys[0]), item.units)) verdict = 'literal differs';
    else if (calls.length !== 1) verdict = calls.length + ' events';
    else if (!same(units(calls[0][0]), [...units('response:'), ...item.units])) verdict = 'name differs';
    else if (typeof calls[0][1] !== 'string' || !same(units(calls[0][1]), item.units)) verdict = 'value differs';
  } catch (e) { verdict = 'throws ' + e.name; }
  console.log(verdict);
}
)JS";

// Random texts drawn mostly from what could end a literal or a script (fixed seed).
TEST(PageEvents, EscapedTextsAreAlwaysOneStringLiteralAndNeverCode) {
    const char16_t pieces[] = {'\'',   '"',    '\\',   '`',  '$',   '{',    '}',    '(',    ')',
                               ';',    '<',    '>',    '/',  '!',   '-',    '\n',   '\r',   '\t',
                               0,      0x1F,   0x7F,   0x85, 0xA0,  0x2028, 0x2029, 0xFEFF, 0x200B,
                               0xD83D, 0xDE00, 0xDBFF, u'é', u'中', 'a'};
    std::mt19937 random(2028);
    QJsonArray items;
    std::vector<QString> samples;
    for (int i = 0; i < 300; ++i) {
        QString sample;
        for (int n = random() % 12; n > 0; --n)
            sample += QChar(pieces[random() % std::size(pieces)]);
        QJsonArray units;
        for (const QChar c : sample) units.append(c.unicode());
        items.append(QJsonObject{{"units", units},
                                 {"literal", jsStringLiteral(sample)},
                                 {"script", responseScript(sample, jsStringLiteral(sample))}});
        samples.push_back(sample);
    }
    QProcess node;
    node.start(QStringLiteral(LIRRA_NODE), {QStringLiteral("-e"), QString::fromLatin1(kNodeCheck)});
    node.write(QJsonDocument(items).toJson(QJsonDocument::Compact));
    node.closeWriteChannel();
    ASSERT_TRUE(node.waitForFinished(30000));
    ASSERT_EQ(node.exitCode(), 0) << node.readAllStandardError().toStdString();
    const QStringList verdicts =
        QString::fromUtf8(node.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(verdicts.size(), qsizetype(samples.size()));
    for (std::size_t i = 0; i < samples.size(); ++i)
        EXPECT_EQ(verdicts[i], "ok") << jsStringLiteral(samples[i]).toStdString();
}
#else
TEST(PageEvents, EscapedTextsAreAlwaysOneStringLiteralAndNeverCode) {
    GTEST_SKIP() << "node was not found when the build was configured";
}
#endif

TEST(NumberText, RepliesAreJavaScriptNumbers) {
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

TEST(AudioInfo, OneEntryPerNameInNameOrderTheLaterIndexWinning) {
    const std::pair<QString, QString> rows[] = {
        {audioInfoText({"Stereo", "Mono", "Stereo"}, {1, 2, 3}, 3),
         "{audioTracks:{'Mono':2, 'Stereo':3, }, audioTrack:3}"},
        {audioInfoText({"It's %2", "a\\b"}, {1, 2}, -1),  // literals, not format markers
         R"({audioTracks:{'It\'s %2':1, 'a\\b':2, }, audioTrack:-1})"},
        {audioInfoText({"A", "B"}, {7}, 7), "{audioTracks:{'A':7, }, audioTrack:7}"},  // unpaired
    };
    for (const auto& [text, expected] : rows) EXPECT_EQ(text, expected);
}

}  // namespace
}  // namespace lirra
