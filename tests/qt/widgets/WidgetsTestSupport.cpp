#include "WidgetsTestSupport.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWebEnginePage>
#include <fstream>
#include <sstream>

#include "platform/qt/widgets/QtWebView.h"

namespace lirra::test {

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

PageServer::PageServer() {
    // One request per connection: the engine keeps idle connections open, which would hold
    // the server's stop() up for the keep-alive time-out.
    server_.server().set_keep_alive_max_count(1);
    const std::string jquery = readFile("/usr/share/javascript/jquery/jquery.min.js");
    server_.server().Get("/jquery.js", [jquery](const httplib::Request&, httplib::Response& res) {
        res.set_content(jquery, "application/javascript");
    });
    server_.server().Get(R"(/page/.*)",
                         [this](const httplib::Request& req, httplib::Response& res) {
                             std::lock_guard lock(mutex_);
                             const auto found = pages_.find(req.path);
                             if (found == pages_.end()) {
                                 res.status = 404;
                                 return;
                             }
                             res.set_content(found->second, "text/html; charset=utf-8");
                         });
}

void PageServer::page(const std::string& path, const std::string& html) {
    std::lock_guard lock(mutex_);
    pages_[path] = html;
}

bool loadAndWait(QtWebView& view, const std::string& url, std::chrono::milliseconds timeout) {
    bool finished = false;
    bool ok = false;
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

QImage grabFromScreen(const QWidget& widget) {
    QScreen* screen = widget.screen() ? widget.screen() : QGuiApplication::primaryScreen();
    const QPoint topLeft = widget.mapToGlobal(QPoint(0, 0)) - screen->geometry().topLeft();
    return screen->grabWindow(0, topLeft.x(), topLeft.y(), widget.width(), widget.height())
        .toImage();
}

bool closeTo(QColor a, QColor b, int tolerance) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

bool waitForPixel(const QWidget& widget, QPoint point, QColor color,
                  std::chrono::milliseconds timeout) {
    return runEventLoopUntil(
        [&] {
            const QImage image = grabFromScreen(widget);
            return image.valid(point) && closeTo(image.pixelColor(point), color);
        },
        timeout);
}

}  // namespace lirra::test
