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

std::string rangeHeader(std::uint64_t first, std::uint64_t last) {
    return "bytes=" + std::to_string(first) + "-" + std::to_string(last);
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

// A video served by cpp-httplib, which honours "Range". Each answer takes a little while so
// that overlapping requests would show in the log.
class RangeServer {
  public:
    explicit RangeServer(std::string content) : content_(std::move(content)) {
        server_.server().Get("/video.mkv",
                             [this](const httplib::Request& req, httplib::Response& res) {
                                 log("begin " + req.method);
                                 std::this_thread::sleep_for(30ms);
                                 res.set_content(content_, "video/x-matroska");
                                 log("end " + req.method);
                             });
    }
    bool start() { return server_.start(); }
    std::string url() const { return server_.url("/video.mkv"); }
    std::vector<test::RecordedRequest> requests() const { return server_.requests(); }
    std::vector<std::string> events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }

  private:
    void log(const std::string& event) {
        std::lock_guard lock(mutex_);
        events_.push_back(event);
    }

    std::string content_;
    test::LoopbackHttpServer server_;
    mutable std::mutex mutex_;
    std::vector<std::string> events_;
};

TEST_F(RemoteHashTest, HeadThenTwoRangesOneAfterTheOther) {
    for (std::size_t size : {std::size_t{65536}, std::size_t{3 << 20} + 17}) {
        const std::string content = randomContent(size);
        RangeServer server(content);
        ASSERT_TRUE(server.start());
        const VideoHash hash = hashOf(server.url());
        EXPECT_EQ(OSHashAlgorithm::stringForHash(hash.fileHash), test::referenceHashText(content));
        EXPECT_EQ(hash.fileSize, size);

        const auto requests = server.requests();
        ASSERT_EQ(requests.size(), 3u);
        EXPECT_EQ(requests[0].method, "HEAD");
        EXPECT_EQ(requests[1].header("Range"), rangeHeader(0, 65535));
        EXPECT_EQ(requests[2].header("Range"), rangeHeader(size - 65536, size - 1));
        EXPECT_EQ(requests[2].header("Accept-Encoding"), "identity");
        EXPECT_EQ(server.events(), (std::vector<std::string>{"begin HEAD", "end HEAD", "begin GET",
                                                             "end GET", "begin GET", "end GET"}));
    }
}

TEST_F(RemoteHashTest, AHeadThatRulesOutAHashEndsIt) {
    // Too short a video.
    RangeServer tooShort(randomContent(65535));
    ASSERT_TRUE(tooShort.start());
    EXPECT_TRUE(hashOf(tooShort.url()).isZero());
    ASSERT_EQ(tooShort.requests().size(), 1u);
    EXPECT_EQ(tooShort.requests()[0].method, "HEAD");

    // An error page, however large, is not a video.
    test::LoopbackHttpServer missing;
    missing.server().Get("/missing", [](const httplib::Request&, httplib::Response& res) {
        res.status = 404;
        res.set_content(std::string(200000, 'e'), "application/octet-stream");
    });
    ASSERT_TRUE(missing.start());
    EXPECT_TRUE(hashOf(missing.url("/missing")).isZero());
    EXPECT_EQ(missing.requestCount(), 1u);

    // No length announced.
    RawLoopbackServer noLength([](RawConnection& connection) {
        connection.send("HTTP/1.1 200 OK\r\nContent-Type: video/mp4\r\nConnection: close\r\n\r\n");
    });
    ASSERT_TRUE(noLength.start());
    EXPECT_TRUE(hashOf(noLength.url("/v.mp4")).isZero());
    EXPECT_EQ(noLength.requestCount(), 1u);
}

