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
    EXPECT_EQ(request.timeoutSeconds, 120);
    EXPECT_EQ(request.cachePolicy, 0);
}

TEST(LookupAnswer, VideoIdIsAWhole32BitNumberOrZero) {
    const std::pair<const char*, std::int64_t> cases[] = {
        {R"({"videoId":42})", 42},
        {R"({"videoId":-1})", -1},
        {R"({"videoId":2147483647})", 2147483647},
        {R"({"videoId":-2147483648})", -2147483648LL},
        {R"({"videoId":2147483648})", 0},
        {R"({"videoId":4294967295})", 0},
        {R"({"videoId":1e300})", 0},
        {R"({"videoId":42.5})", 0},
        {R"({"videoId":"42"})", 0},
        {R"({"videoId":null})", 0},
        {R"({"videoId":true})", 0},
        {R"({"videoId":[42]})", 0},
        {R"({"subsToDownload":[]})", 0},
        {"", 0},
        {"not json", 0},
        {R"({"videoId":42)", 0},
        {"[42]", 0},
        {"null", 0},
        {"42", 0},
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
            {"mustBeDownloaded": true, "subFileName": "nourl.srt", "subtitleId": 15},
            {"downloadUrl": null, "mustBeDownloaded": true, "subFileName": "n.srt", "subtitleId": 16},
            {"downloadUrl": 5, "mustBeDownloaded": true, "subFileName": "n.srt", "subtitleId": 17},
            {"downloadUrl": "http://h/x", "mustBeDownloaded": 1, "subFileName": "b.srt",
             "subtitleId": 18},
            {"downloadUrl": "http://h/x", "mustBeDownloaded": "true", "subFileName": "b.srt",
             "subtitleId": 19},
            {"downloadUrl": "http://h/x", "mustBeDownloaded": true, "subFileName": null,
             "subtitleId": 20},
            {"downloadUrl": "http://h/x", "mustBeDownloaded": true, "subFileName": "s.srt",
             "subtitleId": "21"},
            {"downloadUrl": "http://h/x", "mustBeDownloaded": true, "subFileName": "s.srt",
             "subtitleId": 22.5},
            {"downloadUrl": "http://h/x", "mustBeDownloaded": true, "subFileName": "s.srt",
             "subtitleId": 4294967296},
            {"downloadUrl": "http://h/x", "mustBeDownloaded": true, "subFileName": "s.srt"},
            null, 7, "text", [],
            {"downloadUrl": "http://h/2", "mustBeDownloaded": true, "subFileName": "",
             "subtitleId": 4294967295},
            {"downloadUrl": "http://h/3", "mustBeDownloaded": true, "subFileName": "three.srt",
             "subtitleId": -1}
        ]})");
    EXPECT_EQ(answer.videoId, 42);
    ASSERT_EQ(answer.subsToDownload.size(), 3u);
    EXPECT_EQ(answer.subsToDownload[0].downloadUrl, "http://h/1");
    EXPECT_EQ(answer.subsToDownload[0].subFileName, "one.srt");
    EXPECT_EQ(answer.subsToDownload[0].subtitleId, 11u);
    EXPECT_EQ(answer.subsToDownload[1].downloadUrl, "http://h/2");
    EXPECT_EQ(answer.subsToDownload[1].subFileName, "");
    EXPECT_EQ(answer.subsToDownload[1].subtitleId, 4294967295u);
    // A 32-bit read of -1, kept unsigned.
    EXPECT_EQ(answer.subsToDownload[2].subtitleId, 4294967295u);
}

TEST(LookupAnswer, SubsToDownloadOfAnotherTypeQueuesNothing) {
    for (const char* body : {R"({"videoId":3,"subsToDownload":{"downloadUrl":"http://h/1"}})",
                             R"({"videoId":3,"subsToDownload":null})",
                             R"({"videoId":3,"subsToDownload":"http://h/1"})"}) {
        const LookupAnswer answer = readLookupAnswer(body);
        EXPECT_EQ(answer.videoId, 3) << body;
        EXPECT_TRUE(answer.subsToDownload.empty()) << body;
    }
}

TEST(VideoFileName, IsTheLastPathComponent) {
    EXPECT_EQ(lastPathComponent(QStringLiteral("/home/me/videos/My Film.mkv")), "My Film.mkv");
    EXPECT_EQ(lastPathComponent(QStringLiteral("relative.avi")), "relative.avi");
    EXPECT_EQ(lastPathComponent(QStringLiteral("/home/me/dir/")), "dir");
    EXPECT_EQ(lastPathComponent(QStringLiteral("/home/me/dir///")), "dir");
    EXPECT_EQ(lastPathComponent(QStringLiteral("/")), "/");
    EXPECT_EQ(lastPathComponent(QString()), "");
}

}  // namespace
}  // namespace lirra
