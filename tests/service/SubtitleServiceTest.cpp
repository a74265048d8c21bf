// The subtitle service client against a real HTTP service on loopback: the real Qt HTTP client,
// a cpp-httplib service that records every request, and the Qt event loop.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <thread>

#include "FakeApplication.h"
#include "FakeMainThread.h"
#include "hash/VideoHash.h"
#include "platform/Log.h"
#include "platform/qt/network/QtHttpClient.h"
#include "service/LSubtitlesToDownload.h"
#include "service/LSubtitlesToUpload.h"
#include "service/SubtitleLookup.h"
#include "support/LoopbackHttpServer.h"
#include "support/RawLoopbackServer.h"
#include "support/qt/QtTestLoop.h"

namespace lirra {
namespace {

using namespace std::chrono_literals;
using test::runEventLoopFor;
using test::runEventLoopUntil;

// cpp-httplib compresses text answers; Qt 6.4 cuts a brotli body off at 4 MiB, so large answers
// go out as bytes it leaves alone.
constexpr char kBytes[] = "application/octet-stream";

struct Answer {
    int status = 200;
    std::string body{};
    std::chrono::milliseconds delay{0};
    std::string type = "application/json";
};

class SubtitleServiceTest : public ::testing::Test, public Screens {
  protected:
    void SetUp() override {
        auto& s = server_.server();
        // Counted where a request arrives, before it is answered.
        s.Post("/Player/GetSubtitlesToDownload", [this](const auto&, auto& res) {
            ++lookups_;
            serve(answerFor("lookup"), res);
        });
        s.Get(R"(/subs/(.+))", [this](const httplib::Request& req, httplib::Response& res) {
            ++arrivedSubs_;
            serve(answerFor(req.matches[1]), res);
        });
        // cpp-httplib keeps no bytes of a multipart body: the upload's type is recorded and
        // swapped before the body is read.
        s.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response&) {
            auto type = const_cast<httplib::Request&>(req).headers.find("Content-Type");
            if (req.path == "/Subtitles/UploadSubtitles" && type != req.headers.end()) {
                std::lock_guard lock(mutex_);
                uploadTypes_.push_back(std::exchange(type->second, kBytes));
            }
            return httplib::Server::HandlerResponse::Unhandled;
        });
        s.Post("/Subtitles/UploadSubtitles", [this](const auto&, auto& res) {
            ++arrivedUploads_;
            const Answer answer = answerFor("upload");
            setDelay("upload", 0ms);  // only the first one is slow
            serve(answer, res);
        });
        answers_["lookup"] = {200, R"({"videoId":1})"};
        answers_["upload"] = {200};
        ASSERT_TRUE(server_.start());
        base_ = server_.url("/");
        config_.baseUrl = QString::fromStdString(base_);
        previousSink_ = setLogSink([this](const std::string& line) {
            std::lock_guard lock(mutex_);
            logs_.push_back(line);
        });
        launchObserver_ = center_.addObserver("LaunchVideo", nullptr, [this](const auto&) {
            launchedAfterUploads_.push_back(arrivedUploads_);
        });
    }
    void TearDown() override {
        lookup_.reset();
        setLogSink(previousSink_);
        center_.removeObserver(launchObserver_);
        LSubtitlesToDownload::resetDownloader();
        LSubtitlesToUpload::resetUploader();
        server_.stop();
    }
    void loadHomeScreen() override { ++homeLoads_; }
    void loadPlayerScreen() override {}

