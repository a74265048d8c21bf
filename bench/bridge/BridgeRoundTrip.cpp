// SPDX-License-Identifier: GPL-3.0-or-later
// Round trip of a page's data request: the page asks app:///Request/IsFullscreen through the
// pages' own bridge module (server/web/bridge.js: through the view's channel, and in turn through
// a hidden iframe per message as without the channel), the app answers with the "response:"
// event, the page times it. Prints the median and the 99th percentile of each way over 300
// requests while a video plays, or with --paused while it rests paused.
// With --segments the app runs with LIRRA_BRIDGE_TIMING and the time of each step is printed
// too (BridgeSegments.h); those figures carry the readings' own cost, the plain run does not.
// Run under a display: bench/bridge/run [BUILD] [--paused] [--segments]
#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "BridgeSegments.h"
#include "e2e/LirraProcess.h"
#include "support/LoopbackHttpServer.h"

using namespace std::chrono_literals;

namespace {

// The bridge's frames hidden as the pages' style sheet hides them; PAUSED becomes true or false.
const char kPlayerPage[] = R"(<!doctype html><html><head><meta charset="utf-8">
<script src="/static/jquery.js"></script><script src="/static/bridge.js"></script></head>
<style>iframe.bridge { position: absolute; width: 0; height: 0; border: 0; visibility: hidden; }
</style><body style="background:transparent">
<p style="color:#ff0;font:30px sans-serif">measuring</p><script>
var asked = {}, sent = {}, answered = {}, framed = {}, count = 0, total = 600;
function stamped(bridge) {
  var navigate = bridge.navigate;
  bridge.navigate = function (url) {
    var guid = /guid=([\w-]+)/.exec(url);
    if (guid) sent[guid[1]] = performance.now();
    navigate(url);
  };
  return bridge;
}
// The view's channel and, made without its key, the iframes, taken in turn.
var bridge = stamped(Lirra.bridge.forPage(window, $));
var key = window.lirraBridgeChannel;
delete window.lirraBridgeChannel;
var frames = stamped(Lirra.bridge.forPage(window, $));
window.lirraBridgeChannel = key;
function ask() {
  var began = performance.now(), through = count % 2 ? frames : bridge;
  var guid = through.request('IsFullscreen', function () {
    answered[guid] = performance.now();
    if (++count < total) setTimeout(ask, 5); else
      fetch('/result', {method: 'POST', body: JSON.stringify(
          {asked: asked, sent: sent, answered: answered, framed: framed})});
  });
  asked[guid] = began;
  if (through === frames) framed[guid] = true;
}
$(window).one('timeUpdate', function () {
  if (PAUSED) bridge.command('Pause');
  setTimeout(ask, 500);
});
</script></body></html>)";

const char kHomePage[] = R"(<!doctype html><html><head><script src="/static/jquery.js"></script>
</head><body><h1>bench</h1><script>
$(function () {
  var frame = document.createElement('iframe');
  frame.style.display = 'none';
  frame.src = 'app:///Execute/EnableDraggableHomeScreen';
  document.body.appendChild(frame);
});</script></body></html>)";

std::string fileText(const char* path) {
    QFile file(QString::fromUtf8(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    bool paused = false, segments = false;
    for (int i = 1; i < argc; ++i) {
        paused = paused || std::strcmp(argv[i], "--paused") == 0;
        segments = segments || std::strcmp(argv[i], "--segments") == 0;
    }
    if (segments) qputenv("LIRRA_BRIDGE_TIMING", "1");
    QTemporaryDir media;
    const QString clip = lirra::test::makeClip(media.path(), "bench.mkv", 60);
    if (clip.isEmpty()) return 1;

    lirra::test::LoopbackHttpServer service;
    auto& s = service.server();
    const std::string jquery = fileText("/usr/share/javascript/jquery/jquery.min.js");
    const std::string bridgeModule = fileText(LIRRA_WEB_DIR "/bridge.js");
    if (jquery.empty() || bridgeModule.empty()) return 1;
    std::string page = kPlayerPage;
    page.replace(page.find("PAUSED"), 6, paused ? "true" : "false");
    std::string result;
    std::mutex mutex;
    s.Get("/static/jquery.js", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(jquery, "application/javascript");
    });
    s.Get("/static/bridge.js", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(bridgeModule, "application/javascript");
    });
    s.Get("/Player/Home", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(kHomePage, "text/html");
    });
    s.Get("/Player/Play", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(page, "text/html");
    });
    s.Post("/Player/GetSubtitlesToDownload", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(R"({"videoId": 1, "subsToDownload": []})", "application/octet-stream");
    });
    s.Post("/result", [&](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard lock(mutex);
        result = req.body;
        res.set_content("", "text/plain");
    });
    if (!service.start()) return 1;

    lirra::test::LirraProcess lirra({"--base-url", QString::fromStdString(service.url("/")), clip});
    const auto deadline = std::chrono::steady_clock::now() + 120s;
    while (std::chrono::steady_clock::now() < deadline) {
        {
            std::lock_guard lock(mutex);
            if (!result.empty()) break;
        }
        std::this_thread::sleep_for(100ms);
        lirra.log();  // drains the app's output: a full pipe would stall it
    }
    const QJsonObject stamps = QJsonDocument::fromJson(QByteArray::fromStdString(result)).object();
    const lirra::bench::PageStamps pageTimes = lirra::bench::pageStamps(stamps);
    const QJsonObject framed = stamps.value("framed").toObject();
    std::vector<double> times[2];  // through the view's channel, through iframes
    for (const auto& [guid, at] : pageTimes)
        times[framed.contains(guid)].push_back((at.answered - at.asked) / 1000.0);
    if (times[0].empty() || times[1].empty()) {
        std::fprintf(stderr, "no measurements\n%s", lirra.log().toUtf8().constData());
        return 1;
    }
    for (int path = 0; path < 2; ++path) {
        const lirra::bench::Spread spread = lirra::bench::spread(times[path]);
        std::printf(
            "bridge round trip while %s%s: n=%zu median %.2f ms, p99 %.2f ms, max %.2f ms\n",
            paused ? "paused" : "playing", path ? " (iframes, as older pages send)" : "",
            times[path].size(), spread.median, spread.p99, spread.max);
    }
    if (segments) lirra::bench::printSegments(pageTimes, lirra.log());
    lirra.quit();
    return 0;
}
