// SPDX-License-Identifier: GPL-3.0-or-later
// What the client writes to the service and reads from it, without a network: the form
// encoding, the lookup request and answer, the multipart body of the upload.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QUrl>
#include <random>
#include <set>

#include "platform/Log.h"
#include "service/FormEncoding.h"
#include "service/LSubtitlesToDownload.h"
#include "service/LSubtitlesToUpload.h"
#include "service/LookupProtocol.h"
#include "service/Multipart.h"
#include "service/ServiceEnvironment.h"
#include "service/SubtitleLookup.h"
#include "support/qt/QtPrinters.h"

namespace lirra {
namespace {

// Whatever the text, a form decoder gets it back, and nothing it reads as a separator survives.
TEST(FormEncoding, EncodesAsBrowsersSubmitFormsAndDecodesBack) {
    EXPECT_EQ(formUrlEncode("a+b&c=d%e/f?g#h;i é"), "a%2Bb%26c%3Dd%25e%2Ff%3Fg%23h%3Bi+%C3%A9");
    EXPECT_EQ(formUrlEncode("keep*-._AZaz09~'!()"), "keep*-._AZaz09%7E%27%21%28%29");
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        QString text;
        for (int i = 0; i < 40; ++i) text.append(QChar(char16_t(random() % 128)));
        text.append(QString::fromUtf8("é€😀"));
        QByteArray encoded = formUrlEncode(text);
        EXPECT_FALSE(
            QString::fromLatin1(encoded).contains(QRegularExpression("[^A-Za-z0-9*._+%-]")))
            << encoded.constData();
        EXPECT_EQ(QUrl::fromPercentEncoding(encoded.replace('+', ' ')), text);
    }
}

TEST(LookupAnswer, AWhole32BitVideoIdAndTheWellFormedEntriesInOrder) {
    // "BODY=ID" each: a whole 32-bit number or none (0).
    for (const std::string row :
         {R"({"videoId":-2147483648}=-2147483648)", R"({"videoId":2147483647}=2147483647)",
          R"({"videoId":2147483648}=0)", R"({"videoId":42.5}=0)", R"({"videoId":"42"}=0)",
          R"({"videoId":42=0)", "[42]=0"}) {
        const auto at = row.rfind('=');
        EXPECT_EQ(readLookupAnswer(QByteArray::fromStdString(row.substr(0, at))).videoId,
                  std::stoll(row.substr(at + 1)))
            << row;
    }

    const auto entry = [](const char* url, const char* must, const char* name, const char* id) {
        return QByteArray(R"({"downloadUrl":)") + url + R"(,"mustBeDownloaded":)" + must +
               R"(,"subFileName":)" + name + R"(,"subtitleId":)" + id + "}";
    };
    const QByteArray entries[] = {
        entry(R"("http://h/1")", "true", R"("one.srt")", "11"),
        entry(R"("http://h/x")", "false", R"("f.srt")", "12"),
        entry(R"("http://h/x")", "null", R"("absent.srt")", "13"),
        entry(R"("")", "true", R"("e.srt")", "14"),
        entry("7", "true", R"("e.srt")", "14"),
        entry(R"("http://h/x")", R"("true")", R"("b.srt")", "19"),
        entry(R"("http://h/x")", "true", "null", "20"),
        entry(R"("http://h/x")", "true", R"("s.srt")", "4294967296"),
        entry(R"("http://h/x")", "true", R"("s.srt")", "1.5"),
        "null",
        entry(R"("http://h/2")", "true", R"("")", "-1"),
        entry(R"("http://h/3")", "true", R"("t.srt")", "4294967295"),
    };
    const LookupAnswer answer =
        readLookupAnswer(R"({"videoId":9,"other":{},"subsToDownload":[)" +
                         QByteArrayList(std::begin(entries), std::end(entries)).join(',') + "]}");
    QStringList read{QString::number(answer.videoId)};
    for (const LookupEntry& e : answer.subsToDownload)
        read << e.downloadUrl + " " + e.subFileName + " " + QString::number(e.subtitleId);
    EXPECT_EQ(read, (QStringList{"9", "http://h/1 one.srt 11", "http://h/2  4294967295",
                                 "http://h/3 t.srt 4294967295"}));  // a 32-bit -1, unsigned
    EXPECT_TRUE(readLookupAnswer(R"({"videoId":1,"subsToDownload":{}})").subsToDownload.empty());
}

// The body, its headers and the multipart upload as they arrive: SubtitleServiceTest.
TEST(LookupRequest, ALocalVideosNameIsItsLastPathComponentAndTheServiceHasTwoMinutes) {
    for (const auto& [path, name] : std::vector<std::pair<const char*, const char*>>{
             {"relative.avi", "relative.avi"}, {"/home/me/dir///", "dir"}, {"/", "/"}, {"", ""}})
        EXPECT_EQ(lastPathComponent(QString::fromLatin1(path)), QString::fromLatin1(name)) << path;
    EXPECT_EQ(makeLookupRequest("http://127.0.0.1:9/", "").timeoutSeconds, 120);  // it may search
}

// Fresh for every upload and drawn from the whole alphabet, so that no file can hold it.
TEST(MultipartBody, BoundariesAreSixtyFourCharactersOfTheAlphabetDrawnAnew) {
    const QByteArray alphabet("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
    std::set<QByteArray> seen;
    std::set<char> used;
    for (int i = 0; i < 500; ++i) {
        const QByteArray boundary = makeBoundary();
        ASSERT_EQ(boundary.size(), 64);
        for (const char c : boundary) ASSERT_TRUE(alphabet.contains(c)) << boundary.constData();
        used.insert(boundary.begin(), boundary.end());
        seen.insert(boundary);
    }
    EXPECT_EQ(seen.size(), 500u);
    EXPECT_EQ(used.size(), 62u);
}

// With no HTTP client every download fails at once and the upload cannot be sent: the video
// still launches, once, and the queues are empty after it. With no center either, the log says
// that nothing could be told.
TEST(SubtitleQueues, WithoutAClientTheVideoStillLaunchesAndWithoutACenterTheLogSaysSo) {
    std::vector<std::string> log;
    const LogSink previous = setLogSink([&log](const std::string& line) { log.push_back(line); });
    NotificationCenter center;
    int launches = 0;
    center.addObserver(kLaunchVideoNotification, nullptr, [&](const auto&) { ++launches; });
    installServiceEnvironment({nullptr, &center, "http://127.0.0.1:9/"});
    LSubtitlesToDownload::addSubToDownload(
        std::make_shared<LSubtitlesToDownload>("a.srt", 1, "http://127.0.0.1:9/a.srt"));
    LSubtitlesToDownload::downloadAllSubsAndPlay();
    EXPECT_EQ(launches, 1);
    EXPECT_TRUE(LSubtitlesToDownload::downloadQueue().empty() &&
                LSubtitlesToUpload::uploadQueue().empty() &&
                !LSubtitlesToUpload::uploadProcessed());
    installServiceEnvironment({});
    LSubtitlesToDownload::downloadAllSubsAndPlay();
    setLogSink(previous);
    EXPECT_EQ(log, (std::vector<std::string>{
                       "Done analyzing video: found 1 subtitles to download",
                       "Finished downloading subtitles at http://127.0.0.1:9/a.srt - Remaining: 0 "
                       "subs",
                       "Met an error uploading subtitles: no HTTP client installed",
                       "Failed to upload downloaded subtitles",
                       "Done analyzing video: found 0 subtitles to download",
                       "LaunchVideo not posted: no notification center installed"}));
}

}  // namespace
}  // namespace lirra
