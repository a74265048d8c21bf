// SPDX-License-Identifier: GPL-3.0-or-later
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
#include "support/qt/QtTestLoop.h"

namespace lirra {
namespace {

using namespace std::chrono_literals;
// A part's id, name as written and data; a subtitle's URL, name and id.
using Parts = std::vector<std::array<std::string, 3>>;

// cpp-httplib compresses text answers and Qt 6.4 cuts a brotli body off at 4 MiB: large answers
// go out as bytes it leaves alone.
constexpr char kBytes[] = "application/octet-stream";

struct Answer {
    int status = 200;
    std::string body{};
    std::chrono::milliseconds delay{0};
    std::string type = "text/plain";
};

class SubtitleServiceTest : public ::testing::Test, public Screens {
  protected:
    SubtitleServiceTest() {
        auto& s = server_.server();
        s.Post("/Player/GetSubtitlesToDownload",
               [this](const auto&, auto& res) { serve("lookup", lookups_, res); });
        s.Get(R"(/subs/(.+))", [this](const httplib::Request& req, httplib::Response& res) {
            serve(req.matches[1], downloads_, res);
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
        s.Post("/Subtitles/UploadSubtitles",
               [this](const auto&, auto& res) { serve("upload", uploads_, res); });
        server_.serveCutShort("/cut.srt", 1000, "only a part");
        EXPECT_TRUE(server_.start());
        base_ = server_.url("/");
        config_.baseUrl = QString::fromStdString(base_);
        // The client logs on the main thread only.
        previousSink_ = setLogSink([this](const std::string& line) { log_.push_back(line); });
        observer_ = center_.addObserver("LaunchVideo", nullptr,
                                        [this](const auto&) { launches_.push_back(uploads_); });
    }
    ~SubtitleServiceTest() override {
        lookup_.reset();
        setLogSink(previousSink_);
        center_.removeObserver(observer_);
        LSubtitlesToDownload::resetDownloader();
        LSubtitlesToUpload::resetUploader();
    }
    void loadHomeScreen() override { ++homeLoads_; }
    void loadPlayerScreen() override {}

    // Counts a request for `what` ("lookup", "upload", a subtitle's path) as it arrives, then
    // answers it (on the server's threads); a delay counts once.
    void serve(const std::string& what, std::atomic<int>& arrived, httplib::Response& res) {
        ++arrived;
        Answer taken{what == "upload" ? 200 : 404};
        if (std::lock_guard lock(mutex_); answers_.count(what)) {
            taken = answers_[what];
            answers_[what].delay = 0ms;
        }
        std::this_thread::sleep_for(taken.delay);
        res.status = taken.status;
        res.set_content(taken.body, taken.type);
    }
    void answer(const std::string& what, Answer answer) {
        std::lock_guard lock(mutex_);
        answers_[what] = std::move(answer);
    }
    std::string sub(const std::string& path) const { return base_ + "subs/" + path; }
    // The lookup answer naming these subtitles {URL, name as JSON, id}; id 0: not to be fetched.
    static std::string lookupAnswer(int videoId, const Parts& subs) {
        std::string list;
        for (const auto& [url, name, id] : subs) {
            list += std::string(list.empty() ? "" : ",") + R"({"downloadUrl":")" + url +
                    R"(","mustBeDownloaded":)" + (id == "0" ? "false" : "true") +
                    R"(,"subFileName":")" + name + R"(","subtitleId":)" + id + "}";
        }
        return R"({"videoId":)" + std::to_string(videoId) + R"(,"subsToDownload":[)" + list + "]}";
    }
    void lookUp(const char* video, VideoHash hash = {0x8e245d9679d31e12ULL, 12909756}) {
        state_.videoLocation = VideoLocation::fromText(QString::fromUtf8(video));
        lookup_->onHashComputed(Notification{"HashComputed", nullptr, {{"hash", hash}}});
    }
    // Until the video launches or the alert is up, then a while for what must not follow.
    void waitForOutcome(std::chrono::milliseconds settle = 100ms) {
        EXPECT_TRUE(test::runEventLoopUntil(
            [this] { return !launches_.empty() || !application_.alerts_.empty(); }));
        test::runEventLoopFor(settle);
    }
    // What the index-th upload holds, written with the boundary of its type.
    std::string uploadBody(std::size_t index, const Parts& parts) {
        std::lock_guard lock(mutex_);
        const std::string type = index < uploadTypes_.size() ? uploadTypes_[index] : "";
        const std::string prefix = "multipart/form-data; boundary=";
        EXPECT_TRUE(type.starts_with(prefix) && type.size() == prefix.size() + 64) << type;
        const std::string b = "--" + type.substr(std::min(type.size(), prefix.size()));
        std::string body = b + (parts.empty() ? "\r\n" : "");
        for (const auto& [id, name, data] : parts) {
            body += "\r\nContent-Disposition: form-data; name=\"" + id + "\"; filename=\"" + name +
                    "\"\r\nContent-Type: text/plain\r\n\r\n" + data + "\r\n" + b;
        }
        return body + (parts.empty() ? "\r\n" + b : "") + "--\r\n";
    }
    void expectQueuesEmpty() {
        EXPECT_TRUE(LSubtitlesToDownload::downloadQueue().empty() &&
                    LSubtitlesToDownload::remainingDownloads() == 0 &&
                    LSubtitlesToUpload::uploadQueue().empty() &&
                    !LSubtitlesToUpload::uploadProcessed());
    }

