// The remote hash against real servers on loopback: cpp-httplib for proper range answers, a raw
// TCP server for what only a real HTTP stack shows (ranges ignored, a body cut short).
#include <gtest/gtest.h>

#include <mutex>
#include <random>
#include <thread>

#include "ReferenceHash.h"
#include "hash/OSHashAlgorithm.h"
#include "platform/qt/network/QtHttpClient.h"
#include "support/LoopbackHttpServer.h"
#include "support/RawLoopbackServer.h"
#include "support/qt/QtTestLoop.h"

namespace lirra {
namespace {

using namespace std::chrono_literals;

class RemoteHashTest : public ::testing::Test {
  protected:
    void SetUp() override {
        center_.addObserver(kHashComputedNotification, nullptr, [this](const Notification& n) {
            posts_.push_back(std::any_cast<VideoHash>(n.userInfo.at(kHashUserInfoKey)));
        });
    }
    // The single result, posted after the call has returned.
    VideoHash hashOf(const std::string& url) {
        posts_.clear();
        algorithm_.computeHashForURL(QString::fromStdString(url));
        EXPECT_TRUE(posts_.empty()) << "posted inside computeHashForURL";
        EXPECT_TRUE(test::runEventLoopUntil([&] { return !posts_.empty(); }, 30s));
        test::runEventLoopFor(100ms);
        EXPECT_EQ(posts_.size(), 1u);
        return posts_.empty() ? VideoHash{1, 1} : posts_.front();
    }

    bool applicationReady_ = (test::ensureCoreApplication(), true);
    NotificationCenter center_;
    QtHttpClient client_;
    OSHashAlgorithm algorithm_{center_, client_};
    std::vector<VideoHash> posts_;
};

TEST_F(RemoteHashTest, HeadThenTwoRangesOneAfterTheOther) {
    std::mt19937_64 random(3);
    std::string content((3 << 20) + 17, '\0');
    for (char& byte : content) byte = static_cast<char>(random());
    std::mutex mutex;
    std::vector<std::string> events;  // each answer takes a while: overlaps would show
    test::LoopbackHttpServer server;
    server.server().Get("/video.mkv", [&](const httplib::Request& req, httplib::Response& res) {
        const auto log = [&](const char* what) {
            std::lock_guard lock(mutex);
            events.push_back(what + req.method);
        };
        log("begin ");
        std::this_thread::sleep_for(30ms);
        res.set_content(content, "video/x-matroska");
        log("end ");
    });
    ASSERT_TRUE(server.start());
    const VideoHash hash = hashOf(server.url("/video.mkv"));
    EXPECT_EQ(OSHashAlgorithm::stringForHash(hash.fileHash), test::referenceHashText(content));
    EXPECT_EQ(hash.fileSize, content.size());
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[2].header("Range"), "bytes=3080209-3145744");
    EXPECT_EQ(requests[2].header("Accept-Encoding"), "identity");
    std::lock_guard lock(mutex);
    EXPECT_EQ(events, (std::vector<std::string>{"begin HEAD", "end HEAD", "begin GET", "end GET",
                                                "begin GET", "end GET"}));
}

// Each server announces 200000 bytes on HEAD and answers every other request as the row says.
TEST_F(RemoteHashTest, ServersThatCannotServeTheBlocksGiveTheZeroResult) {
    const std::string large(16 << 20, 'v');
    const struct {
        const char* what;
        std::string answer;
        std::size_t requests;  // the HTTP stack may resend one whose connection closed early
    } rows[] = {
        {"ranges ignored", "HTTP/1.1 200 OK\r\nContent-Length: 16777216\r\n\r\n" + large, 2},
        {"closes early", "HTTP/1.1 206 Partial Content\r\nContent-Length: 65536\r\n\r\nshort", 2},
        {"an error page",
         "HTTP/1.1 404 Not Found\r\nContent-Length: 65536\r\n\r\n" + std::string(65536, 'e'), 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        test::RawLoopbackServer server([&row](test::RawConnection& connection) {
            connection.send(connection.method() == "HEAD"
                                ? "HTTP/1.1 200 OK\r\nContent-Length: 200000\r\n\r\n"
                                : row.answer);
        });
        ASSERT_TRUE(server.start());
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(hashOf(server.url("/v.mp4")).isZero());
        EXPECT_GE(server.requestCount(), row.requests);
        EXPECT_LE(server.requestCount(), row.requests + 1);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);  // not the time-out
    }
    test::LoopbackHttpServer gone;
    ASSERT_TRUE(gone.start());
    const std::string unreachable = gone.url("/v.mp4");
    gone.stop();
    for (const std::string& text : {std::string("not a url"), unreachable})
        EXPECT_TRUE(hashOf(text).isZero()) << text;
}

}  // namespace
}  // namespace lirra
