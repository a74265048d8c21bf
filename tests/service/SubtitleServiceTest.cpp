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

// What the test service answers, and what it saw beyond the raw requests. Handlers run on the
// server's threads.
struct ServiceScript {
    std::mutex mutex;
    int lookupStatus = 200;
    std::string lookupBody = R"({"videoId":1})";
    std::string lookupContentType = "application/json";
    std::chrono::milliseconds lookupDelay{0};
    std::map<std::string, SubFile> subs;  // by path below /subs/
    int uploadStatus = 200;
    std::chrono::milliseconds uploadDelay{0};
    std::vector<std::multimap<std::string, std::string>> lookupParams;  // as the service decodes
    std::vector<std::string> uploadContentTypes;                        // as sent
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
        launchObserver_ = notifications_.addObserver("LaunchVideo", nullptr, [this](const auto& n) {
            EXPECT_EQ(n.object, nullptr);
            EXPECT_TRUE(n.userInfo.empty());
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
        s.Post("/Player/GetSubtitlesToDownload", [this](const auto& req, auto& res) {
            std::chrono::milliseconds delay;
            {
                std::lock_guard lock(script_.mutex);
                script_.lookupParams.emplace_back(req.params.begin(), req.params.end());
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
                delay = script_.uploadDelay;
                script_.uploadDelay = 0ms;  // only the first upload is slow
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

    void hashComputed(VideoHash hash = {0x8e245d9679d31e12ULL, 12909756}) {
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
    std::string uploadContentType(std::size_t index) {
        std::lock_guard lock(script_.mutex);
        return index < script_.uploadContentTypes.size() ? script_.uploadContentTypes[index] : "";
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

// ---- the lookup request ----

TEST_F(SubtitleServiceTest, LookupSendsTheFormBodyAndHeadersForEachKindOfVideo) {
    struct Case {
        QString location;
        std::optional<std::string> fileNameDefault;
        VideoHash hash;
        QString language;
        QString expectedFileName;
        std::string expectedBody;
    };
    const Case cases[] = {
        {"/home/me/Videos/My Film.mkv",
         std::nullopt,
         {0x8e245d9679d31e12ULL, 12909756},
         "fr",
         "My Film.mkv",
         "fileSize=12909756&movieHash=8e245d9679d31e12&fileName=My+Film.mkv"
         "&targetLanguageCode=eng&nativeLanguageCode=fr"},
        // A remote video takes its name from the defaults, whatever its URL says.
        {"http://media.example.org/watch?v=17",
         "Remote Clip (2019) & more.mp4",
         {0xabc, 70000},
         "pt-BR",
         "Remote Clip (2019) & more.mp4",
         "fileSize=70000&movieHash=abc&fileName=Remote+Clip+%282019%29+%26+more.mp4"
         "&targetLanguageCode=eng&nativeLanguageCode=pt-BR"},
        // Without one, the URL's own last component, decoded.
        {"https://media.example.org/path/clip%20one+two.mp4?t=1",
         std::nullopt,
         {0xabc, 70000},
         "de",
         "clip one+two.mp4",
         "fileSize=70000&movieHash=abc&fileName=clip+one%2Btwo.mp4"
         "&targetLanguageCode=eng&nativeLanguageCode=de"},
        // The zero result is looked up like any other.
        {"/v/unreadable.avi",
         std::nullopt,
         {0, 0},
         "es",
         "unreadable.avi",
         "fileSize=0&movieHash=0&fileName=unreadable.avi&targetLanguageCode=eng"
         "&nativeLanguageCode=es"},
        {QString::fromUtf8("/v/Фильм №1.mkv"),
         std::nullopt,
         {0x1, 65536},
         "ru",
         QString::fromUtf8("Фильм №1.mkv"),
         "fileSize=65536&movieHash=1&fileName=%D0%A4%D0%B8%D0%BB%D1%8C%D0%BC+%E2%84%961.mkv"
         "&targetLanguageCode=eng&nativeLanguageCode=ru"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.location.toStdString());
        server_.clearRequests();
        launches_ = 0;
        defaults_ = UserDefaults();
        if (c.fileNameDefault) defaults_.setString("file-name", *c.fileNameDefault);
        state_.videoLocation = VideoLocation::fromText(c.location);
        state_.nativeLanguageCode = c.language;

        hashComputed(c.hash);
        ASSERT_TRUE(waitForOutcome());
        EXPECT_EQ(state_.videoFileName, c.expectedFileName);
        const auto lookups = requestsTo("/Player/GetSubtitlesToDownload");
        ASSERT_EQ(lookups.size(), 1u);
        const auto& request = lookups[0];
        EXPECT_EQ(request.method, "POST");
        EXPECT_EQ(request.body, c.expectedBody);
        EXPECT_EQ(request.header("Content-type"), "application/x-www-form-urlencoded");
        EXPECT_EQ(request.headerCount("Content-type"), 1u);
        EXPECT_EQ(request.header("Content-length"), std::to_string(c.expectedBody.size()));
        EXPECT_EQ(request.headerCount("Content-length"), 1u);
        // The service's own form decoder gets every value back.
        std::lock_guard lock(script_.mutex);
        const auto& params = script_.lookupParams.back();
        ASSERT_EQ(params.count("fileName"), 1u);
        EXPECT_EQ(QString::fromStdString(params.find("fileName")->second), c.expectedFileName);
        EXPECT_EQ(params.find("targetLanguageCode")->second, "eng");
        EXPECT_EQ(QString::fromStdString(params.find("nativeLanguageCode")->second), c.language);
    }
    EXPECT_TRUE(application_.alerts_.empty());
}

TEST_F(SubtitleServiceTest, HashFromAnotherThreadIsLookedUpOnTheMainThread) {
    state_.videoLocation = VideoLocation::fromText("/v/a.mkv");
    mainThread_.current_ = false;
    std::thread worker([this] { hashComputed({0x2a, 65536}); });
    worker.join();
    runEventLoopFor(50ms);
    EXPECT_EQ(server_.requestCount(), 0u);
    EXPECT_TRUE(state_.videoFileName.isEmpty());
    EXPECT_EQ(mainThread_.pending(), 1u);

    mainThread_.current_ = true;
    EXPECT_EQ(mainThread_.runAll(), 1);
    ASSERT_TRUE(waitForOutcome());
    EXPECT_EQ(state_.videoFileName, "a.mkv");
    ASSERT_EQ(requestsTo("/Player/GetSubtitlesToDownload").size(), 1u);
    EXPECT_EQ(requestsTo("/Player/GetSubtitlesToDownload")[0].body,
              "fileSize=65536&movieHash=2a&fileName=a.mkv&targetLanguageCode=eng"
              "&nativeLanguageCode=");
}

// ---- downloads and the upload ----

TEST_F(SubtitleServiceTest, DownloadsEveryAcceptedEntryAndUploadsWhatArrivedThenLaunches) {
    const std::string third = "Trois \\\"v\\\"\\r\\nx.srt";  // JSON for: Trois "v" CR LF x.srt
    setLookupAnswer(
        200, R"({"videoId":42,"subsToDownload":[)" + entry("first.srt", 101, "first.srt") + "," +
                 entry("missing.srt", 102, "missing.srt") + "," + entry("third.srt", 103, third) +
                 "," + entry("skipped.srt", 104, "skipped.srt", "false") +
                 R"(,{"downloadUrl":null,"mustBeDownloaded":true},null]})");
    // The first answers last, so completion order differs from the answer's order.
    setSub("first.srt", {200, "1\r\n00:00:01,000 --> 00:00:02,000\r\nHello\r\n", 300ms});
    setSub("third.srt", {200, std::string("caf\xc3\xa9\r\n--not a boundary\r\n\0end", 29), 0ms});
    state_.videoLocation = VideoLocation::fromText("/v/Movie.mkv");

    hashComputed();
    ASSERT_TRUE(waitForOutcome());
    runEventLoopFor(200ms);  // nothing else may follow

    EXPECT_EQ(launches_, 1);
    EXPECT_EQ(state_.videoId, 42);
    EXPECT_TRUE(application_.alerts_.empty());
    EXPECT_EQ(script_.arrivedSubs, 3);  // "skipped.srt" was not fetched
    const auto lines = logs();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "Done analyzing video: found 3 subtitles to download");
    std::vector<std::string> arrivedNames;  // successful downloads, in completion order
    for (int i = 0; i < 3; ++i) {
        const std::string prefix = "Finished downloading subtitles at " + base_ + "subs/";
        const std::string suffix = " - Remaining: " + std::to_string(2 - i) + " subs";
        const std::string& line = lines[1 + i];
        ASSERT_EQ(line.rfind(prefix, 0), 0u) << line;
        ASSERT_GE(line.size(), prefix.size() + suffix.size());
        ASSERT_EQ(line.substr(line.size() - suffix.size()), suffix) << line;
        const std::string sub =
            line.substr(prefix.size(), line.size() - prefix.size() - suffix.size());
        if (sub != "missing.srt") arrivedNames.push_back(sub);
    }
    EXPECT_EQ(lines[4], "Successfully uploaded all downloaded subtitles");
    ASSERT_EQ(arrivedNames.size(), 2u);
    EXPECT_EQ(arrivedNames.back(), "first.srt");

    // The upload, byte for byte, with the parts in completion order.
    const auto uploads = requestsTo("/Subtitles/UploadSubtitles");
    ASSERT_EQ(uploads.size(), 1u);
    const std::string type = uploadContentType(0);
    const std::string typePrefix = "multipart/form-data; boundary=";
    ASSERT_EQ(type.rfind(typePrefix, 0), 0u) << type;
    const std::string b = type.substr(typePrefix.size());
    EXPECT_EQ(b.size(), 64u);
    const std::map<std::string, std::string> parts = {
        {"first.srt",
         "Content-Disposition: form-data; name=\"101\"; filename=\"first.srt\"\r\n"
         "Content-Type: text/plain\r\n\r\n"
         "1\r\n00:00:01,000 --> 00:00:02,000\r\nHello\r\n"},
        {"third.srt",
         "Content-Disposition: form-data; name=\"103\"; "
         "filename=\"Trois %22v%22%0D%0Ax.srt\"\r\n"
         "Content-Type: text/plain\r\n\r\n" +
             std::string("caf\xc3\xa9\r\n--not a boundary\r\n\0end", 29)}};
    const std::string expected = "--" + b + "\r\n" + parts.at(arrivedNames[0]) + "\r\n--" + b +
                                 "\r\n" + parts.at(arrivedNames[1]) + "\r\n--" + b + "--\r\n";
    EXPECT_EQ(uploads[0].body, expected);
    EXPECT_EQ(uploads[0].header("Content-Length"), std::to_string(expected.size()));
    // "LaunchVideo" came after the upload had been answered.
    EXPECT_EQ(uploadsAtLaunch_, std::vector<int>{1});
    expectQueuesEmpty();
}

TEST_F(SubtitleServiceTest, FailedDownloadsCountDownAndTheVideoStillLaunches) {
    // A body cut short after a 200: not a subtitle file.
    test::RawLoopbackServer truncating([](test::RawConnection& connection) {
        connection.send("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nonly a part");
    });
    ASSERT_TRUE(truncating.start());
    const std::string closed = closedPortUrl();
    const std::string sub = R"(,"mustBeDownloaded":true,"subFileName":"s.srt","subtitleId":)";
    setLookupAnswer(200, R"({"videoId":-5,"subsToDownload":[)"
                         R"({"downloadUrl":"not a url")" +
                             sub + "1}," + R"({"downloadUrl":"ftp://127.0.0.1/x.srt")" + sub +
                             "2}," + R"({"downloadUrl":")" + closed + R"(x.srt")" + sub + "3}," +
                             R"({"downloadUrl":")" + truncating.url("/t.srt") + R"(")" + sub +
                             "4}," + entry("huge.srt", 5, "huge.srt") + "," +
                             entry("empty.srt", 6, "empty.srt") + "]}");
    setSub("huge.srt", {200, std::string(21 * 1024 * 1024, 'x'), 0ms, kUncompressed});
    setSub("empty.srt", {200, "", 0ms});
    state_.videoLocation = VideoLocation::fromText("/v/Movie.mkv");

    hashComputed();
    ASSERT_TRUE(waitForOutcome());
    runEventLoopFor(100ms);

    EXPECT_EQ(launches_, 1);
    EXPECT_EQ(state_.videoId, -5);
    const auto lines = logs();
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0], "Done analyzing video: found 6 subtitles to download");
    // The two that cannot start fail at once, before any exchange.
    EXPECT_EQ(lines[1], "Finished downloading subtitles at not a url - Remaining: 5 subs");
    EXPECT_EQ(lines[2],
              "Finished downloading subtitles at ftp://127.0.0.1/x.srt - Remaining: 4 subs");
    for (int i = 3; i < 7; ++i)
        EXPECT_NE(lines[i].find("- Remaining: " + std::to_string(6 - i) + " subs"),
                  std::string::npos)
            << lines[i];
    EXPECT_EQ(lines[7], "Successfully uploaded all downloaded subtitles");
    // Only the empty file arrived whole; it is uploaded with no bytes.
    const auto uploads = requestsTo("/Subtitles/UploadSubtitles");
    ASSERT_EQ(uploads.size(), 1u);
    const std::string b = uploadContentType(0).substr(30);
    EXPECT_EQ(uploads[0].body, "--" + b +
                                   "\r\nContent-Disposition: form-data; name=\"6\"; "
                                   "filename=\"empty.srt\"\r\nContent-Type: text/plain\r\n\r\n"
                                   "\r\n--" +
                                   b + "--\r\n");
    expectQueuesEmpty();
}

TEST_F(SubtitleServiceTest, EveryDownloadFailingSendsTheEmptyUploadAndA500StillLaunchesOnce) {
    {
        std::lock_guard lock(script_.mutex);
        script_.uploadStatus = 500;
    }
    setLookupAnswer(200,
                    R"({"videoId":3,"subsToDownload":[)" + entry("gone.srt", 1, "g.srt") + "]}");
    state_.videoLocation = VideoLocation::fromText("/v/Movie.mkv");
    hashComputed();
    ASSERT_TRUE(waitForOutcome());
    runEventLoopFor(100ms);

    const auto uploads = requestsTo("/Subtitles/UploadSubtitles");
    ASSERT_EQ(uploads.size(), 1u);
    const std::string b = uploadContentType(0).substr(30);
    EXPECT_EQ(b.size(), 64u);
    EXPECT_EQ(uploads[0].body, "--" + b + "\r\n\r\n--" + b + "--\r\n");
    EXPECT_EQ(uploads[0].header("Content-Length"), std::to_string(2 + 64 + 2 + 2 + 2 + 64 + 2 + 2));
    EXPECT_EQ(launches_, 1);
    const auto lines = logs();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2], "Failed to upload downloaded subtitles");
    expectQueuesEmpty();
}

TEST_F(SubtitleServiceTest, UploadToAClosedPortLogsTheErrorAndStillLaunchesOnce) {
    installServiceEnvironment(
        {http_.get(), &notifications_, QString::fromStdString(closedPortUrl())});
    LSubtitlesToUpload::addSubToUpload(LSubtitlesToUpload("a.srt", 1, "text"));
    LSubtitlesToUpload::uploadAllSubs();
    EXPECT_EQ(LSubtitlesToUpload::uploadStatusCode(), -1);
    ASSERT_TRUE(waitForOutcome());
    runEventLoopFor(100ms);

    EXPECT_EQ(launches_, 1);
    const auto lines = logs();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("Met an error uploading subtitles: ", 0), 0u) << lines[0];
    EXPECT_GT(lines[0].size(), std::string("Met an error uploading subtitles: ").size());
    EXPECT_EQ(lines[1], "Failed to upload downloaded subtitles");
    expectQueuesEmpty();
}

// ---- lookup failures and odd answers ----

TEST_F(SubtitleServiceTest, LookupFailuresShowTheAlertThenTheHomeScreen) {
    const std::string accepted =
        R"({"videoId":9,"subsToDownload":[)" + entry("a.srt", 1, "a.srt") + "]}";
    struct Case {
        const char* what;
        int status;
        std::string body;
        bool closedPort;
        std::string contentType = "application/json";
    };
    const Case cases[] = {
        {"500 with a usable body", 500, accepted, false},
        {"404", 404, "", false},
        {"a body over the limit", 200,
         R"({"videoId":9,"pad":")" + std::string(21 * 1024 * 1024, ' ') + "\"}", false,
         kUncompressed},
        {"a closed port", 200, accepted, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        application_.alerts_.clear();
        screens_.homeScreens = 0;
        state_.videoId = 77;
        setLookupAnswer(c.status, c.body);
        {
            std::lock_guard lock(script_.mutex);
            script_.lookupContentType = c.contentType;
        }
        config_.baseUrl = QString::fromStdString(c.closedPort ? closedPortUrl() : base_);
        state_.videoLocation = VideoLocation::fromText("/v/Movie.mkv");

        hashComputed();
        ASSERT_TRUE(waitForOutcome());
        runEventLoopFor(50ms);
        ASSERT_EQ(application_.alerts_.size(), 1u);
        const AlertSpec& alert = application_.alerts_[0];
        EXPECT_EQ(alert.style, AlertStyle::kWarning);
        EXPECT_EQ(alert.messageText, "Something went wrong.");
        EXPECT_EQ(alert.informativeText,
                  "We couldn't find subtitles for your video. Please try again later!");
        EXPECT_EQ(alert.buttons, QStringList{"OK"});
        EXPECT_EQ(screens_.homeScreens, 1);
        EXPECT_EQ(state_.videoId, 77);
    }
    EXPECT_EQ(launches_, 0);
    EXPECT_EQ(script_.arrivedSubs, 0);
    EXPECT_TRUE(logs().empty());  // no failure of the lookup is logged
}

TEST_F(SubtitleServiceTest, OddAnswersLaunchAtOnceWithVideoIdZero) {
    const char* bodies[] = {
        "",
        "[]",
        "<html>busy</html>",
        "null",
        R"({"videoId":null,"subsToDownload":null})",
        R"({"videoId":"12","subsToDownload":[null,{"downloadUrl":null,"mustBeDownloaded":null}]})",
        R"({"videoId":12.5,"subsToDownload":[{"downloadUrl":"http://127.0.0.1:9/x","mustBeDownloaded":false}]})",
    };
    for (const char* body : bodies) {
        SCOPED_TRACE(body);
        launches_ = 0;
        state_.videoId = 77;
        setLookupAnswer(200, body);
        state_.videoLocation = VideoLocation::fromText("/v/Movie.mkv");
        hashComputed();
        ASSERT_TRUE(waitForOutcome());
        EXPECT_EQ(launches_, 1);
        EXPECT_EQ(state_.videoId, 0);
        EXPECT_EQ(logs().back(), "Done analyzing video: found 0 subtitles to download");
    }
    EXPECT_TRUE(application_.alerts_.empty());
    EXPECT_TRUE(requestsTo("/Subtitles/UploadSubtitles").empty());
    EXPECT_EQ(script_.arrivedSubs, 0);
}

// ---- a second video while the first is still under way ----

TEST_F(SubtitleServiceTest, FirstVideosLateDownloadsReachNeitherTheSecondsUploadNorItsLaunch) {
    setLookupAnswer(200, R"({"videoId":1,"subsToDownload":[)" +
                             entry("slow1.srt", 11, "slow1.srt") + "," +
                             entry("slow2.srt", 12, "slow2.srt") + "]}");
    setSub("slow1.srt", {200, "first video", 400ms});
    setSub("slow2.srt", {200, "first video", 400ms});
    state_.videoLocation = VideoLocation::fromText("/v/First.mkv");
    hashComputed();
    ASSERT_TRUE(runEventLoopUntil([this] { return script_.arrivedSubs == 2; }));

    setLookupAnswer(
        200, R"({"videoId":2,"subsToDownload":[)" + entry("fast.srt", 21, "fast.srt") + "]}");
    setSub("fast.srt", {200, "second video", 0ms});
    state_.videoLocation = VideoLocation::fromText("/v/Second.mkv");
    hashComputed();
    ASSERT_TRUE(waitForOutcome());
    runEventLoopFor(700ms);  // the first video's downloads end meanwhile

    EXPECT_EQ(launches_, 1);
    EXPECT_EQ(state_.videoId, 2);
    const auto uploads = requestsTo("/Subtitles/UploadSubtitles");
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_NE(uploads[0].body.find("second video"), std::string::npos);
    EXPECT_EQ(uploads[0].body.find("first video"), std::string::npos);
    for (const auto& line : logs()) EXPECT_EQ(line.find("slow"), std::string::npos) << line;
    expectQueuesEmpty();
}

TEST_F(SubtitleServiceTest, FirstVideosLateUploadDoesNotLaunchAgain) {
    {
        std::lock_guard lock(script_.mutex);
        script_.uploadDelay = 400ms;
    }
    setLookupAnswer(200, R"({"videoId":1,"subsToDownload":[)" + entry("a.srt", 1, "a.srt") + "]}");
    setSub("a.srt", {200, "text", 0ms});
    state_.videoLocation = VideoLocation::fromText("/v/First.mkv");
    hashComputed();
    ASSERT_TRUE(runEventLoopUntil([this] { return script_.arrivedUploads == 1; }));

    setLookupAnswer(200, R"({"videoId":2,"subsToDownload":[]})");
    state_.videoLocation = VideoLocation::fromText("/v/Second.mkv");
    hashComputed();
    ASSERT_TRUE(waitForOutcome());
    runEventLoopFor(700ms);  // the first video's upload is answered meanwhile

    EXPECT_EQ(launches_, 1);
    EXPECT_EQ(state_.videoId, 2);
    for (const auto& line : logs()) EXPECT_EQ(line.find("uploaded"), std::string::npos) << line;
    expectQueuesEmpty();
}

TEST_F(SubtitleServiceTest, FirstVideosLateLookupAnswerIsIgnored) {
    {
        std::lock_guard lock(script_.mutex);
        script_.lookupDelay = 400ms;
    }
    setLookupAnswer(200, R"({"videoId":1,"subsToDownload":[)" + entry("a.srt", 1, "a.srt") + "]}");
    state_.videoLocation = VideoLocation::fromText("/v/First.mkv");
    hashComputed();
    ASSERT_TRUE(runEventLoopUntil([this] { return !script_.lookupParams.empty(); }));

    {
        std::lock_guard lock(script_.mutex);
        script_.lookupDelay = 0ms;
        script_.lookupBody = R"({"videoId":2})";
    }
    state_.videoLocation = VideoLocation::fromText("/v/Second.mkv");
    hashComputed();
    ASSERT_TRUE(waitForOutcome());
    runEventLoopFor(700ms);

    EXPECT_EQ(launches_, 1);
    EXPECT_EQ(state_.videoId, 2);
    EXPECT_EQ(state_.videoFileName, "Second.mkv");
    EXPECT_EQ(script_.arrivedSubs, 0);
    EXPECT_TRUE(application_.alerts_.empty());
}

}  // namespace
}  // namespace lirra
