// The subtitle service client against a real HTTP service on loopback: the real Qt HTTP client,
// a cpp-httplib service that records every request, and the Qt event loop.
#include <gtest/gtest.h>

#include <QString>
#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

// GCC 12 at -O2 sees a false "maybe uninitialized" in the optional copy of runModalOpenPanel.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "FakeApplication.h"
#pragma GCC diagnostic pop
#include "FakeMainThread.h"
#include "hash/VideoHash.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "platform/qt/network/QtHttpClient.h"
#include "service/LSubtitlesToDownload.h"
#include "service/LSubtitlesToUpload.h"
#include "service/ServiceEnvironment.h"
#include "service/SubtitleLookup.h"
#include "support/LoopbackHttpServer.h"
#include "support/RawLoopbackServer.h"
#include "support/qt/QtTestLoop.h"

namespace lirra {
namespace {

using namespace std::chrono_literals;
using test::runEventLoopFor;
using test::runEventLoopUntil;

class RecordingScreens : public Screens {
  public:
    void loadHomeScreen() override { ++homeScreens; }
    void loadPlayerScreen() override {}
    int homeScreens = 0;
};

struct SubFile {
    int status = 200;
    std::string body;
    std::chrono::milliseconds delay{0};
    std::string contentType = "text/plain";
};

// cpp-httplib compresses text answers; Qt 6.4 cuts a brotli body off at 4 MiB (and fails a
// larger one as "decompression failed"), so large answers go out as bytes it leaves alone.
constexpr char kUncompressed[] = "application/octet-stream";

// What the test service answers and saw; handlers run on the server's threads.
struct ServiceScript {
    std::mutex mutex;
    int lookupStatus = 200;
    std::string lookupBody = R"({"videoId":1})";
    std::string lookupContentType = "application/json";
    std::chrono::milliseconds lookupDelay{0};
    std::map<std::string, SubFile> subs;  // by path below /subs/
    int uploadStatus = 200;
    std::chrono::milliseconds uploadDelay{0};
    int lookups = 0;
    std::vector<std::string> uploadContentTypes;  // as sent
    std::atomic<int> arrivedSubs{0};
    std::atomic<int> arrivedUploads{0};
};

std::string closedPortUrl() {
    test::LoopbackHttpServer probe;
    EXPECT_TRUE(probe.start());
    const std::string url = probe.url("/");
    probe.stop();
    return url;
}

class SubtitleServiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::ensureCoreApplication();
        installRoutes();
        ASSERT_TRUE(server_.start());
        base_ = server_.url("/");
        config_.baseUrl = QString::fromStdString(base_);
        previousSink_ = setLogSink([this](const std::string& line) {
            std::lock_guard lock(logMutex_);
            logs_.push_back(line);
        });
        launchObserver_ = notifications_.addObserver("LaunchVideo", nullptr, [this](const auto&) {
            ++launches_;
            uploadsAtLaunch_.push_back(script_.arrivedUploads.load());
        });
        http_ = std::make_unique<QtHttpClient>();
        lookup_ = std::make_unique<SubtitleLookup>(state_, config_, *http_, application_, screens_,
                                                   defaults_, mainThread_, notifications_);
    }

    void TearDown() override {
        lookup_.reset();
        http_.reset();
        setLogSink(previousSink_);
        notifications_.removeObserver(launchObserver_);
        LSubtitlesToDownload::resetDownloader();
        LSubtitlesToUpload::resetUploader();
        server_.stop();
    }