// Answers every request with the whole video and status 200, as a server that knows no ranges.
// `wholeBodiesSent` counts the bodies that went out in full.
RawLoopbackServer::Handler ignoringRanges(
    std::string content,
    std::shared_ptr<std::atomic<int>> wholeBodiesSent = std::make_shared<std::atomic<int>>()) {
    return [content, wholeBodiesSent](RawConnection& connection) {
        connection.send("HTTP/1.1 200 OK\r\nContent-Type: video/mp4\r\nContent-Length: " +
                        std::to_string(content.size()) + "\r\nConnection: close\r\n\r\n");
        if (connection.method() != "HEAD" && connection.send(content)) ++*wholeBodiesSent;
    };
}

TEST_F(RemoteHashTest, ServerIgnoringRanges) {
    // The whole video is more than a block: refused. (On loopback the toolkit's network thread
    // may read far ahead of the cut, so how much was sent is not a fact the test can hold.)
    RawLoopbackServer large(ignoringRanges(std::string(16 << 20, 'v')));
    ASSERT_TRUE(large.start());
    EXPECT_TRUE(hashOf(large.url("/v.mp4")).isZero());
    // HEAD and the first range; the toolkit may resend a request whose connection we cut.
    EXPECT_GE(large.requestCount(), 2u);
    EXPECT_LE(large.requestCount(), 3u);
    large.stop();

    // A video of exactly one block is the same bytes either way.
    const std::string content = randomContent(65536);
    RawLoopbackServer exact(ignoringRanges(content));
    ASSERT_TRUE(exact.start());
    const VideoHash hash = hashOf(exact.url("/v.mp4"));
    EXPECT_EQ(OSHashAlgorithm::stringForHash(hash.fileHash), test::referenceHashText(content));
    EXPECT_EQ(exact.requestCount(), 3u);
}

// Announces `size` bytes on HEAD; range answers come from `answer`.
RawLoopbackServer::Handler rangedBadly(std::size_t size,
                                       std::function<void(RawConnection&, int)> answer) {
    auto count = std::make_shared<std::atomic<int>>(0);
    return [=](RawConnection& connection) {
        if (connection.method() == "HEAD") {
            connection.send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(size) +
                            "\r\nConnection: close\r\n\r\n");
            return;
        }
        answer(connection, (*count)++);
    };
}

TEST_F(RemoteHashTest, ShortOrBrokenRangeAnswersGiveTheZeroResult) {
    const std::string partial = "HTTP/1.1 206 Partial Content\r\nConnection: close\r\n";
    struct Case {
        const char* what;
        std::function<void(RawConnection&, int)> answer;
        std::size_t requests;
    } cases[] = {
        {"closes early",
         [&](RawConnection& c, int) {
             c.send(partial + "Content-Length: 65536\r\n\r\n" + std::string(1000, 'a'));
         },
         2},
        {"second range short",
         [&](RawConnection& c, int index) {
             const std::size_t length = index == 0 ? 65536 : 65535;
             c.send(partial + "Content-Length: " + std::to_string(length) + "\r\n\r\n" +
                    std::string(length, 'a'));
         },
         3},
    };
    for (const auto& c : cases) {
        RawLoopbackServer server(rangedBadly(200000, c.answer));
        ASSERT_TRUE(server.start());
        EXPECT_TRUE(hashOf(server.url("/v.mp4")).isZero()) << c.what;
        // The HTTP stack may resend a request once when its connection closes unexpectedly.
        EXPECT_GE(server.requestCount(), c.requests) << c.what;
        EXPECT_LE(server.requestCount(), c.requests + 1) << c.what;
    }
}

TEST_F(RemoteHashTest, UnusableUrlsGiveTheZeroResultLater) {
    RawLoopbackServer closed([](RawConnection&) {});
    ASSERT_TRUE(closed.start());
    const std::string unreachable = closed.url("/v.mp4");
    closed.stop();
    for (const std::string& text :
         {std::string("not a url"), std::string("http://exa mple.com/"), unreachable}) {
        EXPECT_TRUE(hashOf(text).isZero()) << text;
    }
}

}  // namespace
}  // namespace lirra
