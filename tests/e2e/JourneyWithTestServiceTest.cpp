// One video's road through the real app against a test service: the home page reports ready,
// the command-line video is hashed and looked up, its subtitle is fetched and uploaded, the
// player page plays it and gets its values, and the end of the video brings the home page back.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrlQuery>
#include <atomic>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

#include "LirraProcess.h"
#include "hash/OSHashAlgorithm.h"
#include "support/LoopbackHttpServer.h"

namespace lirra::test {
namespace {

using namespace std::chrono_literals;

const char kBridgeScript[] = R"(
// Every report carries all reports so far: one that is lost on the way is in the next one.
var reported = {};
function report(kind, value) {
  (reported[kind] = reported[kind] || []).push(String(value));
  fetch('/report/' + reportFrom, {method: 'POST', body: JSON.stringify(reported)});
}
function send(url) {
  var frame = document.createElement('iframe');
  frame.style.display = 'none';
  frame.src = url;
  document.body.appendChild(frame);
  setTimeout(function () { frame.remove(); }, 2000);
}
)";

std::string homePage() {
    return std::string(R"(<!doctype html><html><head><meta charset="utf-8">
<script src="/static/jquery.js"></script></head>
<body style="background:#e8f0ff;font:32px sans-serif"><h1>Test home page</h1>
<span id="selectedLanguage"><span class="flag small spa"></span></span>
<script>var reportFrom = 'home';)") +
           kBridgeScript + R"(
$(window).on('refreshLevel', function () { report('refreshLevel', 1); });
$(function () { send('app:///Execute/EnableDraggableHomeScreen'); report('homeReady', 1); });
</script></body></html>)";
}

std::string playerPage() {
    return std::string(R"(<!doctype html><html><head><meta charset="utf-8">
<style>html, body { background: transparent; margin: 0; }
#next-sub { position: absolute; bottom: 40px; width: 100%; text-align: center;
  font: bold 40px sans-serif; color: #ffff00; }</style>
<script src="/static/jquery.js"></script></head>
<body><div id="next-sub">Hello, learner</div><script>var reportFrom = 'player';)") +
           kBridgeScript + R"(
var times = 0;
$(window).on('timeUpdate', function (e, ms) { if (times++ < 60) report('timeUpdate', ms); });
['Duration', 'Volume', 'AudioInfo', 'FileName', 'IsFullscreen', 'PlaybackSpeed'].forEach(function (name) {
  $(window).on('response:g-' + name, function (e, value) {
    report(name, typeof value + ':' + JSON.stringify(value));
  });
  send('app:///Request/' + name + '?guid=g-' + name);
});
</script></body></html>)";
}

const char kSubtitle[] = "1\r\n00:00:00,500 --> 00:00:02,000\r\nHello, learner\r\n";

class TestService {
  public:
    TestService() {
        auto& s = server_.server();
        const std::string jquery = readFile("/usr/share/javascript/jquery/jquery.min.js");
        s.Get("/static/jquery.js", [jquery](const httplib::Request&, httplib::Response& res) {
            res.set_content(jquery, "application/javascript");
        });
        s.Get("/Player/Home", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(homePage(), "text/html");
        });
        s.Get("/Player/Play", [this](const httplib::Request&, httplib::Response& res) {
            // A page that never comes: held until the test ends.
            while (holdPlayerPage_) std::this_thread::sleep_for(20ms);
            res.set_content(playerPage(), "text/html");
        });
        s.Post("/Player/GetSubtitlesToDownload", [this](const httplib::Request&,
                                                        httplib::Response& res) {
            lookupArrived_ = true;
            // Long enough for a picture of the loader.
            std::this_thread::sleep_for(lookupDelay_);
            res.set_content(R"({"videoId": 7, "subsToDownload": [{"subtitleId": 11,
                "subFileName": "My Clip.en.srt", "downloadUrl": ")" +
                                server_.url("/subs/11") + R"(", "mustBeDownloaded": true}]})",
                            "application/octet-stream");
        });
        s.Get("/subs/11", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(kSubtitle, "application/octet-stream");
        });
        s.Post("/Subtitles/UploadSubtitles",
               [this](const httplib::Request& req, httplib::Response& res) {
                   // The multipart parts arrive parsed, not in the recorded body.
                   std::lock_guard lock(mutex_);
                   for (const auto& [name, file] : req.files) {
                       uploadedParts_.push_back(name + "|" + file.filename + "|" + file.content);
                   }
                   res.set_content("{}", "application/octet-stream");
               });
        s.Post(R"(/report/(home|player))", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("", "text/plain");
        });
    }

    bool start() { return server_.start(); }
    std::string url() const { return server_.url("/"); }
    bool lookupArrived() const { return lookupArrived_; }
    std::vector<std::string> uploadedParts() const {
        std::lock_guard lock(mutex_);
        return uploadedParts_;
    }
    std::chrono::milliseconds lookupDelay_ = 3s;
    std::atomic<bool> holdPlayerPage_ = false;

    std::vector<RecordedRequest> requestsTo(const std::string& path) const {
        std::vector<RecordedRequest> found;
        for (const auto& request : server_.requests()) {
            if (request.path == path) found.push_back(request);
        }
        return found;
    }
    // The reports of one kind, in order, from the fullest report each page sent.
    std::vector<std::string> reports(const std::string& kind) const {
        std::vector<std::string> values;
        for (const std::string page : {"home", "player"}) {
            QJsonObject fullest;
            int fullestCount = -1;
            for (const auto& request : requestsTo("/report/" + page)) {
                const QJsonObject all =
                    QJsonDocument::fromJson(QByteArray::fromStdString(request.body)).object();
                int count = 0;
                for (const auto& entries : all) count += entries.toArray().size();
                if (count > fullestCount) {
                    fullest = all;
                    fullestCount = count;
                }
            }
            for (const auto& value : fullest.value(QString::fromStdString(kind)).toArray()) {
                values.push_back(value.toString().toStdString());
            }
        }
        return values;
    }
    // Which reports arrived and how many of each, for failure messages.
    std::string reportSummary() const {
        std::map<std::string, int> counts;
        for (const auto& request : server_.requests()) ++counts[request.target];
        std::string summary = "reports:";
        for (const auto& [target, count] : counts) {
            summary += " " + target + " x" + std::to_string(count);
        }
        return summary + "\n";
    }
    bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) const {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            if (done()) return true;
            std::this_thread::sleep_for(50ms);
        }
        return done();
    }

  private:
    LoopbackHttpServer server_;
    std::atomic<bool> lookupArrived_ = false;
    mutable std::mutex mutex_;
    std::vector<std::string> uploadedParts_;  // "name|filename|content"
};