    void installRoutes() {
        auto& s = server_.server();
        s.Post("/Player/GetSubtitlesToDownload", [this](const auto&, auto& res) {
            std::chrono::milliseconds delay;
            {
                std::lock_guard lock(script_.mutex);
                ++script_.lookups;
                res.status = script_.lookupStatus;
                res.set_content(script_.lookupBody, script_.lookupContentType);
                delay = script_.lookupDelay;
            }
            std::this_thread::sleep_for(delay);
        });
        s.Get(R"(/subs/(.+))", [this](const httplib::Request& req, httplib::Response& res) {
            ++script_.arrivedSubs;
            SubFile file{404, "", 0ms, "text/plain"};
            {
                std::lock_guard lock(script_.mutex);
                if (auto found = script_.subs.find(req.matches[1]); found != script_.subs.end())
                    file = found->second;
            }
            std::this_thread::sleep_for(file.delay);
            res.status = file.status;
            res.set_content(file.body, file.contentType);
        });
        // cpp-httplib parses a multipart body into parts and keeps no bytes of it; the upload's
        // type is swapped before the body is read so that it is recorded as it came.
        s.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response&) {
            if (req.path == "/Subtitles/UploadSubtitles") {
                auto& request = const_cast<httplib::Request&>(req);
                const auto type = request.headers.find("Content-Type");
                if (type != request.headers.end()) {
                    std::lock_guard lock(script_.mutex);
                    script_.uploadContentTypes.push_back(type->second);
                    type->second = kUncompressed;
                }
            }
            return httplib::Server::HandlerResponse::Unhandled;
        });
        s.Post("/Subtitles/UploadSubtitles", [this](const httplib::Request&, auto& res) {
            ++script_.arrivedUploads;
            std::chrono::milliseconds delay;
            {
                std::lock_guard lock(script_.mutex);
                res.status = script_.uploadStatus;
                delay = std::exchange(script_.uploadDelay, 0ms);  // only the first one is slow
            }
            std::this_thread::sleep_for(delay);
        });
    }

    void setLookupAnswer(int status, std::string body) {
        std::lock_guard lock(script_.mutex);
        script_.lookupStatus = status;
        script_.lookupBody = std::move(body);
    }
    void setSub(const std::string& name, SubFile file) {
        std::lock_guard lock(script_.mutex);
        script_.subs[name] = std::move(file);
    }
    void lookUp(const char* video, VideoHash hash = {0x8e245d9679d31e12ULL, 12909756}) {
        state_.videoLocation = VideoLocation::fromText(QString::fromUtf8(video));
        lookup_->onHashComputed(Notification{"HashComputed", nullptr, {{"hash", hash}}});
    }
    // Until the video launches or the alert has been shown.
    bool waitForOutcome() {
        return runEventLoopUntil([this] { return launches_ > 0 || !application_.alerts_.empty(); });
    }

    std::vector<test::RecordedRequest> requestsTo(const std::string& path) const {
        std::vector<test::RecordedRequest> found;
        for (auto& request : server_.requests())
            if (request.path == path) found.push_back(request);
        return found;
    }
    // The boundary of the index-th upload, from the type it was sent with.
    std::string uploadBoundary(std::size_t index) {
        std::lock_guard lock(script_.mutex);
        const std::string prefix = "multipart/form-data; boundary=";
        if (index >= script_.uploadContentTypes.size()) return "";
        const std::string& type = script_.uploadContentTypes[index];
        EXPECT_EQ(type.rfind(prefix, 0), 0u) << type;
        return type.substr(prefix.size());
    }
    std::vector<std::string> logs() {
        std::lock_guard lock(logMutex_);
        return logs_;
    }
    std::string entry(const std::string& sub, int id, const std::string& name,
                      const char* must = "true") const {
        return R"({"downloadUrl":")" + base_ + "subs/" + sub + R"(","mustBeDownloaded":)" + must +
               R"(,"subFileName":")" + name + R"(","subtitleId":)" + std::to_string(id) + "}";
    }
    void expectQueuesEmpty() {
        EXPECT_TRUE(LSubtitlesToDownload::downloadQueue().empty());
        EXPECT_EQ(LSubtitlesToDownload::remainingDownloads(), 0);
        EXPECT_TRUE(LSubtitlesToUpload::uploadQueue().empty());
        EXPECT_FALSE(LSubtitlesToUpload::uploadProcessed());
    }

    // Declared first so that it goes last: the client and the lookup stop before it.
    test::LoopbackHttpServer server_;
    ServiceScript script_;
    std::string base_;
    AppState state_;
    AppConfig config_;
    fakes::FakeApplication application_;
    RecordingScreens screens_;
    UserDefaults defaults_;
    fakes::FakeMainThread mainThread_;
    NotificationCenter notifications_;
    NotificationCenter::ObserverId launchObserver_ = 0;
    std::atomic<int> launches_{0};
    std::vector<int> uploadsAtLaunch_;
    std::mutex logMutex_;
    std::vector<std::string> logs_;
    LogSink previousSink_;
    std::unique_ptr<QtHttpClient> http_;
    std::unique_ptr<SubtitleLookup> lookup_;
};