    void serve(const Answer& answer, httplib::Response& res) {  // on the server's threads
        std::this_thread::sleep_for(answer.delay);
        res.status = answer.status;
        res.set_content(answer.body, answer.type);
    }
    Answer answerFor(const std::string& what) {
        std::lock_guard lock(mutex_);
        return answers_.count(what) ? answers_[what] : Answer{404};
    }
    void setAnswer(const std::string& what, Answer answer) {
        std::lock_guard lock(mutex_);
        answers_[what] = std::move(answer);
    }
    void setDelay(const std::string& what, std::chrono::milliseconds delay) {
        std::lock_guard lock(mutex_);
        answers_[what].delay = delay;
    }
    std::string sub(const std::string& path) const { return base_ + "subs/" + path; }
    // The lookup answer naming these subtitles, each {URL, name, id}; id 0 need not be fetched.
    void setLookup(int videoId, const std::vector<std::array<std::string, 3>>& subs) {
        std::string list;
        for (const auto& [url, name, id] : subs) {
            list += std::string(list.empty() ? "" : ",") + R"({"downloadUrl":")" + url +
                    R"(","mustBeDownloaded":)" + (id == "0" ? "false" : "true") +
                    R"(,"subFileName":")" + name + R"(","subtitleId":)" + id + "}";
        }
        setAnswer("lookup", {200, R"({"videoId":)" + std::to_string(videoId) +
                                      R"(,"subsToDownload":[)" + list + "]}"});
    }
    void lookUp(const char* video, VideoHash hash = {0x8e245d9679d31e12ULL, 12909756}) {
        state_.videoLocation = VideoLocation::fromText(QString::fromUtf8(video));
        lookup_->onHashComputed(Notification{"HashComputed", nullptr, {{"hash", hash}}});
    }
    // Until the video launches or the alert has been shown, then a while for what may follow.
    void waitForOutcome(std::chrono::milliseconds settle = 100ms) {
        EXPECT_TRUE(runEventLoopUntil(
            [this] { return !launchedAfterUploads_.empty() || !application_.alerts_.empty(); }));
        runEventLoopFor(settle);
    }
    std::vector<test::RecordedRequest> requestsTo(const std::string& path) const {
        std::vector<test::RecordedRequest> found;
        for (auto& request : server_.requests())
            if (request.path == path) found.push_back(request);
        return found;
    }
    // The body an upload of these parts has, with the boundary of the index-th upload's type.
    std::string uploadBody(std::size_t index,
                           const std::vector<std::array<std::string, 3>>& parts) {
        std::lock_guard lock(mutex_);
        const std::string type = index < uploadTypes_.size() ? uploadTypes_[index] : "";
        const std::string prefix = "multipart/form-data; boundary=";
        EXPECT_TRUE(type.starts_with(prefix)) << type;
        const std::string b = "--" + type.substr(std::min(type.size(), prefix.size()));
        EXPECT_EQ(b.size(), 66u);
        std::string body = b;
        for (const auto& [id, name, data] : parts) {
            body += (body == b ? "\r\n" : "\r\n" + b + "\r\n") +
                    "Content-Disposition: form-data; name=\"" + id + "\"; filename=\"" + name +
                    "\"\r\nContent-Type: text/plain\r\n\r\n" + data;
        }
        return body + (parts.empty() ? "\r\n\r\n" : "\r\n") + b + "--\r\n";
    }
    std::vector<std::string> logs() {
        std::lock_guard lock(mutex_);
        return logs_;
    }
    void expectQueuesEmpty() {
        EXPECT_TRUE(LSubtitlesToDownload::downloadQueue().empty());
        EXPECT_EQ(LSubtitlesToDownload::remainingDownloads(), 0);
        EXPECT_TRUE(LSubtitlesToUpload::uploadQueue().empty());
        EXPECT_FALSE(LSubtitlesToUpload::uploadProcessed());
    }

    // Declared first so that it goes last: the client and the lookup stop before it.
    test::LoopbackHttpServer server_;
    std::mutex mutex_;
    std::map<std::string, Answer> answers_;  // "lookup", "upload" and the subtitles by path
    std::atomic<int> lookups_{0}, arrivedSubs_{0}, arrivedUploads_{0};
    std::vector<std::string> uploadTypes_, logs_;
    std::string base_;
    AppState state_;
    AppConfig config_;
    fakes::FakeApplication application_;
    int homeLoads_ = 0;
    UserDefaults defaults_;
    fakes::FakeMainThread mainThread_;
    NotificationCenter center_;
    NotificationCenter::ObserverId launchObserver_ = 0;
    std::vector<int> launchedAfterUploads_;  // uploads that had arrived at each "LaunchVideo"
    LogSink previousSink_;
    bool applicationReady_ = (test::ensureCoreApplication(), true);
    QtHttpClient http_;
    std::unique_ptr<SubtitleLookup> lookup_ = std::make_unique<SubtitleLookup>(
        state_, config_, http_, application_, *this, defaults_, mainThread_, center_);
};

// A local file's name: the end-to-end journeys. A remote video takes its name from the defaults,
// whatever its URL says, and without one the URL's own last component, decoded.
TEST_F(SubtitleServiceTest, TheLookupSendsTheFormBodyWithTheNameOfARemoteVideo) {
    state_.nativeLanguageCode = "fr";
    for (const auto& [location, named, sent] : std::vector<std::array<const char*, 3>>{
             {"http://media.test/watch?v=17", "Clip (2019) & more.mp4",
              "Clip+%282019%29+%26+more.mp4"},
             {"https://media.test/path/clip%20one+two.mp4?t=1", nullptr, "clip+one%2Btwo.mp4"}}) {
        server_.clearRequests();
        launchedAfterUploads_.clear();
        defaults_ = UserDefaults();
        if (named) defaults_.setString("file-name", named);
        lookUp(location);
        waitForOutcome(0ms);
        const auto lookups = requestsTo("/Player/GetSubtitlesToDownload");
        ASSERT_EQ(lookups.size(), 1u);
        const std::string body = std::string("fileSize=12909756&movieHash=8e245d9679d31e12") +
                                 "&fileName=" + sent +
                                 "&targetLanguageCode=eng&nativeLanguageCode=fr";
        EXPECT_EQ(lookups[0].body, body);
        EXPECT_EQ(lookups[0].header("Content-type"), "application/x-www-form-urlencoded");
        EXPECT_EQ(lookups[0].header("Content-length"), std::to_string(body.size()));
    }
}

