// A journey of the real app with a video whose subtitles are only inside it: an MKV with an
// English SubRip and a Spanish ASS track and no file beside it. The lookup finds nothing to
// download; the embedded service reads both tracks out of the video, the player page asks
// again while they are pending, and both lines appear over the picture.
#include <gtest/gtest.h>
#include <httplib.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <thread>

#include "LirraProcess.h"

namespace lirra::test {
namespace {

using namespace std::chrono_literals;

constexpr char kEnglish[] = "1\n00:00:00,500 --> 00:00:20,000\nHello there, walker.\n";
constexpr char kSpanish[] =
    "[Script Info]\nScriptType: v4.00+\n\n[V4+ Styles]\nFormat: Name, Fontname, Fontsize\n"
    "Style: Default,Arial,20\n\n[Events]\n"
    "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
    "Dialogue: 0,0:00:00.50,0:00:20.00,Default,,0,0,0,,{\\an8}Hola, {\\i1}caminante{\\i0}.\n"
    "Dialogue: 1,0:00:00.50,0:00:20.00,Shadow,,0,0,0,,{\\an8}Hola, {\\i1}caminante{\\i0}.\n";

QJsonObject getJson(int port, const std::string& path) {
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(5);
    const auto result = client.Get(path);
    if (!result || result->status != 200) return {};
    return QJsonDocument::fromJson(QByteArray::fromStdString(result->body)).object();
}

bool write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The red-and-blue clip with both tracks muxed in.
QString makeFilm(const QString& dir) {
    const QString clip = makeClip(dir, "clip.mkv", 20);
    if (clip.isEmpty() || !write(dir + "/en.srt", kEnglish) || !write(dir + "/es.ass", kSpanish)) {
        return {};
    }
    const QString film = dir + "/Night Walk.mkv";
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-loglevel",
                            "error",
                            "-y",
                            "-i",
                            clip,
                            "-i",
                            dir + "/en.srt",
                            "-i",
                            dir + "/es.ass",
                            "-map",
                            "0",
                            "-map",
                            "1",
                            "-map",
                            "2",
                            "-c",
                            "copy",
                            "-metadata:s:s:0",
                            "language=eng",
                            "-metadata:s:s:1",
                            "language=spa",
                            film});
    if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0) return {};
    QFile::remove(clip);
    QFile::remove(dir + "/en.srt");
    QFile::remove(dir + "/es.ass");
    return film;
}

TEST(InsideTracksJourney, BothLinesFromTracksInsideTheVideo) {
    QTemporaryDir media;
    const QString film = makeFilm(media.path());
    ASSERT_FALSE(film.isEmpty());
    LirraProcess lirra({"--verbose", film});
    ASSERT_TRUE(lirra.started());
    ASSERT_TRUE(lirra.waitForLog("Lirra service at http://127.0.0.1:", 30s))
        << lirra.log().toStdString();
    static const QRegularExpression kPort(
        QStringLiteral("Lirra service at http://127\\.0\\.0\\.1:(\\d+)/"));
    const int port = kPort.match(lirra.log()).captured(1).toInt();

    // Nothing lies beside the video: the app has nothing to download or upload.
    ASSERT_TRUE(lirra.waitForLog("Done analyzing video: found 0 subtitles to download", 60s))
        << lirra.log().toStdString();
    ASSERT_TRUE(lirra.waitForLog(
        "Page loaded: http://127.0.0.1:" + QString::number(port) + "/Player/Play?videoId=", 30s))
        << lirra.log().toStdString();

    // The service holds both tracks read out of the video.
    QStringList held;
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (held.size() < 2 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(300ms);
        held.clear();
        const auto videos = getJson(port, "/api/videos/recent").value("videos").toArray();
        if (videos.isEmpty()) continue;
        const auto id = videos.first().toObject().value("videoId").toInteger();
        const auto answer = getJson(port, "/api/videos/" + std::to_string(id) + "/tracks");
        for (const auto& t : answer.value("tracks").toArray()) {
            const auto track = t.toObject();
            held << track.value("origin").toString() + " " + track.value("language").toString() +
                        " " + track.value("fileName").toString() + " " +
                        track.value("cues").toArray().first().toObject().value("text").toString();
        }
    }
    EXPECT_EQ(held, (QStringList{"container eng Night Walk.eng.srt Hello there, walker.",
                                 "container spa Night Walk.spa.ass Hola, <i>caminante</i>."}));

    // Both lines over the picture: white for English, the pale yellow of the learner's line.
    QString shot;
    int yellow = 0, white = 0;
    const auto shotDeadline = std::chrono::steady_clock::now() + 15s;
    do {
        std::this_thread::sleep_for(500ms);
        shot = takeScreenshot("inside-tracks-playing");
        yellow = countPixelsNear(shot, 0xff, 0xe0, 0x7a, 25);
        white = countPixelsNear(shot, 255, 255, 255, 20);
    } while ((yellow < 30 || white < 150) && std::chrono::steady_clock::now() < shotDeadline);
    EXPECT_GE(yellow, 30) << shot.toStdString();
    EXPECT_GE(white, 150) << shot.toStdString();
    EXPECT_GT(countPixelsNear(shot, 255, 0, 0), 5000) << shot.toStdString();
    EXPECT_FALSE(lirra.log().contains("JavaScript error:")) << lirra.log().toStdString();
    EXPECT_EQ(lirra.quit(), 0);
}

}  // namespace
}  // namespace lirra::test
