// Journeys of the real app with its embedded service and its own pages, read from the app's
// `--verbose` log (page loads, bridge calls, the scripts the pages were sent), what the service
// stored, and screenshots: the road of one video and its second showing, a video over http, a
// broken file, a service that cannot be reached, and a second video opened during the first.
#include <gtest/gtest.h>
#include <httplib.h>

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <functional>
#include <thread>

#include "LirraProcess.h"
#include "hash/OSHashAlgorithm.h"
#include "support/LoopbackHttpServer.h"

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

constexpr char kPlayerPageLoaded[] = "Page loaded: http://127.0.0.1:";
constexpr char kTimeUpdate[] = "$(window).trigger('timeUpdate', ";
constexpr char kRefreshLevel[] = "$(window).trigger('refreshLevel'";

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QJsonObject getJson(int port, const std::string& path) {
    httplib::Client client("127.0.0.1", port);
    client.set_connection_timeout(5);
    client.set_read_timeout(5);
    const auto result = client.Get(path);
    if (!result || result->status != 200) return {};
    return QJsonDocument::fromJson(QByteArray::fromStdString(result->body)).object();
}

// The service's record of the video named `fileName` (empty when it has none).
QJsonObject storedVideo(int port, const QString& fileName) {
    for (const auto& v : getJson(port, "/api/videos/recent").value("videos").toArray()) {
        if (v.toObject().value("fileName").toString() == fileName) return v.toObject();
    }
    return {};
}

// The tracks the service holds for the video named `fileName`, as "language:cue count:first
// cue text", once there are `wanted` of them (what there is after the time-out otherwise).
QStringList heldTracks(int port, const QString& fileName, int wanted) {
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    QStringList found;
    while (std::chrono::steady_clock::now() < deadline) {
        found.clear();
        const QJsonObject video = storedVideo(port, fileName);
        const std::string path =
            "/api/videos/" + std::to_string(video.value("videoId").toInteger()) + "/tracks";
        for (const auto& t : getJson(port, path).value("tracks").toArray()) {
            const QJsonObject track = t.toObject();
            const QJsonArray cues = track.value("cues").toArray();
            found << track.value("language").toString() + ":" + QString::number(cues.size()) + ":" +
                         (cues.isEmpty() ? QString()
                                         : cues.first().toObject().value("text").toString());
        }
        if (found.size() >= wanted) break;
        std::this_thread::sleep_for(300ms);
    }
    found.sort();
    return found;
}

std::string hashTextOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray begin = file.read(65536);
    file.seek(file.size() - 65536);
    const QByteArray end = file.read(65536);
    const auto hash = OSHashAlgorithm::hashWithFileSize(file.size(), begin, end);
    return hash ? OSHashAlgorithm::stringForHash(hash->fileHash) : "";
}

int colourChannel(const char* hex, int index) {
    return QString::fromLatin1(hex + 1 + 2 * index, 2).toInt(nullptr, 16);
}

int pixelsNear(const QString& shot, const char* hex, int tolerance) {
    return countPixelsNear(shot, colourChannel(hex, 0), colourChannel(hex, 1),
                           colourChannel(hex, 2), tolerance);
}

// The home page's background, plain or dimmed behind its welcome card (shown on a first run).
int homePixels(const QString& shot) {
    return pixelsNear(shot, "#f6f2ea", 8) + pixelsNear(shot, "#827f79", 8);
}