TEST_F(SubtitleServiceTest, AHashFromAnotherThreadIsLookedUpOnTheMainThread) {
    mainThread_.current_ = false;
    std::thread([this] { lookUp("/v/a.mkv", {0x2a, 65536}); }).join();
    runEventLoopFor(50ms);
    EXPECT_EQ(server_.requestCount(), 0u);
    EXPECT_TRUE(state_.videoFileName.isEmpty());
    mainThread_.current_ = true;
    EXPECT_EQ(mainThread_.runAll(), 1u);
    waitForOutcome(0ms);
    EXPECT_EQ(state_.videoFileName, "a.mkv");
    EXPECT_EQ(requestsTo("/Player/GetSubtitlesToDownload").size(), 1u);
}

// Every accepted entry is fetched at once; what arrived goes back in one upload, byte for byte,
// the parts in completion order; "LaunchVideo" comes once the upload has been answered.
TEST_F(SubtitleServiceTest, DownloadsWhatTheAnswerNamesUploadsWhatArrivedThenLaunches) {
    setLookup(42, {{sub("first.srt"), "first.srt", "101"},
                   {sub("missing.srt"), "missing.srt", "102"},
                   {sub("third.srt"), R"(Trois \"v\"\r\nx.srt)", "103"},
                   {sub("no.srt"), "no.srt", "0"}});
    const std::string first = "1\r\n00:00:01,000 --> 00:00:02,000\r\nHello\r\n";
    const std::string third("caf\xc3\xa9\r\n--not a boundary\r\n\0end", 29);
    setAnswer("first.srt", {200, first, 300ms, "text/plain"});  // the first answers last
    setAnswer("third.srt", {200, third, 0ms, "text/plain"});
    lookUp("/v/Movie.mkv");
    waitForOutcome(200ms);
    EXPECT_EQ(launchedAfterUploads_, std::vector<int>{1});
    EXPECT_EQ(state_.videoId, 42);
    EXPECT_EQ(arrivedSubs_, 3);
    const auto lines = logs();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "Done analyzing video: found 3 subtitles to download");
    EXPECT_EQ(lines[3],
              "Finished downloading subtitles at " + base_ + "subs/first.srt - Remaining: 0 subs");
    EXPECT_EQ(lines[4], "Successfully uploaded all downloaded subtitles");
    const auto uploads = requestsTo("/Subtitles/UploadSubtitles");
    ASSERT_EQ(uploads.size(), 1u);
    const std::string body =
        uploadBody(0, {{"103", "Trois %22v%22%0D%0Ax.srt", third}, {"101", "first.srt", first}});
    EXPECT_EQ(uploads[0].body, body);
    EXPECT_EQ(uploads[0].header("Content-Length"), std::to_string(body.size()));
    expectQueuesEmpty();
}

// Downloads that fail at once or later count down alike; a refused upload still launches, once.
TEST_F(SubtitleServiceTest, FailedDownloadsCountDownAndARefusedUploadStillLaunchesOnce) {
    test::RawLoopbackServer truncating([](test::RawConnection& connection) {  // 200, then cut
        connection.send("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nonly a part");
    });
    ASSERT_TRUE(truncating.start());
    test::LoopbackHttpServer closed;
    ASSERT_TRUE(closed.start());
    const std::string closedUrl = closed.url("/x.srt");
    closed.stop();
    setLookup(-5, {{"not a url", "a", "1"},
                   {"ftp://127.0.0.1/x.srt", "b", "2"},
                   {closedUrl, "c", "3"},
                   {truncating.url("/t.srt"), "d", "4"},
                   {sub("huge.srt"), "e", "5"},
                   {sub("gone.srt"), "f", "6"}});
    setAnswer("huge.srt", {200, std::string(21 * 1024 * 1024, 'x'), 0ms, kBytes});
    setAnswer("upload", {500});
    lookUp("/v/Movie.mkv");
    waitForOutcome();
    EXPECT_EQ(launchedAfterUploads_, std::vector<int>{1});
    EXPECT_EQ(state_.videoId, -5);
    const auto lines = logs();
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[1], "Finished downloading subtitles at not a url - Remaining: 5 subs");
    for (int i = 2; i < 7; ++i)
        EXPECT_TRUE(lines[i].ends_with("- Remaining: " + std::to_string(6 - i) + " subs"))
            << lines[i];
    EXPECT_EQ(lines[7], "Failed to upload downloaded subtitles");
    const auto uploads = requestsTo("/Subtitles/UploadSubtitles");
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].body, uploadBody(0, {}));  // nothing arrived whole
    expectQueuesEmpty();
}