// The first of `items`, or an empty one: a journey that went wrong fails its checks, not the run.
template <typename T>
T first(const std::vector<T>& items) {
    return items.empty() ? T{} : items.front();
}

std::string expectedHashText(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray begin = file.read(65536);
    file.seek(file.size() - 65536);
    const QByteArray end = file.read(65536);
    const auto hash = OSHashAlgorithm::hashWithFileSize(file.size(), begin, end);
    return hash ? OSHashAlgorithm::stringForHash(hash->fileHash) : "";
}

TEST(Journey, TheHomePageIsPaintedInAFreshWindow) {
    TestService service;
    ASSERT_TRUE(service.start());
    LirraProcess lirra({"--base-url", QString::fromStdString(service.url())});
    ASSERT_TRUE(lirra.started());
    ASSERT_TRUE(service.waitFor([&] { return !service.reports("homeReady").empty(); }, 90s))
        << lirra.log().toStdString();
    // The page's pale blue, not the grey of the loader beneath a page that was never drawn.
    const auto painted = [&] {
        return countPixelsNear(takeScreenshot("journey-0-home"), 0xe8, 0xf0, 0xff, 8) > 20000;
    };
    EXPECT_TRUE(service.waitFor(painted, 10s));
    EXPECT_EQ(lirra.quit(), 0);
}

