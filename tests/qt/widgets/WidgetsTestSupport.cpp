#include "WidgetsTestSupport.h"

#include <QWebEnginePage>

#include "platform/qt/widgets/QtWebView.h"

namespace lirra::test {

PageServer::PageServer() {
    // One request per connection: the engine keeps idle connections open, which would hold
    // the server's stop() up for the keep-alive time-out.
    server_.server().set_keep_alive_max_count(1);
    server_.server().Get(R"(/.*)", [this](const httplib::Request& req, httplib::Response& res) {
        const auto found = pages_.find(req.path);
        if (found == pages_.end()) {
            res.status = 404;
            return;
        }
        res.set_content(found->second, "text/html; charset=utf-8");
    });
}

void PageServer::page(const std::string& path, const std::string& html) { pages_[path] = html; }

bool loadAndWait(QtWebView& view, const std::string& url, std::chrono::milliseconds timeout) {
    bool finished = false, ok = false;
    auto connection =
        QObject::connect(view.page(), &QWebEnginePage::loadFinished, [&](bool success) {
            finished = true;
            ok = success;
        });
    view.loadUrl(QUrl(QString::fromStdString(url)));
    runEventLoopUntil([&] { return finished; }, timeout);
    QObject::disconnect(connection);
    return finished && ok;
}

bool waitForPaint(QtWebView& view) {
    view.evaluateScriptAsync(
        "window.lirraPainted = false;"
        "requestAnimationFrame(function () {"
        "  requestAnimationFrame(function () { window.lirraPainted = true; }); })");
    return runEventLoopUntil([&] { return view.evaluateScript("window.lirraPainted") == "true"; },
                             std::chrono::seconds(5));
}

}  // namespace lirra::test
