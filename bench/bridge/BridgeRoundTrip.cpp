// SPDX-License-Identifier: GPL-3.0-or-later
// Round trip of a page's data request while a video plays: the page navigates a hidden iframe to
// app:///Request/IsFullscreen, the app answers with the "response:" event, the page times it.
// Prints the median and the 99th percentile over 300 requests. Run under a display:
//   xvfb-run -a bench/bridge/... (see bench/bridge/run)
#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include "e2e/LirraProcess.h"
#include "support/LoopbackHttpServer.h"

using namespace std::chrono_literals;

namespace {

const char kPlayerPage[] = R"(<!doctype html><html><head><meta charset="utf-8">
<script src="/static/jquery.js"></script></head><body style="background:transparent">
<p style="color:#ff0;font:30px sans-serif">measuring</p><script>
var times = [], count = 0, total = 300, started = 0;
function ask() {
  var guid = 'b' + count;
  $(window).one('response:' + guid, function () {
    times.push(performance.now() - started);
    if (++count < total) setTimeout(ask, 5); else
      fetch('/result', {method: 'POST', body: JSON.stringify(times)});
  });
  var frame = document.createElement('iframe');
  frame.style.display = 'none';
  started = performance.now();
  frame.src = 'app:///Request/IsFullscreen?guid=' + guid;
  document.body.appendChild(frame);
  setTimeout(function () { frame.remove(); }, 1000);
}
$(window).one('timeUpdate', function () { setTimeout(ask, 500); });
</script></body></html>)";

const char kHomePage[] = R"(<!doctype html><html><head><script src="/static/jquery.js"></script>
</head><body><h1>bench</h1><script>
$(function () {
  var frame = document.createElement('iframe');
  frame.style.display = 'none';
  frame.src = 'app:///Execute/EnableDraggableHomeScreen';
  document.body.appendChild(frame);
});</script></body></html>)";

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir media;
    const QString clip = lirra::test::makeClip(media.path(), "bench.mkv", 60);
    if (clip.isEmpty()) return 1;

    lirra::test::LoopbackHttpServer service;
    auto& s = service.server();
    QFile jqueryFile(QStringLiteral("/usr/share/javascript/jquery/jquery.min.js"));
    if (!jqueryFile.open(QIODevice::ReadOnly)) return 1;
    const std::string jquery = jqueryFile.readAll().toStdString();
    std::string result;
    std::mutex mutex;
    s.Get("/static/jquery.js", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(jquery, "application/javascript");
    });
    s.Get("/Player/Home", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(kHomePage, "text/html");
    });
    s.Get("/Player/Play", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(kPlayerPage, "text/html");
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
    }
    std::vector<double> times;
    for (const auto& value : QJsonDocument::fromJson(QByteArray::fromStdString(result)).array()) {
        times.push_back(value.toDouble());
    }
    if (times.empty()) {
        std::fprintf(stderr, "no measurements\n%s", lirra.log().toUtf8().constData());
        return 1;
    }
    std::sort(times.begin(), times.end());
    const auto at = [&](double q) {
        return times[std::min(times.size() - 1, size_t(q * times.size()))];
    };
    std::printf("bridge round trip while playing: n=%zu median %.2f ms, p99 %.2f ms, max %.2f ms\n",
                times.size(), at(0.5), at(0.99), times.back());
    lirra.quit();
    return 0;
}