// Takes pictures until `count` finds at least `wanted` in one; the path of the last one.
QString shotShowing(const QString& name, const std::function<int(const QString&)>& count,
                    int wanted, int* found, std::chrono::milliseconds timeout = 10s) {
    QString shot;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
        shot = takeScreenshot(name);
        *found = count(shot);
        if (*found >= wanted) break;
        std::this_thread::sleep_for(400ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return shot;
}

// The app with the embedded service, logging what passes between it and its pages.
class EmbeddedJourney : public ::testing::Test {
  protected:
    void launch(QStringList arguments) {
        lirra_ = std::make_unique<LirraProcess>(QStringList{"--verbose"} + arguments);
        ASSERT_TRUE(lirra_->started());
        ASSERT_TRUE(lirra_->waitForLog("Lirra service at http://127.0.0.1:", 30s)) << log();
        static const QRegularExpression kLine(
            QStringLiteral("Lirra service at http://127\\.0\\.0\\.1:(\\d+)/"));
        port_ = kLine.match(lirra_->log()).captured(1).toInt();
        ASSERT_GT(port_, 0) << log();
    }
    std::string log() { return lirra_ ? lirra_->log().toStdString() : std::string(); }
    std::string url(const std::string& path) {
        return "http://127.0.0.1:" + std::to_string(port_) + "/" + path;
    }
    QString playerPageLoaded(qint64 videoId) {
        return QString::fromStdString(url("Player/Play?videoId=" + std::to_string(videoId)))
            .prepend("Page loaded: ");
    }
    // The value the page was sent in answer to its last request NAME ("" when none came).
    QString lastReplyTo(const QString& name) {
        const QString text = lirra_->log();
        const QRegularExpression request("Navigation handled: app:///Request/" + name +
                                         "\\?guid=([^&\\s]+)");
        QString guid;
        for (auto it = request.globalMatch(text); it.hasNext();) guid = it.next().captured(1);
        if (guid.isEmpty()) return {};
        const QRegularExpression reply("\\$\\(window\\)\\.trigger\\('response:" +
                                       QRegularExpression::escape(guid) + "', (.*)\\); \\}");
        return reply.match(text).captured(1);
    }
    // Where the log first tells the page a position past the first frame (-1 while it has
    // not): where the engine's time first moved. A file's first frame may carry a few
    // milliseconds of its own; one frame of the test clips lasts 40 ms.
    qsizetype firstMovingTime() {
        static const QRegularExpression kTime(QStringLiteral("trigger\\('timeUpdate', (\\d+)\\)"));
        const QString text = lirra_->log();
        for (auto it = kTime.globalMatch(text); it.hasNext();) {
            const QRegularExpressionMatch match = it.next();
            if (match.captured(1).toInt() > 40) return match.capturedStart();
        }
        return -1;
    }
    bool waitForMovingTime(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (firstMovingTime() < 0 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(100ms);
        }
        return firstMovingTime() >= 0;
    }
    bool waitForReplyTo(const QString& name, std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (lastReplyTo(name).isEmpty() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(100ms);
        }
        return !lastReplyTo(name).isEmpty();
    }

    QTemporaryDir media_;
    std::unique_ptr<LirraProcess> lirra_;
    int port_ = 0;
};

TEST_F(EmbeddedJourney, OneVideoFromTheCommandLineToItsEndAndItsSecondShowing) {
    const QString clip = makeClip(media_.path(), "Night Walk.mkv", 7);
    ASSERT_FALSE(clip.isEmpty());
    ASSERT_TRUE(writeFile(media_.path() + "/Night Walk.en.srt", kEnglish));
    ASSERT_TRUE(writeFile(media_.path() + "/Night Walk.es.srt", kSpanish));
    launch({clip});

    // The home page comes first and says it is ready; the video waits for it.
    ASSERT_TRUE(
        lirra_->waitForLog("Navigation handled: app:///Execute/EnableDraggableHomeScreen", 60s))
        << log();
    ASSERT_TRUE(lirra_->waitForLog("Done analyzing video: found 2 subtitles to download", 30s))
        << log();
    ASSERT_TRUE(lirra_->waitForLog("Successfully uploaded all downloaded subtitles", 20s)) << log();
    EXPECT_EQ(heldTracks(port_, "Night Walk.mkv", 2),
              (QStringList{"eng:3:Hello there, walker.", "spa:3:Hola, caminante."}));
    const QJsonObject video = storedVideo(port_, "Night Walk.mkv");
    EXPECT_EQ(video.value("movieHash").toString().toStdString(), hashTextOf(clip));
    EXPECT_EQ(video.value("fileSize").toInteger(), QFileInfo(clip).size());
    const qint64 videoId = video.value("videoId").toInteger();

    // The player page for this video plays it and gets its values from the player.
    ASSERT_TRUE(lirra_->waitForLog(playerPageLoaded(videoId), 30s)) << log();
    ASSERT_TRUE(lirra_->waitForLog(kTimeUpdate, 30s, 3)) << log();
    // The picture waited for the page: it had loaded before the engine's time moved (or, on a
    // machine too busy to load it within the bound, the bound had passed).
    ASSERT_TRUE(waitForMovingTime(30s)) << log();
    const QString text = lirra_->log();
    const qsizetype boundPassed = text.indexOf("The player page is still loading: the video plays");
    EXPECT_LT(boundPassed >= 0 ? boundPassed : text.indexOf(playerPageLoaded(videoId)),
              firstMovingTime())
        << log();
    ASSERT_TRUE(waitForReplyTo("Duration", 20s)) << log();
    EXPECT_NEAR(lastReplyTo("Duration").toDouble(), 7000, 300);
    ASSERT_TRUE(waitForReplyTo("FileName", 20s)) << log();
    EXPECT_EQ(lastReplyTo("FileName"), "'Night Walk.mkv'");
    ASSERT_TRUE(waitForReplyTo("AudioInfo", 20s)) << log();
    EXPECT_EQ(lastReplyTo("AudioInfo"), "{audioTracks:{'English':1, }, audioTrack:1}");

    // Both lines over the picture: the pale yellow of the learner's line is the page's alone.
    int yellow = 0;
    const QString playing = shotShowing(
        "embedded-1-playing", [](const QString& shot) { return pixelsNear(shot, "#ffe07a", 25); },
        60, &yellow, 6s);
    EXPECT_GE(yellow, 60) << playing.toStdString();
    EXPECT_GT(countPixelsNear(playing, 255, 255, 255, 20), 150) << playing.toStdString();
    EXPECT_GT(countPixelsNear(playing, 255, 0, 0), 5000) << playing.toStdString();
    EXPECT_GT(countPixelsNear(playing, 0, 0, 255), 5000) << playing.toStdString();

    // The end brings the home page back without loading it again.
    ASSERT_TRUE(lirra_->waitForLog("Video ended at", 30s)) << log();
    ASSERT_TRUE(lirra_->waitForLog(kRefreshLevel, 10s)) << log();
    EXPECT_EQ(lirra_->countInLog(QString::fromStdString("Page loaded: " + url("Player/Home"))), 1)
        << log();
    int home = 0;
    const QString homeShot = shotShowing("embedded-2-home-again", homePixels, 3000, &home);
    EXPECT_GE(home, 3000) << homeShot.toStdString();  // the window keeps the video's size

    // The same video again, as the desktop opens it: the service holds its subtitles, so
    // nothing is downloaded and it plays at once.
    QString handedOver;
    EXPECT_EQ(lirra_->launchAgain({clip}, &handedOver), 0);
    EXPECT_TRUE(handedOver.contains("Handed over to the running Lirra"))
        << handedOver.toStdString();
    ASSERT_TRUE(lirra_->waitForLog("Done analyzing video: found 0 subtitles to download", 30s))
        << log();
    ASSERT_TRUE(lirra_->waitForLog(playerPageLoaded(videoId), 30s, 2)) << log();
    const int timesBefore = lirra_->countInLog(kTimeUpdate);
    ASSERT_TRUE(lirra_->waitForLog(kTimeUpdate, 30s, timesBefore + 2)) << log();
    EXPECT_EQ(heldTracks(port_, "Night Walk.mkv", 2).size(), 2);  // nothing new, nothing lost
    EXPECT_FALSE(lirra_->log().contains("JavaScript error:")) << log();
    EXPECT_EQ(lirra_->quit(), 0);
}

TEST_F(EmbeddedJourney, AVideoOverHttpIsHashedByRangesAndNamedByTheFileNameOption) {
    const QString clip = makeClip(media_.path(), "clip.mkv", 10);
    ASSERT_FALSE(clip.isEmpty());
    const std::string bytes = readFile(clip.toStdString());
    LoopbackHttpServer media;
    media.server().Get(
        "/media/clip.mkv", [&bytes](const httplib::Request&, httplib::Response& res) {
            res.set_content(bytes, "video/x-matroska");  // the server answers ranges itself
        });
    ASSERT_TRUE(media.start());

    launch({"--file-name", "Remote Walk (2024).mkv",
            QString::fromStdString(media.url("/media/clip.mkv"))});
    ASSERT_TRUE(lirra_->waitForLog("Done analyzing video: found 0 subtitles to download", 60s))
        << log();
    const QJsonObject video = storedVideo(port_, "Remote Walk (2024).mkv");
    EXPECT_EQ(video.value("movieHash").toString().toStdString(), hashTextOf(clip)) << log();
    EXPECT_EQ(video.value("fileSize").toInteger(), static_cast<qint64>(bytes.size()));
    // The hash read the first and the last 64 KiB only.
    bool headRange = false, tailRange = false;
    const std::string tail =
        "bytes=" + std::to_string(bytes.size() - 65536) + "-" + std::to_string(bytes.size() - 1);
    for (const auto& request : media.requests()) {
        headRange = headRange || request.header("Range") == "bytes=0-65535";
        tailRange = tailRange || request.header("Range") == tail;
    }
    EXPECT_TRUE(headRange && tailRange);

    ASSERT_TRUE(lirra_->waitForLog(playerPageLoaded(video.value("videoId").toInteger()), 30s))
        << log();
    ASSERT_TRUE(lirra_->waitForLog(kTimeUpdate, 30s, 3)) << log();
    ASSERT_TRUE(waitForReplyTo("FileName", 20s)) << log();
    EXPECT_EQ(lastReplyTo("FileName"), "'Remote Walk (2024).mkv'");
    int red = 0;
    const QString shot = shotShowing(
        "embedded-3-over-http", [](const QString& shot) { return pixelsNear(shot, "#ff0000", 60); },
        5000, &red);
    EXPECT_GE(red, 5000) << shot.toStdString();
    EXPECT_EQ(lirra_->quit(), 0);
}

TEST_F(EmbeddedJourney, ABrokenFileIsLookedUpThenAlertsAndGoesHome) {
    QByteArray noise(300 * 1024, '\0');
    QRandomGenerator generator(20261206);
    for (auto& byte : noise) byte = static_cast<char>(generator.bounded(256));
    const QString broken = media_.path() + "/Broken Film.mkv";
    ASSERT_TRUE(writeFile(broken, noise));
    launch({broken});

    ASSERT_TRUE(lirra_->waitForLog("Done analyzing video: found 0 subtitles to download", 60s))
        << log();
    ASSERT_TRUE(lirra_->waitForLog("Alert: Couldn't open video |", 30s)) << log();
    ASSERT_TRUE(lirra_->waitForLog(kRefreshLevel, 10s)) << log();
    EXPECT_EQ(lirra_->countInLog("Alert:"), 1) << log();
    EXPECT_EQ(storedVideo(port_, "Broken Film.mkv").value("movieHash").toString().toStdString(),
              hashTextOf(broken));
    int home = 0;
    const QString shot = shotShowing("embedded-4-broken-home", homePixels, 20000, &home);
    EXPECT_GE(home, 20000) << shot.toStdString();
    EXPECT_EQ(lirra_->quit(), 0);
}

TEST_F(EmbeddedJourney, AServiceThatCannotBeReachedAlertsAndGoesHome) {
    const QString clip = makeClip(media_.path(), "Lonely.mkv", 3);
    ASSERT_FALSE(clip.isEmpty());
    QTcpServer reserve;  // a port nobody listens on once it is closed
    ASSERT_TRUE(reserve.listen(QHostAddress::LocalHost));
    const QString closed = QStringLiteral("http://127.0.0.1:%1/").arg(reserve.serverPort());
    reserve.close();

    lirra_ = std::make_unique<LirraProcess>(QStringList{"--verbose", "--base-url", closed, clip});
    ASSERT_TRUE(lirra_->started());
    ASSERT_TRUE(
        lirra_->waitForLog("Alert: Something went wrong. | We couldn't find subtitles", 60s))
        << log();
    // Home again: the home page is asked for once more (and cannot come either).
    const int homeLoads = lirra_->countInLog("Page did not load: " + closed + "Player/Home");
    EXPECT_TRUE(
        lirra_->waitForLog("Page did not load: " + closed + "Player/Home", 20s, homeLoads + 1))
        << log();
    EXPECT_FALSE(lirra_->log().contains(kPlayerPageLoaded)) << log();
    // The loader says so, rather than the engine's blank white error page.
    int loaderGrey = 0;
    const QString shot = shotShowing(
        "embedded-5-unreachable", [](const QString& s) { return pixelsNear(s, "#f4f4f4", 4); },
        50000, &loaderGrey);
    EXPECT_GE(loaderGrey, 50000) << shot.toStdString();
    EXPECT_TRUE(lirra_->isRunning());
    EXPECT_EQ(lirra_->quit(), 0);
}

TEST_F(EmbeddedJourney, ASecondVideoOpenedDuringTheFirstTakesItsPlace) {
    const QString first = makeClip(media_.path(), "First.mkv", 30);
    const QString second = makeClip(media_.path(), "Second.mkv", 5);
    ASSERT_FALSE(first.isEmpty());
    ASSERT_FALSE(second.isEmpty());
    ASSERT_TRUE(writeFile(media_.path() + "/Second.en.srt", kEnglish));
    launch({first});
    ASSERT_TRUE(lirra_->waitForLog(kTimeUpdate, 60s, 3)) << log();

    EXPECT_EQ(lirra_->launchAgain({second}), 0);
    ASSERT_TRUE(lirra_->waitForLog("Done analyzing video: found 1 subtitles to download", 30s))
        << log();
    ASSERT_TRUE(lirra_->waitForLog("Successfully uploaded all downloaded subtitles", 20s)) << log();
    const QJsonObject video = storedVideo(port_, "Second.mkv");
    ASSERT_TRUE(lirra_->waitForLog(playerPageLoaded(video.value("videoId").toInteger()), 30s))
        << log();
    EXPECT_EQ(heldTracks(port_, "Second.mkv", 1), QStringList{"eng:3:Hello there, walker."});
    ASSERT_TRUE(waitForReplyTo("FileName", 20s)) << log();
    ASSERT_TRUE(lirra_->waitForLog("Video ended at", 30s)) << log();
    // The second video is the one that played to its end.
    EXPECT_EQ(lastReplyTo("FileName"), "'Second.mkv'");
    const QRegularExpressionMatch ended =
        QRegularExpression("Video ended at -?\\d+ of (\\d+) ms").match(lirra_->log());
    EXPECT_NEAR(ended.captured(1).toDouble(), 5000, 300) << log();
    EXPECT_EQ(lirra_->countInLog("Video ended at"), 1);
    EXPECT_FALSE(lirra_->log().contains("Alert:")) << log();
    EXPECT_EQ(lirra_->quit(), 0);
}

}  // namespace
}  // namespace lirra::test
