// The texts evaluated in the pages: event scripts, queries, string literals, reply values and
// the audio-track information.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryFile>
#include <limits>

#include "QStringPrinter.h"
#include "bridge/AudioInfo.h"
#include "bridge/NumberText.h"
#include "bridge/PageEvents.h"

namespace lirra {
namespace {

TEST(PageEvents, ScriptTexts) {
    EXPECT_EQ(pageEventScript(kTimeUpdateEvent, QStringLiteral("750")),
              "if(typeof $ != 'undefined'){ $(window).trigger('timeUpdate', 750); }");
    EXPECT_EQ(responseScript(QStringLiteral("a%2Fb"), QStringLiteral("'clip.mkv'")),
              "if(typeof $ != 'undefined'){ $(window).trigger('response:a%2Fb', 'clip.mkv'); }");
}

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
const items = JSON.parse(require('fs').readFileSync(process.argv[1], 'utf8'));
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

QStringList runNodeCheck(const std::vector<std::pair<QString, QString>>& samplesAndLiterals,
                         const std::vector<QString>& scripts) {
    QJsonArray items;
    for (std::size_t i = 0; i < samplesAndLiterals.size(); ++i) {
        const auto& [sample, literal] = samplesAndLiterals[i];
        QJsonArray units;
        for (QChar c : sample) units.append(c.unicode());
        items.append(QJsonObject{{"units", units}, {"literal", literal}, {"script", scripts[i]}});
    }
    QTemporaryFile file;
    EXPECT_TRUE(file.open());
    file.write(QJsonDocument(items).toJson(QJsonDocument::Compact));
    file.flush();
    QProcess node;
    node.start(QStringLiteral(LIRRA_NODE),
               {QStringLiteral("-e"), QString::fromLatin1(kNodeCheck), file.fileName()});
    EXPECT_TRUE(node.waitForFinished(30000));
    EXPECT_EQ(node.exitCode(), 0) << node.readAllStandardError().toStdString();
    return QString::fromUtf8(node.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

std::vector<QString> nastySamples() {
    return {
        QStringLiteral("clip.mkv"),
        QStringLiteral("it's.mkv"),
        QStringLiteral("'); alert(1); ('"),
        QStringLiteral("back\\slash\\"),
        QStringLiteral("\\'"),
        QStringLiteral("line\nbreak\r\n"),
        QString(QChar(0x2028)) + QStringLiteral("ls ps") + QChar(0x2029),
        QStringLiteral("</script><script>alert(1)</script><!--"),
        QString(QChar(0)) + QStringLiteral("nul") + QChar(0x1F) + QChar(0x7F) + QChar(0x85),
        QStringLiteral("${x}`tick` \"dq\""),
        QStringLiteral("Amélie 中文 😀"),
        QString(QChar(0xD83D)) + QStringLiteral("lone") + QChar(0xDE00) + QChar(0xDBFF),
        QStringLiteral("%27%5C%0A"),
        QString(QChar(0xFEFF)) + QChar(0x200B) + QChar(0x00A0),
    };
}

TEST(PageEvents, EscapedTextsParseAsOneStringLiteral) {
    std::vector<std::pair<QString, QString>> items;
    std::vector<QString> scripts;
    for (const QString& sample : nastySamples()) {
        items.emplace_back(sample, jsStringLiteral(sample));
        scripts.push_back(responseScript(sample, jsStringLiteral(sample)));
    }
    const QStringList verdicts = runNodeCheck(items, scripts);
    ASSERT_EQ(verdicts.size(), static_cast<qsizetype>(items.size()));
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(verdicts[i], QStringLiteral("ok")) << "sample " << i;
    }
}

#else
TEST(PageEvents, EscapedTextsParseAsOneStringLiteral) {
    GTEST_SKIP() << "node was not found when the build was configured";
}
#endif

TEST(NumberText, StringValue) {
    EXPECT_EQ(stringValue(std::any(std::int64_t{5000000000})), QStringLiteral("5000000000"));
    EXPECT_EQ(stringValue(std::any(1.1f)), QStringLiteral("1.1"));
    EXPECT_EQ(stringValue(std::any(2.0f / 3.0f)), QStringLiteral("0.6666667"));
    EXPECT_EQ(stringValue(std::any(5000.0)), QStringLiteral("5000"));
    EXPECT_EQ(stringValue(std::any(-std::numeric_limits<double>::infinity())),
              QStringLiteral("-Infinity"));
    EXPECT_EQ(stringValue(std::any(std::numeric_limits<float>::quiet_NaN())),
              QStringLiteral("NaN"));
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
