#include <gtest/gtest.h>

#include "service/LookupProtocol.h"
#include "service/SubtitleLookup.h"

namespace lirra {
namespace {

// Bodies and headers as they arrive are checked on loopback (SubtitleServiceTest); here the
// extremes and what the wire does not show.
TEST(LookupRequest, BodyAtTheExtremesAndTheRequestAroundIt) {
    const QByteArray body = lookupFormBody(18446744073709551615ULL, QStringLiteral("0"),
                                           QStringLiteral("a&b=c"), QString());
    EXPECT_EQ(body,
              "fileSize=18446744073709551615&movieHash=0&fileName=a%26b%3Dc"
              "&targetLanguageCode=eng&nativeLanguageCode=");
    const UrlRequest request = makeLookupRequest(QStringLiteral("http://127.0.0.1:9/"), body);
    EXPECT_EQ(request.url.toString(), "http://127.0.0.1:9/Player/GetSubtitlesToDownload");
}

TEST(LookupAnswer, VideoIdIsAWhole32BitNumberOrZero) {
    const std::pair<const char*, std::int64_t> cases[] = {
        {R"({"videoId":-2147483648})", -2147483648LL},
        {R"({"videoId":2147483648})", 0},
        {R"({"videoId":42.5})", 0},
        {R"({"videoId":"42"})", 0},
        {R"({"videoId":42)", 0},
        {"[42]", 0},
    };
    for (const auto& [body, videoId] : cases) {
        const LookupAnswer answer = readLookupAnswer(body);
        EXPECT_EQ(answer.videoId, videoId) << body;
        EXPECT_TRUE(answer.subsToDownload.empty()) << body;
    }
}

TEST(LookupAnswer, AcceptsWellFormedEntriesInOrderAndSkipsTheRest) {
    const LookupAnswer answer = readLookupAnswer(R"({
        "videoId": 42, "other": {"x": 1},
        "subsToDownload": [
            {"downloadUrl": "http://h/1", "mustBeDownloaded": true, "subFileName": "one.srt",
             "subtitleId": 11, "extra": null},
            {"downloadUrl": "http://h/x", "mustBeDownloaded": false, "subFileName": "f.srt",
             "subtitleId": 12},
            {"downloadUrl": "http://h/x", "subFileName": "absent.srt", "subtitleId": 13},
            {"downloadUrl": "", "mustBeDownloaded": true, "subFileName": "e.srt", "subtitleId": 14},
            {"downloadUrl": "http://h/x", "mustBeDownloaded": "true", "subFileName": "b.srt",
             "subtitleId": 19},
            {"downloadUrl": "http://h/x", "mustBeDownloaded": true, "subFileName": null,
             "subtitleId": 20},
            {"downloadUrl": "http://h/x", "mustBeDownloaded": true, "subFileName": "s.srt",
             "subtitleId": 4294967296},
            null, 7,
            {"downloadUrl": "http://h/2", "mustBeDownloaded": true, "subFileName": "",
             "subtitleId": -1}
        ]})");
    EXPECT_EQ(answer.videoId, 42);
    ASSERT_EQ(answer.subsToDownload.size(), 2u);
    EXPECT_EQ(answer.subsToDownload[0].downloadUrl, "http://h/1");
    EXPECT_EQ(answer.subsToDownload[0].subFileName, "one.srt");
    EXPECT_EQ(answer.subsToDownload[0].subtitleId, 11u);
    EXPECT_EQ(answer.subsToDownload[1].downloadUrl, "http://h/2");
    EXPECT_EQ(answer.subsToDownload[1].subtitleId, 4294967295u);  // a 32-bit -1, kept unsigned
}

TEST(VideoFileName, IsTheLastPathComponent) {
    for (const auto& [path, name] : std::vector<std::pair<const char*, const char*>>{
             {"relative.avi", "relative.avi"}, {"/home/me/dir///", "dir"}, {"/", "/"}, {"", ""}}) {
        EXPECT_EQ(lastPathComponent(QString::fromLatin1(path)), QString::fromLatin1(name)) << path;
    }
}

}  // namespace
}  // namespace lirra