// A failed lookup alerts and goes home; an answer that is no lookup answer launches at once with
// video id 0 and nothing to download.
TEST_F(SubtitleServiceTest, LookupFailuresAlertAndOddAnswersLaunchWithVideoIdZero) {
    setLookup(9, {{sub("a.srt"), "a.srt", "1"}});
    const std::string accepted = answerFor("lookup").body;
    test::LoopbackHttpServer closed;
    ASSERT_TRUE(closed.start());
    const QString closedBase = QString::fromStdString(closed.url("/"));
    closed.stop();
    const struct {
        Answer answer;
        bool launches, unreachable = false;
    } rows[] = {
        {{500, accepted}, false},
        {{404, ""}, false},
        {{200, R"({"videoId":9,"pad":")" + std::string(21 << 20, ' ') + "\"}", 0ms, kBytes}, false},
        {{200, accepted}, false, true},
        {{200, "<html>busy</html>"}, true},
        {{200, R"({"videoId":"12","subsToDownload":[null]})"}, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.answer.status);
        application_.alerts_.clear();
        launchedAfterUploads_.clear();
        homeLoads_ = 0;
        state_.videoId = 77;
        setAnswer("lookup", row.answer);
        config_.baseUrl = row.unreachable ? closedBase : QString::fromStdString(base_);
        lookUp("/v/Movie.mkv");
        waitForOutcome(50ms);
        EXPECT_EQ(launchedAfterUploads_.size(), row.launches ? 1u : 0u);
        EXPECT_EQ(state_.videoId, row.launches ? 0 : 77);
        EXPECT_EQ(homeLoads_, row.launches ? 0 : 1);
        ASSERT_EQ(application_.alerts_.size(), row.launches ? 0u : 1u);
        if (row.launches) continue;
        const AlertSpec& alert = application_.alerts_[0];
        EXPECT_EQ(alert.style, AlertStyle::kWarning);
        EXPECT_EQ(alert.messageText + " " + alert.informativeText + " " + alert.buttons.join(","),
                  "Something went wrong. We couldn't find subtitles for your video. Please try "
                  "again later! OK");
    }
    EXPECT_EQ(arrivedSubs_, 0);
    EXPECT_EQ(arrivedUploads_, 0);
    for (const auto& line : logs())
        EXPECT_EQ(line, "Done analyzing video: found 0 subtitles to download");
}

// A second video while the first one's lookup, downloads or upload are still under way: what
// comes late for the first reaches neither the second's upload nor its launch.
TEST_F(SubtitleServiceTest, TheFirstVideosLateAnswersAreIgnored) {
    for (const char* late : {"slow.srt", "upload", "lookup"}) {
        SCOPED_TRACE(late);
        launchedAfterUploads_.clear();
        server_.clearRequests();
        setLookup(1, {{sub("slow.srt"), "slow.srt", "11"}});
        setAnswer("slow.srt", {200, "first video", 0ms, "text/plain"});
        setAnswer("upload", {200});
        setDelay(late, 400ms);
        std::atomic<int>& arrived = late[0] == 's'   ? arrivedSubs_
                                    : late[0] == 'u' ? arrivedUploads_
                                                     : lookups_;
        const int before = arrived;
        lookUp("/v/First.mkv");
        ASSERT_TRUE(runEventLoopUntil([&] { return arrived > before; }));
        setLookup(2, {{sub("fast.srt"), "fast.srt", "21"}});
        setAnswer("fast.srt", {200, "second video", 0ms, "text/plain"});
        lookUp("/v/Second.mkv");
        waitForOutcome(700ms);  // the first video's answers arrive meanwhile
        EXPECT_EQ(launchedAfterUploads_.size(), 1u);
        EXPECT_EQ(state_.videoId, 2);
        EXPECT_EQ(state_.videoFileName, "Second.mkv");
        std::vector<std::string> uploaded;
        for (const auto& upload : requestsTo("/Subtitles/UploadSubtitles"))
            if (upload.body.find("second video") != std::string::npos)
                uploaded.push_back(upload.body);
        ASSERT_EQ(uploaded.size(), 1u);
        EXPECT_EQ(uploaded[0].find("first video"), std::string::npos);
        expectQueuesEmpty();
    }
    EXPECT_TRUE(application_.alerts_.empty());
}

}  // namespace
}  // namespace lirra