// A local file's name: the end-to-end journeys. A remote video takes its name from the defaults,
// whatever its URL says, and without one the URL's own last component, decoded.
TEST_F(SubtitleServiceTest, LookupSendsTheFormBodyWithTheNameOfARemoteVideo) {
    const struct {
        const char *location, *fileNameDefault, *sentName;
    } cases[] = {
        {"http://media.example.org/watch?v=17", "Clip (2019) & more.mp4",
         "Clip+%282019%29+%26+more.mp4"},
        {"https://media.example.org/path/clip%20one+two.mp4?t=1", nullptr, "clip+one%2Btwo.mp4"},
    };
    state_.nativeLanguageCode = "fr";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.location);
        server_.clearRequests();
        launches_ = 0;
        defaults_ = UserDefaults();
        if (c.fileNameDefault) defaults_.setString("file-name", c.fileNameDefault);
        lookUp(c.location);
        ASSERT_TRUE(waitForOutcome());
        const auto lookups = requestsTo("/Player/GetSubtitlesToDownload");
        ASSERT_EQ(lookups.size(), 1u);
        const std::string body = std::string("fileSize=12909756&movieHash=8e245d9679d31e12") +
                                 "&fileName=" + c.sentName +
                                 "&targetLanguageCode=eng&nativeLanguageCode=fr";
        EXPECT_EQ(lookups[0].body, body);
        EXPECT_EQ(lookups[0].header("Content-type"), "application/x-www-form-urlencoded");
        EXPECT_EQ(lookups[0].header("Content-length"), std::to_string(body.size()));
    }
}

TEST_F(SubtitleServiceTest, HashFromAnotherThreadIsLookedUpOnTheMainThread) {
    mainThread_.current_ = false;
    std::thread worker([this] { lookUp("/v/a.mkv", {0x2a, 65536}); });
    worker.join();
    runEventLoopFor(50ms);
    EXPECT_EQ(server_.requestCount(), 0u);
    EXPECT_TRUE(state_.videoFileName.isEmpty());

    mainThread_.current_ = true;
    EXPECT_EQ(mainThread_.runAll(), 1);
    ASSERT_TRUE(waitForOutcome());
    EXPECT_EQ(state_.videoFileName, "a.mkv");
    ASSERT_EQ(requestsTo("/Player/GetSubtitlesToDownload").size(), 1u);
}

TEST_F(SubtitleServiceTest, DownloadsEveryAcceptedEntryAndUploadsWhatArrivedThenLaunches) {
    const std::string third = "Trois \\\"v\\\"\\r\\nx.srt";  // JSON for: Trois "v" CR LF x.srt
    setLookupAnswer(
        200, R"({"videoId":42,"subsToDownload":[)" + entry("first.srt", 101, "first.srt") + "," +
                 entry("missing.srt", 102, "missing.srt") + "," + entry("third.srt", 103, third) +
                 "," + entry("skipped.srt", 104, "skipped.srt", "false") + "]}");
    // The first answers last, so completion order differs from the answer's order.
    setSub("first.srt", {200, "1\r\n00:00:01,000 --> 00:00:02,000\r\nHello\r\n", 300ms});
    const std::string binary("caf\xc3\xa9\r\n--not a boundary\r\n\0end", 29);
    setSub("third.srt", {200, binary, 0ms});

    lookUp("/v/Movie.mkv");
    ASSERT_TRUE(waitForOutcome());
    runEventLoopFor(200ms);  // nothing else may follow

    EXPECT_EQ(launches_, 1);
    EXPECT_EQ(state_.videoId, 42);
    EXPECT_EQ(script_.arrivedSubs, 3);  // "skipped.srt" was not fetched
    const auto lines = logs();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "Done analyzing video: found 3 subtitles to download");
    EXPECT_EQ(lines[3],
              "Finished downloading subtitles at " + base_ + "subs/first.srt - Remaining: 0 subs");
    EXPECT_EQ(lines[4], "Successfully uploaded all downloaded subtitles");

    // The upload, byte for byte, with the parts in completion order; "LaunchVideo" came after
    // it had been answered.
    const auto uploads = requestsTo("/Subtitles/UploadSubtitles");
    ASSERT_EQ(uploads.size(), 1u);
    const std::string b = uploadBoundary(0);
    EXPECT_EQ(b.size(), 64u);
    const std::string expected =
        "--" + b +
        "\r\nContent-Disposition: form-data; name=\"103\"; "
        "filename=\"Trois %22v%22%0D%0Ax.srt\"\r\nContent-Type: text/plain\r\n\r\n" +
        binary + "\r\n--" + b +
        "\r\nContent-Disposition: form-data; name=\"101\"; filename=\"first.srt\"\r\n"
        "Content-Type: text/plain\r\n\r\n1\r\n00:00:01,000 --> 00:00:02,000\r\nHello\r\n"
        "\r\n--" +
        b + "--\r\n";
    EXPECT_EQ(uploads[0].body, expected);
    EXPECT_EQ(uploads[0].header("Content-Length"), std::to_string(expected.size()));
    EXPECT_EQ(uploadsAtLaunch_, std::vector<int>{1});
    expectQueuesEmpty();
}