TEST(Journey, AVideoFromTheCommandLinePlaysUnderThePlayerPageAndReturnsHome) {
    QTemporaryDir media;
    const QString clip = makeClip(media.path(), "My Clip.mkv", 10);
    ASSERT_FALSE(clip.isEmpty());
    TestService service;
    ASSERT_TRUE(service.start());

    LirraProcess lirra({"--base-url", QString::fromStdString(service.url()), clip});
    ASSERT_TRUE(lirra.started());

    ASSERT_TRUE(service.waitFor([&] { return !service.reports("homeReady").empty(); }, 90s))
        << lirra.log().toStdString();
    ASSERT_TRUE(service.waitFor([&] { return service.lookupArrived(); }, 30s))
        << lirra.log().toStdString();
    std::this_thread::sleep_for(700ms);
    const QString loaderShot = takeScreenshot("journey-1-loader");
    EXPECT_FALSE(loaderShot.isEmpty());

    // The lookup: the file's hash and name, and the language chosen on the home page.
    ASSERT_TRUE(service.waitFor(
        [&] { return !service.requestsTo("/Player/GetSubtitlesToDownload").empty(); }, 30s));
    const RecordedRequest lookup = first(service.requestsTo("/Player/GetSubtitlesToDownload"));
    const QUrlQuery form(QString::fromStdString(lookup.body));
    EXPECT_EQ(form.queryItemValue("movieHash").toStdString(), expectedHashText(clip));
    EXPECT_EQ(form.queryItemValue("fileSize").toLongLong(), QFileInfo(clip).size());
    EXPECT_NE(lookup.body.find("fileName=My+Clip.mkv"), std::string::npos);
    EXPECT_EQ(form.queryItemValue("nativeLanguageCode"), "spa");
    EXPECT_EQ(form.queryItemValue("targetLanguageCode"), "eng");

    // The subtitle the service asked for goes back to it.
    ASSERT_TRUE(service.waitFor(
        [&] { return !service.requestsTo("/Subtitles/UploadSubtitles").empty(); }, 30s));
    EXPECT_EQ(service.uploadedParts(),
              std::vector<std::string>{std::string("11|My Clip.en.srt|") + kSubtitle});

    ASSERT_TRUE(service.waitFor([&] { return !service.reports("timeUpdate").empty(); }, 60s))
        << service.reportSummary() << lirra.log().toStdString();
    // The page's first frame may come a moment after its first event: look until it shows.
    QString playingShot;
    const bool textShown = service.waitFor(
        [&] {
            playingShot = takeScreenshot("journey-2-playing");
            return countPixelsNear(playingShot, 255, 255, 0) > 200;
        },
        8s);
    // The player page for the video gets its values as the player learns them.
    ASSERT_TRUE(service.waitFor([&] { return !service.reports("Volume").empty(); }, 60s))
        << service.reportSummary() << lirra.log().toStdString();
    ASSERT_TRUE(service.waitFor([&] { return !service.reports("Duration").empty(); }, 30s));
    ASSERT_TRUE(service.waitFor([&] { return !service.reports("AudioInfo").empty(); }, 30s));
    ASSERT_EQ(first(service.requestsTo("/Player/Play")).target, "/Player/Play?videoId=7");
    EXPECT_EQ(first(service.reports("Volume")), "number:200");
    const std::string duration = first(service.reports("Duration"));
    ASSERT_EQ(duration.rfind("number:", 0), 0u) << duration;
    EXPECT_NEAR(std::stod(duration.substr(7)), 10000, 300);
    EXPECT_EQ(first(service.reports("AudioInfo")),
              R"(object:{"audioTracks":{"English":1},"audioTrack":1})");
    EXPECT_EQ(first(service.reports("FileName")), R"(string:"My Clip.mkv")");
    EXPECT_EQ(first(service.reports("IsFullscreen")), "boolean:false");
    EXPECT_EQ(first(service.reports("PlaybackSpeed")), "number:1");

    ASSERT_FALSE(playingShot.isEmpty());
    // The video (red above, blue below) shows through the page, whose text is yellow.
    EXPECT_GT(countPixelsNear(playingShot, 255, 0, 0), 5000);
    EXPECT_GT(countPixelsNear(playingShot, 0, 0, 255), 5000);
    EXPECT_TRUE(textShown);

    // The end of the video brings back the home page without reloading it.
    ASSERT_TRUE(service.waitFor([&] { return !service.reports("refreshLevel").empty(); }, 60s))
        << lirra.log().toStdString();
    EXPECT_EQ(service.requestsTo("/Player/Home").size(), 1u);
    const auto times = service.reports("timeUpdate");
    ASSERT_FALSE(times.empty());
    EXPECT_LT(std::stod(times.front()), std::stod(times.back()));
    EXPECT_FALSE(takeScreenshot("journey-3-home-again").isEmpty());

    EXPECT_EQ(lirra.quit(), 0);
}

// The video waits for its player page at most for a bound; a page that never loads does not
// keep it from playing.
TEST(Journey, APlayerPageThatNeverLoadsStillLetsTheVideoPlayAfterTheBound) {
    QTemporaryDir media;
    const QString clip = makeClip(media.path(), "My Clip.mkv", 10);
    ASSERT_FALSE(clip.isEmpty());
    TestService service;
    service.lookupDelay_ = 0ms;
    service.holdPlayerPage_ = true;
    ASSERT_TRUE(service.start());

    LirraProcess lirra({"--verbose", "--base-url", QString::fromStdString(service.url()), clip});
    ASSERT_TRUE(lirra.started());
    ASSERT_TRUE(lirra.waitForLog("Successfully uploaded all downloaded subtitles", 90s))
        << lirra.log().toStdString();
    ASSERT_TRUE(lirra.waitForLog("The player page is still loading: the video plays", 20s))
        << lirra.log().toStdString();
    // The engine's time moves on while the page still has not come, and only once the bound
    // has passed: until then the video rested on its first frame.
    static const QRegularExpression kMoving(QStringLiteral("trigger\\('timeUpdate', [1-9]\\d\\d"));
    EXPECT_TRUE(service.waitFor([&] { return lirra.log().contains(kMoving); }, 20s))
        << lirra.log().toStdString();
    const QString log = lirra.log();
    EXPECT_LT(log.indexOf("The player page is still loading"), kMoving.match(log).capturedStart())
        << log.toStdString();
    EXPECT_FALSE(lirra.log().contains("Page loaded: " + QString::fromStdString(service.url()) +
                                      "Player/Play"))
        << lirra.log().toStdString();
    EXPECT_TRUE(lirra.isRunning());
    service.holdPlayerPage_ = false;
    EXPECT_EQ(lirra.quit(), 0);
}

}  // namespace
}  // namespace lirra::test