    // Declared first so that it goes last: the client and the lookup stop before it.
    test::LoopbackHttpServer server_;
    std::mutex mutex_;
    std::map<std::string, Answer> answers_;
    std::atomic<int> lookups_{0}, downloads_{0}, uploads_{0};
    std::vector<std::string> uploadTypes_, log_;
    std::string base_;
    AppState state_;
    AppConfig config_;
    fakes::FakeApplication application_;
    int homeLoads_ = 0;
    UserDefaults defaults_;
    fakes::FakeMainThread mainThread_;
    NotificationCenter center_;
    NotificationCenter::ObserverId observer_ = 0;
    std::vector<int> launches_;  // how many uploads had arrived at each "LaunchVideo"
    LogSink previousSink_;
    bool applicationReady_ = (test::ensureCoreApplication(), true);
    QtHttpClient http_;
    std::unique_ptr<SubtitleLookup> lookup_ = std::make_unique<SubtitleLookup>(
        state_, config_, http_, application_, *this, defaults_, mainThread_, center_);
};

// The form body, byte for byte: a remote video takes its name from the URL's own last component,
// decoded (a local one's: IntakeTest); every accepted entry is fetched at once and
// what arrived goes back in one upload, byte for byte, in completion order; "LaunchVideo" comes
// once the upload has been answered.
TEST_F(SubtitleServiceTest, DownloadsWhatTheAnswerNamesUploadsWhatArrivedThenLaunches) {
    answer("lookup",
           {200, lookupAnswer(42, {{sub("first.srt"), "first.srt", "101"},
                                   {sub("missing.srt"), "missing.srt", "102"},
                                   {sub("third.srt"), R"(Trois \"v\"\r\nx.srt)", "4294967295"},
                                   {sub("no.srt"), "no.srt", "0"}})});
    const std::string first = "1\r\n00:00:01,000 --> 00:00:02,000\r\nHello\r\n";
    const std::string third("caf\xc3\xa9\r\n--not a boundary\r\n\0end", 29);
    answer("first.srt", {200, first, 300ms});  // the first answers last
    answer("third.srt", {200, third});
    state_.nativeLanguageCode = "fr";
    lookUp("https://media.test/path/clip%20one+two.mp4?t=1");
    waitForOutcome(200ms);
    const auto lookups = server_.requests("/Player/GetSubtitlesToDownload");
    ASSERT_EQ(lookups.size(), 1u);
    const std::string form =
        "fileSize=12909756&movieHash=8e245d9679d31e12&fileName=clip+one%2Btwo.mp4"
        "&targetLanguageCode=eng&nativeLanguageCode=fr";
    EXPECT_EQ(lookups[0].body, form);
    EXPECT_EQ(lookups[0].header("Content-type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(lookups[0].header("Content-length"), std::to_string(form.size()));
    EXPECT_EQ(std::tuple(launches_, state_.videoId, downloads_.load()),
              std::tuple(std::vector<int>{1}, 42, 3));
    const auto lines = std::exchange(log_, {});
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "Done analyzing video: found 3 subtitles to download");
    EXPECT_EQ(lines[3],
              "Finished downloading subtitles at " + sub("first.srt") + " - Remaining: 0 subs");
    EXPECT_EQ(lines[4], "Successfully uploaded all downloaded subtitles");
    const auto uploads = server_.requests("/Subtitles/UploadSubtitles");
    ASSERT_EQ(uploads.size(), 1u);
    const std::string body = uploadBody(
        0, {{"4294967295", "Trois %22v%22%0D%0Ax.srt", third}, {"101", "first.srt", first}});
    EXPECT_EQ(uploads[0].body, body);
    EXPECT_EQ(uploads[0].header("Content-Length"), std::to_string(body.size()));
    expectQueuesEmpty();
}

// What else may come of a lookup: downloads that fail at once or later count down alike and a
// refused upload still launches, once; a failed lookup alerts and goes home; an answer that is no
// lookup answer launches at once with video id 0 and nothing to fetch.
TEST_F(SubtitleServiceTest, FailuresOfTheLookupTheDownloadsAndTheUpload) {
    test::LoopbackHttpServer closed;
    ASSERT_TRUE(closed.start());
    const std::string closedBase = closed.url("/");
    closed.stop();
    const std::string accepted = lookupAnswer(9, {{sub("a.srt"), "a.srt", "1"}});
    const std::string failing = lookupAnswer(-5, {{"not a url", "a", "1"},
                                                  {"ftp://127.0.0.1/x", "b", "2"},
                                                  {closedBase + "x", "c", "3"},
                                                  {base_ + "cut.srt", "d", "4"},
                                                  {sub("huge.srt"), "e", "5"},
                                                  {sub("gone.srt"), "f", "6"}});
    const std::string tooLong = R"({"videoId":9,"pad":")" + std::string(21 << 20, ' ') + "\"}";
    const struct {
        Answer lookup;
        int upload = 200;
        std::string base{};
        int videoId, downloads;  // the id after it all (77: untouched), -1 downloads: an alert
    } rows[] = {
        {{200, failing}, 500, {}, -5, 6},
        {{500, accepted}, 200, {}, 77, -1},
        {{404}, 200, {}, 77, -1},
        {{200, tooLong, 0ms, kBytes}, 200, {}, 77, -1},
        {{200, accepted}, 200, closedBase, 77, -1},
        {{200, "<html>busy</html>"}, 200, {}, 0, 0},
        {{200, R"({"videoId":"12","subsToDownload":[null]})"}, 200, {}, 0, 0},
    };
    answer("huge.srt", {200, std::string(21 << 20, 'x'), 0ms, kBytes});
    for (const auto& row : rows) {
        SCOPED_TRACE(row.lookup.body.substr(0, 40));
        application_.alerts_.clear();
        launches_.clear();
        homeLoads_ = 0;
        state_.videoId = 77;
        const int uploadsBefore = uploads_;
        answer("lookup", row.lookup);
        answer("upload", {row.upload});
        config_.baseUrl = QString::fromStdString(row.base.empty() ? base_ : row.base);
        lookUp("/v/Movie.mkv");
        waitForOutcome();
        const bool alert = row.downloads < 0;
        EXPECT_EQ(
            std::tuple(state_.videoId, homeLoads_, launches_.size(), uploads_ - uploadsBefore),
            std::tuple(row.videoId, int(alert), std::size_t(!alert), int(row.downloads > 0)));
        const auto lines = std::exchange(log_, {});
        ASSERT_EQ(lines.size(), alert ? 0u : row.downloads + (row.downloads ? 2u : 1u));
        if (alert) {
            ASSERT_EQ(application_.alerts_.size(), 1u);
            const AlertSpec& a = application_.alerts_[0];
            EXPECT_EQ(a.style, AlertStyle::kWarning);
            EXPECT_EQ(a.messageText + " " + a.informativeText.section('!', 0, 0) + " " +
                          a.buttons.join(","),
                      "Something went wrong. We couldn't find subtitles for your video. Please try "
                      "again later OK");
            // An unreachable service is named by the address tried.
            EXPECT_EQ(a.informativeText.contains(QString::fromStdString(
                          " The Lirra service at " + row.base + " did not answer (")),
                      !row.base.empty())
                << a.informativeText.toStdString();
            continue;
        }
        EXPECT_EQ(lines[0], "Done analyzing video: found " + std::to_string(row.downloads) +
                                " subtitles to download");
        for (int i = 1; i <= row.downloads; ++i)
            EXPECT_TRUE(
                lines[i].ends_with("- Remaining: " + std::to_string(row.downloads - i) + " subs"))
                << lines[i];
        if (row.downloads == 0) continue;
        EXPECT_EQ(lines[1], "Finished downloading subtitles at not a url - Remaining: 5 subs");
        EXPECT_EQ(lines.back(), "Failed to upload downloaded subtitles");
        EXPECT_EQ(server_.requests("/Subtitles/UploadSubtitles").back().body,
                  uploadBody(0, {}));  // nothing arrived whole
        expectQueuesEmpty();
    }
}

// The remote video's name from the defaults, whatever its URL says, and the hash handed over to
// the main thread when it comes from another.
TEST_F(SubtitleServiceTest, AHashFromAnotherThreadIsLookedUpOnTheMainThread) {
    defaults_.setString("file-name", "Clip (2019) & more.mp4");
    mainThread_.current_ = false;
    std::thread([this] { lookUp("http://media.test/watch?v=17", {0x2a, ~0ULL}); }).join();
    test::runEventLoopFor(50ms);
    EXPECT_EQ(server_.requestCount(), 0u);
    EXPECT_TRUE(state_.videoFileName.isEmpty());
    mainThread_.current_ = true;
    EXPECT_EQ(mainThread_.runAll(), 1u);
    waitForOutcome(0ms);
    EXPECT_EQ(state_.videoFileName, "Clip (2019) & more.mp4");
    EXPECT_EQ(server_.requests("/Player/GetSubtitlesToDownload").at(0).body,
              "fileSize=18446744073709551615&movieHash=2a&fileName=Clip+%282019%29+%26+more.mp4"
              "&targetLanguageCode=eng&nativeLanguageCode=");
}

// A second video while the first one's lookup, downloads or upload are still under way: what
// comes late for the first reaches neither the second's upload nor its launch.
TEST_F(SubtitleServiceTest, TheFirstVideosLateAnswersAreIgnored) {
    const std::pair<std::string, std::atomic<int>*> cases[] = {
        {"slow.srt", &downloads_}, {"upload", &uploads_}, {"lookup", &lookups_}};
    for (const auto& [late, arrived] : cases) {
        SCOPED_TRACE(late);
        launches_.clear();
        server_.clearRequests();
        const auto delay = [name = late](const char* what) { return what == name ? 400ms : 0ms; };
        answer("lookup",
               {200, lookupAnswer(1, {{sub("slow.srt"), "slow.srt", "11"}}), delay("lookup")});
        answer("slow.srt", {200, "first video", delay("slow.srt")});
        answer("upload", {200, {}, delay("upload")});
        const int before = *arrived;
        lookUp("/v/First.mkv");
        ASSERT_TRUE(test::runEventLoopUntil([at = arrived, before] { return *at > before; }));
        answer("lookup", {200, lookupAnswer(2, {{sub("fast.srt"), "fast.srt", "21"}})});
        answer("fast.srt", {200, "second video"});
        lookUp("/v/Second.mkv");
        waitForOutcome(700ms);  // the first video's answers arrive meanwhile
        EXPECT_EQ(std::tuple(launches_.size(), state_.videoId, state_.videoFileName.toStdString()),
                  std::tuple(1u, 2, "Second.mkv"));
        std::vector<std::string> uploaded;
        for (const auto& upload : server_.requests("/Subtitles/UploadSubtitles"))
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