TEST_F(SubtitleServiceTest, FailedDownloadsCountDownAndARefusedUploadStillLaunchesOnce) {
    // A body cut short after a 200: not a subtitle file.
    test::RawLoopbackServer truncating([](test::RawConnection& connection) {
        connection.send("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nonly a part");
    });
    ASSERT_TRUE(truncating.start());
    const std::string sub = R"(","mustBeDownloaded":true,"subFileName":"s.srt","subtitleId":)";
    std::string entries;
    int id = 0;
    for (const std::string& url :
         {std::string("not a url"), std::string("ftp://127.0.0.1/x.srt"), closedPortUrl() + "x.srt",
          truncating.url("/t.srt"), base_ + "subs/huge.srt", base_ + "subs/gone.srt"}) {
        if (id++ > 0) entries += ",";
        entries += R"({"downloadUrl":")" + url + sub + std::to_string(id) + "}";
    }
    setLookupAnswer(200, R"({"videoId":-5,"subsToDownload":[)" + entries + "]}");
    setSub("huge.srt", {200, std::string(21 * 1024 * 1024, 'x'), 0ms, kUncompressed});
    {
        std::lock_guard lock(script_.mutex);
        script_.uploadStatus = 500;
    }

    lookUp("/v/Movie.mkv");
    ASSERT_TRUE(waitForOutcome());
    runEventLoopFor(100ms);

    EXPECT_EQ(launches_, 1);
    EXPECT_EQ(state_.videoId, -5);
    const auto lines = logs();
    ASSERT_EQ(lines.size(), 8u);
    // The two that cannot start fail at once, before any exchange.
    EXPECT_EQ(lines[1], "Finished downloading subtitles at not a url - Remaining: 5 subs");
    for (int i = 2; i < 7; ++i)
        EXPECT_NE(lines[i].find("- Remaining: " + std::to_string(6 - i) + " subs"),
                  std::string::npos)
            << lines[i];
    EXPECT_EQ(lines[7], "Failed to upload downloaded subtitles");
    // Nothing arrived whole: the upload holds no part.
    const auto uploads = requestsTo("/Subtitles/UploadSubtitles");
    ASSERT_EQ(uploads.size(), 1u);
    const std::string b = uploadBoundary(0);
    EXPECT_EQ(uploads[0].body, "--" + b + "\r\n\r\n--" + b + "--\r\n");
    expectQueuesEmpty();
}

