// The real app with its embedded service and its own pages: a video opened on the command line
// with an English and a Spanish subtitle file beside it is looked up, both files reach the
// service, and while the video plays the player page draws both lines over the picture.
#include <gtest/gtest.h>
#include <httplib.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <thread>

#include "LirraProcess.h"

namespace lirra::test {
namespace {

using namespace std::chrono_literals;

// Three cues; the video is red above and blue below, so white and this pale yellow (the
// learner's line) can only come from the page.
constexpr char kEnglish[] =
    "1\n00:00:00,500 --> 00:00:04,000\nHello there, walker.\n\n"
    "2\n00:00:04,500 --> 00:00:09,000\nThe night is quiet.\n\n"
    "3\n00:00:09,500 --> 00:00:15,000\nLet us go home now.\n";
constexpr char kSpanish[] =
    "1\n00:00:00,500 --> 00:00:04,000\nHola, caminante.\n\n"
    "2\n00:00:04,500 --> 00:00:09,000\nLa noche está tranquila.\n\n"
    "3\n00:00:09,500 --> 00:00:15,000\nVolvamos a casa ahora.\n";

bool writeFile(const QString& path, const char* text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == qint64(qstrlen(text));
}

// "Lirra service at http://127.0.0.1:PORT/" from the app's log; 0 when absent.
int servicePort(const QString& log) {
    static const QRegularExpression kLine(
        QStringLiteral("Lirra service at http://127\\.0\\.0\\.1:(\\d+)/"));
    const QRegularExpressionMatch match = kLine.match(log);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

QJsonObject getJson(int port, const std::string& path) {
    httplib::Client client("127.0.0.1", port);
    client.set_connection_timeout(5);
    client.set_read_timeout(5);
    const auto result = client.Get(path);
    if (!result || result->status != 200) return {};
    return QJsonDocument::fromJson(QByteArray::fromStdString(result->body)).object();
}

// The tracks the service holds for the video named `fileName`, as "language:cue count:first
// cue text", once there are `wanted` of them (empty after the time-out).
QStringList heldTracks(int port, const QString& fileName, int wanted) {
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    QStringList found;
    while (std::chrono::steady_clock::now() < deadline) {
        found.clear();
        const QJsonArray videos = getJson(port, "/api/videos/recent").value("videos").toArray();
        for (const auto& v : videos) {
            const QJsonObject video = v.toObject();
            if (video.value("fileName").toString() != fileName) continue;
            const std::string path =
                "/api/videos/" + std::to_string(video.value("videoId").toInteger()) + "/tracks";
            for (const auto& t : getJson(port, path).value("tracks").toArray()) {
                const QJsonObject track = t.toObject();
                const QJsonArray cues = track.value("cues").toArray();
                found << track.value("language").toString() + ":" + QString::number(cues.size()) +
                             ":" +
                             (cues.isEmpty() ? QString()
                                             : cues.first().toObject().value("text").toString());
            }
        }
        if (found.size() >= wanted) break;
        std::this_thread::sleep_for(300ms);
    }
    found.sort();
    return found;
}

TEST(RealPagesJourney, BothSubtitleLinesShowOverTheVideoWithTheEmbeddedService) {
    QTemporaryDir media;
    const QString clip = makeClip(media.path(), "Night Walk.mkv", 20);
    ASSERT_FALSE(clip.isEmpty());
    ASSERT_TRUE(writeFile(media.path() + "/Night Walk.en.srt", kEnglish));
    ASSERT_TRUE(writeFile(media.path() + "/Night Walk.es.srt", kSpanish));

    LirraProcess lirra({clip});
    ASSERT_TRUE(lirra.started());
    ASSERT_TRUE(lirra.waitForLog("Lirra service at http://127.0.0.1:", 30s))
        << lirra.log().toStdString();
    const int port = servicePort(lirra.log());
    ASSERT_GT(port, 0) << lirra.log().toStdString();

    ASSERT_TRUE(lirra.waitForLog("Done analyzing video: found 2 subtitles to download", 30s))
        << lirra.log().toStdString();
    ASSERT_TRUE(lirra.waitForLog("Successfully uploaded all downloaded subtitles", 20s))
        << lirra.log().toStdString();
    EXPECT_EQ(heldTracks(port, "Night Walk.mkv", 2),
              (QStringList{"eng:3:Hello there, walker.", "spa:3:Hola, caminante."}));

    // The lines show from 0.5 s to 15 s of the video; the page needs a moment to come up, so
    // pictures are taken until one shows both lines. The pale yellow of the learner's line is
    // drawn by the page alone (the controls' yellow is a deeper one).
    QString shot;
    int yellow = 0;
    int white = 0;
    const auto deadline = std::chrono::steady_clock::now() + 14s;
    for (int n = 1; std::chrono::steady_clock::now() < deadline; ++n) {
        shot = takeScreenshot(QStringLiteral("real-pages-playing-%1").arg(n));
        ASSERT_FALSE(shot.isEmpty());
        yellow = countPixelsNear(shot, 0xff, 0xe0, 0x7a, 25);
        white = countPixelsNear(shot, 255, 255, 255, 20);
        if (yellow > 60 && white > 150) break;
        QFile::remove(shot);
        std::this_thread::sleep_for(600ms);
    }
    EXPECT_GT(yellow, 60) << shot.toStdString() << "\n" << lirra.log().toStdString();
    EXPECT_GT(white, 150) << shot.toStdString();
    // The video still shows through around the lines.
    EXPECT_GT(countPixelsNear(shot, 255, 0, 0), 5000) << shot.toStdString();
    EXPECT_GT(countPixelsNear(shot, 0, 0, 255), 5000) << shot.toStdString();
    EXPECT_FALSE(lirra.log().contains("JavaScript error:")) << lirra.log().toStdString();

    EXPECT_EQ(lirra.quit(), 0);
}

}  // namespace
}  // namespace lirra::test
