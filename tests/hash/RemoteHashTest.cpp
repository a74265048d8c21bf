// The remote hash against real servers on loopback: cpp-httplib for proper range answers, a raw
// TCP server for servers that ignore ranges, answer short, close early or announce no length.
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
using test::RawConnection;
using test::RawLoopbackServer;

std::string randomContent(std::size_t size) {
    std::mt19937_64 random(std::random_device{}());
    std::string content(size, '\0');
    for (char& byte : content) byte = static_cast<char>(random());
    return content;
}

class RemoteHashTest : public ::testing::Test {
  protected:
    void SetUp() override {
        center_.addObserver(kHashComputedNotification, nullptr, [this](const Notification& n) {
            posts_.push_back(std::any_cast<VideoHash>(n.userInfo.at(kHashUserInfoKey)));
        });
    }

    // Starts the computation, checks that nothing is posted inside the call, and returns the
    // single result posted afterwards.
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
    const std::size_t size = (3 << 20) + 17;
    const std::string content = randomContent(size);
    std::mutex mutex;
    std::vector<std::string> events;  // each answer takes a while: overlaps would show
    test::LoopbackHttpServer server;
    server.server().Get("/video.mkv", [&](const httplib::Request& req, httplib::Response& res) {
        auto log = [&](const char* what) {
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
    EXPECT_EQ(hash.fileSize, size);

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].method, "HEAD");
    EXPECT_EQ(requests[1].header("Range"), "bytes=0-65535");
    EXPECT_EQ(requests[2].header("Range"),
              "bytes=" + std::to_string(size - 65536) + "-" + std::to_string(size - 1));
    EXPECT_EQ(requests[2].header("Accept-Encoding"), "identity");
    std::lock_guard lock(mutex);
    EXPECT_EQ(events, (std::vector<std::string>{"begin HEAD", "end HEAD", "begin GET", "end GET",
                                                "begin GET", "end GET"}));
}

// Each server announces `size` bytes on HEAD (none when 0) and answers the n-th request after
// it with `answer`; a video of exactly one block served whole is the same bytes either way.
TEST_F(RemoteHashTest, ServersThatCannotServeTheBlocksGiveTheZeroResult) {
    const std::string block = randomContent(65536);
    const std::string partial = "HTTP/1.1 206 Partial Content\r\nConnection: close\r\n";
    const auto whole = [](const std::string& body) {
        return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
               "\r\nConnection: close\r\n\r\n" + body;
    };
    const struct {
        const char* what;
        std::size_t size;
        std::function<std::string(int)> answer;
        std::size_t requests;  // the HTTP stack may resend one whose connection closed early
        bool hashed = false;
    } cases[] = {
        {"too short", 65535, {}, 1},
        {"no length", 0, {}, 1},
        {"ranges ignored, large", 16 << 20, [&](int) { return whole(std::string(16 << 20, 'v')); },
         2},
        {"ranges ignored, one block", 65536, [&](int) { return whole(block); }, 3, true},
        {"closes early", 200000,
         [&](int) { return partial + "Content-Length: 65536\r\n\r\n" + std::string(1000, 'a'); },
         2},
        {"second range short", 200000,
         [&](int n) {
             const std::size_t length = n == 0 ? 65536 : 65535;
             return partial + "Content-Length: " + std::to_string(length) + "\r\n\r\n" +
                    std::string(length, 'a');
         },
         3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto count = std::make_shared<std::atomic<int>>(0);
        RawLoopbackServer server([&c, count](RawConnection& connection) {
            if (connection.method() != "HEAD") {
                connection.send(c.answer((*count)++));
            } else if (c.size == 0) {
                connection.send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n");
            } else {
                connection.send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(c.size) +
                                "\r\nConnection: close\r\n\r\n");
            }
        });
        ASSERT_TRUE(server.start());
        const VideoHash hash = hashOf(server.url("/v.mp4"));
        if (c.hashed) {
            EXPECT_EQ(OSHashAlgorithm::stringForHash(hash.fileHash),
                      test::referenceHashText(block));
        } else {
            EXPECT_TRUE(hash.isZero());
        }
        EXPECT_GE(server.requestCount(), c.requests);
        EXPECT_LE(server.requestCount(), c.requests + 1);
    }

    // An error page, however large, is not a video.
    test::LoopbackHttpServer missing;
    missing.server().Get("/missing", [](const httplib::Request&, httplib::Response& res) {
        res.status = 404;
        res.set_content(std::string(200000, 'e'), "application/octet-stream");
    });
    ASSERT_TRUE(missing.start());
    EXPECT_TRUE(hashOf(missing.url("/missing")).isZero());
    EXPECT_EQ(missing.requestCount(), 1u);
    const std::string unreachable = missing.url("/v.mp4");
    missing.stop();
    for (const std::string& text : {std::string("not a url"), unreachable}) {
        EXPECT_TRUE(hashOf(text).isZero()) << text;
    }
}

}  // namespace
}  // namespace lirra