// A failed lookup alerts and goes home; an answer that is no lookup answer launches at once with
// video id 0 and nothing to download.
TEST_F(SubtitleServiceTest, LookupFailuresAlertAndOddAnswersLaunchWithVideoIdZero) {
    const std::string accepted =
        R"({"videoId":9,"subsToDownload":[)" + entry("a.srt", 1, "a.srt") + "]}";
    const struct {
        const char* what;
        int status;
        std::string body;
        bool launches;
        bool closedPort = false;
        std::string contentType = "application/json";
    } cases[] = {
        {"500 with a usable body", 500, accepted, false},
        {"404", 404, "", false},
        {"a body over the limit", 200,
         R"({"videoId":9,"pad":")" + std::string(21 * 1024 * 1024, ' ') + "\"}", false, false,
         kUncompressed},
        {"a closed port", 200, accepted, false, true},
        {"not JSON", 200, "<html>busy</html>", true},
        {"wrong types", 200, R"({"videoId":"12","subsToDownload":[null]})", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        application_.alerts_.clear();
        screens_.homeScreens = 0;
        launches_ = 0;
        state_.videoId = 77;
        setLookupAnswer(c.status, c.body);
        {
            std::lock_guard lock(script_.mutex);
            script_.lookupContentType = c.contentType;
        }
        config_.baseUrl = QString::fromStdString(c.closedPort ? closedPortUrl() : base_);

        lookUp("/v/Movie.mkv");
        ASSERT_TRUE(waitForOutcome());
        runEventLoopFor(50ms);
        EXPECT_EQ(launches_, c.launches ? 1 : 0);
        EXPECT_EQ(state_.videoId, c.launches ? 0 : 77);
        EXPECT_EQ(screens_.homeScreens, c.launches ? 0 : 1);
        if (c.launches) {
            EXPECT_TRUE(application_.alerts_.empty());
            continue;
        }
        ASSERT_EQ(application_.alerts_.size(), 1u);
        const AlertSpec& alert = application_.alerts_[0];
        EXPECT_EQ(alert.style, AlertStyle::kWarning);
        EXPECT_EQ(alert.messageText + " " + alert.informativeText,
                  "Something went wrong. We couldn't find subtitles for your video. Please try "
                  "again later!");
    }
    EXPECT_EQ(script_.arrivedSubs, 0);
    EXPECT_TRUE(requestsTo("/Subtitles/UploadSubtitles").empty());
    for (const auto& line : logs()) {  // no failure of the lookup is logged
        EXPECT_EQ(line, "Done analyzing video: found 0 subtitles to download");
    }
}

// A second video while the first one's lookup, downloads or upload are still under way: what
// comes late for the first reaches neither the second's upload nor its launch.
TEST_F(SubtitleServiceTest, TheFirstVideosLateAnswersAreIgnored) {
    enum Late { kDownloads, kUpload, kLookup };
    for (const Late late : {kDownloads, kUpload, kLookup}) {
        SCOPED_TRACE(late);
        launches_ = 0;
        server_.clearRequests();
        setLookupAnswer(
            200, R"({"videoId":1,"subsToDownload":[)" + entry("slow.srt", 11, "slow.srt") + "]}");
        setSub("slow.srt", {200, "first video", late == kDownloads ? 400ms : 0ms});
        {
            std::lock_guard lock(script_.mutex);
            script_.uploadDelay = late == kUpload ? 400ms : 0ms;
            script_.lookupDelay = late == kLookup ? 400ms : 0ms;
        }
        // Counted where the request arrives, not where it has been answered.
        const int subs = script_.arrivedSubs, uploads = script_.arrivedUploads;
        const int lookups = script_.lookups;
        lookUp("/v/First.mkv");
        ASSERT_TRUE(runEventLoopUntil([&] {
            std::lock_guard lock(script_.mutex);
            return late == kDownloads ? script_.arrivedSubs > subs
                   : late == kUpload  ? script_.arrivedUploads > uploads
                                      : script_.lookups > lookups;
        }));

        {
            std::lock_guard lock(script_.mutex);
            script_.lookupDelay = 0ms;
        }
        setLookupAnswer(
            200, R"({"videoId":2,"subsToDownload":[)" + entry("fast.srt", 21, "fast.srt") + "]}");
        setSub("fast.srt", {200, "second video", 0ms});
        lookUp("/v/Second.mkv");
        ASSERT_TRUE(waitForOutcome());
        runEventLoopFor(700ms);  // the first video's answers arrive meanwhile

        EXPECT_EQ(launches_, 1);
        EXPECT_EQ(state_.videoId, 2);
        EXPECT_EQ(state_.videoFileName, "Second.mkv");
        int secondUploads = 0;
        for (const auto& upload : requestsTo("/Subtitles/UploadSubtitles")) {
            if (upload.body.find("second video") == std::string::npos) continue;
            ++secondUploads;
            EXPECT_EQ(upload.body.find("first video"), std::string::npos);
        }
        EXPECT_EQ(secondUploads, 1);
        expectQueuesEmpty();
    }
    EXPECT_TRUE(application_.alerts_.empty());
}

}  // namespace
}  // namespace lirra
