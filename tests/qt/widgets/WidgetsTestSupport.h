// Shared pieces of the Qt widget tests: a loopback server for test pages (with Debian's
// jQuery), waiting on the event loop, and reading real pixels off the X server.
#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "support/LoopbackHttpServer.h"
#include "support/qt/QtTestLoop.h"

namespace lirra {
class QtWebView;
}

namespace lirra::test {

// Serves "/jquery.js" and the pages given with page(); start() before use.
class PageServer {
  public:
    PageServer();
    bool start() { return server_.start(); }
    // Serves `html` at `path`.
    void page(const std::string& path, const std::string& html);
    std::string url(const std::string& path) const { return server_.url(path); }
    LoopbackHttpServer& loopback() { return server_; }

  private:
    LoopbackHttpServer server_;
    std::mutex mutex_;
    std::map<std::string, std::string> pages_;
};

// Loads `url` in the view and waits for the page to have finished loading.
bool loadAndWait(QtWebView& view, const std::string& url,
                 std::chrono::milliseconds timeout = std::chrono::seconds(15));

// Waits until the page has painted a frame (input is hit-tested against what was painted).
bool waitForPaint(QtWebView& view);

// What the X server shows of `widget` (its window's real pixels, composited web content
// included), in the widget's own coordinates.
QImage grabFromScreen(const QWidget& widget);

// Waits until the pixel at `point` of `widget` on screen is close to `color`.
bool waitForPixel(const QWidget& widget, QPoint point, QColor color,
                  std::chrono::milliseconds timeout = std::chrono::seconds(10));

bool closeTo(QColor a, QColor b, int tolerance = 8);

}  // namespace lirra::test
