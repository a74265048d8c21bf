// A journey of the real app with a video that has no subtitles of its own, the embedded service
// pointed at a fake of the online subtitle database on loopback with the learner's key: the
// lookup asks the database once, names both files' links, the app fetches and uploads them, and
// the English line and the learner's line appear over the picture.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <thread>

#include "LirraProcess.h"
#include "hash/OSHashAlgorithm.h"
#include "server/online/FakeApi.h"

namespace lirra::test {
namespace {

using namespace std::chrono_literals;

constexpr char kEnglish[] = "1\r\n00:00:00,500 --> 00:00:25,000\r\nHello from the database.\r\n";
constexpr char kSpanish[] = "1\r\n00:00:00,500 --> 00:00:25,000\r\nHola desde la base.\r\n";

// The hash the database knows the file by: 16 lower-case hex digits, leading zeros kept.
std::string databaseHash(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray begin = file.read(65536);
    file.seek(file.size() - 65536);
    const QByteArray end = file.read(65536);
    const auto hash = OSHashAlgorithm::hashWithFileSize(file.size(), begin, end);
    if (!hash) return {};
    char text[17];
    std::snprintf(text, sizeof text, "%016" PRIx64, static_cast<std::uint64_t>(hash->fileHash));
    return text;
}

// Serves `text` for the fake's link to file `id`.
void serveFile(FakeApi& fake, long id, const char* text) {
    fake.overrideEndpoint("/files/" + std::to_string(id) + ".srt",
                          [text](const httplib::Request&, httplib::Response& response) {
                              response.set_content(text, "application/x-subrip");
                              return true;
                          });
}

TEST(OnlineSubtitlesJourney, BothLinesFromTheDatabaseForAVideoWithNone) {
    QTemporaryDir media;
    const QString clip = makeClip(media.path(), "Quiet Film.mkv", 25);
    ASSERT_FALSE(clip.isEmpty());
    QFile keyFile(media.path() + "/opensubtitles.key");
    ASSERT_TRUE(keyFile.open(QIODevice::WriteOnly));

    FakeApi fake;
    keyFile.write(QByteArray::fromStdString(fake.key + "\n"));
    keyFile.close();
    fake.knownHash = databaseHash(clip);
    ASSERT_EQ(fake.knownHash.size(), 16u);
    // English, and for the learner's Spanish a hearing-impaired file the pick must pass over.
    fake.subtitles = {{101, "en"}, {201, "es"}, {202, "es", true, true, false, false, 900}};
    serveFile(fake, 101, kEnglish);
    serveFile(fake, 201, kSpanish);

    LirraProcess lirra({"--verbose", "--opensubtitles-url", QString::fromStdString(fake.root()),
                        "--opensubtitles-key-file", keyFile.fileName(), clip});
    ASSERT_TRUE(lirra.started());
    ASSERT_TRUE(lirra.waitForLog("Done analyzing video: found 2 subtitles to download", 90s))
        << lirra.log().toStdString();
    ASSERT_TRUE(lirra.waitForLog("Successfully uploaded all downloaded subtitles", 30s))
        << lirra.log().toStdString();
    const QString origin = QString::fromStdString(fake.origin());
    EXPECT_EQ(lirra.countInLog("Finished downloading subtitles at " + origin + "/files/101.srt"), 1)
        << lirra.log().toStdString();
    EXPECT_EQ(lirra.countInLog("Finished downloading subtitles at " + origin + "/files/201.srt"), 1)
        << lirra.log().toStdString();

    // Both lines over the picture: white for English, the pale yellow of the learner's line.
    QString shot;
    int yellow = 0, white = 0;
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    do {
        std::this_thread::sleep_for(500ms);
        shot = takeScreenshot("online-subtitles-playing");
        yellow = countPixelsNear(shot, 0xff, 0xe0, 0x7a, 25);
        white = countPixelsNear(shot, 255, 255, 255, 20);
    } while ((yellow < 30 || white < 150) && std::chrono::steady_clock::now() < deadline);
    EXPECT_GE(yellow, 30) << shot.toStdString();
    EXPECT_GE(white, 150) << shot.toStdString();
    EXPECT_GT(countPixelsNear(shot, 255, 0, 0), 5000) << shot.toStdString();

    // The database saw one search, by the hash in both languages, and one link asked per file;
    // the key went with every call to the API.
    const auto searches = fake.seen("/subtitles");
    ASSERT_EQ(searches.size(), 1u);
    EXPECT_NE(searches[0].query.find("moviehash=" + fake.knownHash), std::string::npos)
        << searches[0].query;
    EXPECT_NE(searches[0].query.find("languages=en,es&"), std::string::npos) << searches[0].query;
    const auto links = fake.seen("/download");
    ASSERT_EQ(links.size(), 2u);
    std::vector<std::string> bodies = {links[0].body, links[1].body};
    std::sort(bodies.begin(), bodies.end());
    EXPECT_NE(bodies[0].find("101"), std::string::npos) << bodies[0];
    EXPECT_NE(bodies[1].find("201"), std::string::npos) << bodies[1];
    for (const auto& call : fake.seen()) {
        if (call.path.rfind("/files/", 0) == 0) continue;
        EXPECT_EQ(call.apiKey, fake.key) << call.path;
        EXPECT_EQ(call.userAgent.rfind("Lirra v", 0), 0u) << call.userAgent;
    }
    EXPECT_EQ(fake.seen("/login").size(), 0u);
    // The key stays out of the log.
    EXPECT_FALSE(lirra.log().contains(QString::fromStdString(fake.key)));
    EXPECT_FALSE(lirra.log().contains("JavaScript error:")) << lirra.log().toStdString();
    EXPECT_EQ(lirra.quit(), 0);
    for (const auto& call : fake.seen()) {
        std::printf("fake saw: %s %s%s%s\n", call.method.c_str(), call.path.c_str(),
                    call.query.empty() ? "" : "?", call.query.c_str());
    }
}

}  // namespace
}  // namespace lirra::test
