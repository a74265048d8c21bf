// Shared pieces of the Qt widget tests: a loopback server for test pages and waiting on the
// web view.
#pragma once

#include <chrono>
#include <map>
#include <string>

#include "support/LoopbackHttpServer.h"
#include "support/qt/QtTestLoop.h"

namespace lirra {
class QtWebView;
}

namespace lirra::test {

// Serves the pages given with page() (all before start()), 404 elsewhere.
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
    std::map<std::string, std::string> pages_;
};

// Loads `url` in the view and waits for the page to have finished loading.
bool loadAndWait(QtWebView& view, const std::string& url,
                 std::chrono::milliseconds timeout = std::chrono::seconds(15));

// Waits until the page has painted a frame (input is hit-tested against what was painted).
bool waitForPaint(QtWebView& view);

}  // namespace lirra::test
