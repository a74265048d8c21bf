// QtWebView against the real web engine: bridge navigations, progress, script evaluation,
// transparency, drops, keys and file buttons, with pages from a loopback server.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineView>
#include <memory>

#include "WidgetsTestSupport.h"
#include "platform/NotificationCenter.h"
#include "platform/qt/widgets/QtWebView.h"

namespace lirra {
namespace {

using namespace std::chrono_literals;
using test::runEventLoopFor;
using test::runEventLoopUntil;

const char kBridgePage[] = R"(<!DOCTYPE html>
<html><head><script src="/jquery.js"></script></head>
<body style="margin:0">
<p id="text">bridge</p>
<script>
function byLocation(prefix, n) {
    for (var i = 0; i < n; i++) window.location.href = 'app:///Execute/' + prefix + i;
}
function byIframe(prefix, n) {
    for (var i = 0; i < n; i++) {
        var frame = document.createElement('iframe');
        frame.style.display = 'none';
        frame.src = 'app:///Execute/' + prefix + i;
        document.body.appendChild(frame);
    }
}
function realIframe(src) {
    var frame = document.createElement('iframe');
    frame.src = src;
    document.body.appendChild(frame);
}
</script></body></html>)";

// Decides like the app: bridge URLs are refused, everything else loads.
class RecordingPolicy : public WebPolicyDelegate {
  public:
    NavigationPolicy decidePolicyForNavigation(WebView&, const QUrl& url) override {
        seen.append(url.toString());
        if (onDecide) onDecide();
        return url.scheme() == QLatin1String("app") ? NavigationPolicy::Ignore
                                                    : NavigationPolicy::Use;
    }
    QStringList bridgeUrls() const {
        QStringList bridge;
        for (const QString& url : seen)
            if (url.startsWith("app:")) bridge.append(url);
        return bridge;
    }
    QStringList seen;
    std::function<void()> onDecide;
};

class WebViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        server.page("/page/bridge", kBridgePage);
        ASSERT_TRUE(server.start());
        window.resize(400, 300);
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(view->widget());
        window.show();
        center.addObserver(kWebViewProgressStartedNotification, static_cast<WebView*>(view.get()),
                           [this](const Notification&) { ++started; });
        center.addObserver(kWebViewProgressFinishedNotification, static_cast<WebView*>(view.get()),
                           [this](const Notification&) { ++finished; });
        view->setPolicyDelegate(&policy);
    }

    void TearDown() override { view.reset(); }

    QStringList expectedUrls(const QString& prefix, int count) const {
        QStringList urls;
        for (int i = 0; i < count; ++i)
            urls.append(QStringLiteral("app:///Execute/%1%2").arg(prefix).arg(i));
        return urls;
    }

    test::PageServer server;
    NotificationCenter center;
    QWidget window;
    std::unique_ptr<QtWebView> view = std::make_unique<QtWebView>(center);
    RecordingPolicy policy;
    int started = 0;
    int finished = 0;
};

TEST_F(WebViewTest, BridgeNavigationsReachThePolicyInOrderAndPostNoProgress) {
    ASSERT_TRUE(test::loadAndWait(*view, server.url("/page/bridge")));
    EXPECT_EQ(policy.seen.value(0).toStdString(), server.url("/page/bridge"));
    EXPECT_EQ(started, 1);
    runEventLoopUntil([&] { return finished == 1; }, 2s);
    EXPECT_EQ(finished, 1);

    // Ten location changes in one task, then ten hidden iframes in one task.
    view->evaluateScriptAsync("byLocation('Loc', 10)");
    ASSERT_TRUE(runEventLoopUntil([&] { return policy.bridgeUrls().size() >= 10; }, 5s));
    view->evaluateScriptAsync("byIframe('Frame', 10)");
    ASSERT_TRUE(runEventLoopUntil([&] { return policy.bridgeUrls().size() >= 20; }, 5s));
    runEventLoopFor(300ms);  // nothing else is coming
    EXPECT_EQ(policy.bridgeUrls(), expectedUrls("Loc", 10) + expectedUrls("Frame", 10));

    // The page stayed, and none of the refused navigations counted as progress.
    EXPECT_EQ(view->evaluateScript("document.getElementById('text').textContent"), "bridge");
    EXPECT_EQ(started, 1);
    EXPECT_EQ(finished, 1);
}

TEST_F(WebViewTest, OnlyMainFrameLoadsPostProgress) {
    server.page("/page/other", "<html><body>other</body></html>");
    ASSERT_TRUE(test::loadAndWait(*view, server.url("/page/bridge")));
    runEventLoopUntil([&] { return finished == 1; }, 2s);

    // A real iframe loads without reporting progress of the view.
    view->evaluateScriptAsync(
        QString::fromStdString("realIframe('" + server.url("/page/other") + "')"));
    ASSERT_TRUE(runEventLoopUntil([&] { return server.loopback().requestCount() >= 3; },
                                  5s));  // page, jquery, frame
    runEventLoopFor(300ms);
    EXPECT_EQ(started, 1);
    EXPECT_EQ(finished, 1);

    // A page's own main-frame navigation is a load like any other.
    view->evaluateScriptAsync(
        QString::fromStdString("window.location.href = '" + server.url("/page/other") + "'"));
    ASSERT_TRUE(runEventLoopUntil([&] { return finished == 2; }, 5s));
    EXPECT_EQ(started, 2);
}

TEST_F(WebViewTest, SynchronousEvaluationGivesTheStringFormOfTheValue) {
    ASSERT_TRUE(test::loadAndWait(*view, server.url("/page/bridge")));
    const std::pair<const char*, const char*> rows[] = {
        {"0.1 + 0.2", "0.30000000000000004"},
        {"1 < 2", "true"},
        {"$('#text').offset().top", "16"},  // jQuery is there
        {"({a: 1})", ""},
        {"throw new Error('no')", ""},
        {"this is not javascript (", ""},
        // A statement list answers with its last value, and state persists between scripts.
        {"var kept = 'x'; kept + 'y'", "xy"},
        {"kept", "x"},
    };
    for (const auto& [script, value] : rows) EXPECT_EQ(view->evaluateScript(script), value);
}

TEST_F(WebViewTest, EvaluationFromInsideThePolicyTimesOutInsteadOfDeadlocking) {
    ASSERT_TRUE(test::loadAndWait(*view, server.url("/page/bridge")));
    QString inside = "unset";
    qint64 waitedMs = 0;
    bool armed = true;
    policy.onDecide = [&] {
        if (!armed) return;
        armed = false;
        QElapsedTimer timer;
        timer.start();
        inside = view->evaluateScript("1 + 1");
        waitedMs = timer.elapsed();
    };
    view->evaluateScriptAsync("byLocation('Inside', 1)");
    ASSERT_TRUE(runEventLoopUntil([&] { return inside != "unset"; }, 10s));
    // Either the engine answers or the wait ends at the time-out; the view stays usable.
    if (inside.isEmpty()) {
        EXPECT_GE(waitedMs, QtWebView::kEvaluationTimeoutMs - 100);
    }
    EXPECT_LE(waitedMs, QtWebView::kEvaluationTimeoutMs + 1000);
    EXPECT_EQ(view->evaluateScript("2 + 2"), "4");
}

// A bridge command handled after the refusal reading the page synchronously, as the app reads
// the learner's language: the end-to-end journeys.

TEST_F(WebViewTest, AsynchronousEvaluationsRunInTheOrderSent) {
    ASSERT_TRUE(test::loadAndWait(*view, server.url("/page/bridge")));
    view->evaluateScriptAsync("window.order = []");
    QStringList expected;
    for (int i = 0; i < 100; ++i) {
        view->evaluateScriptAsync(QStringLiteral("order.push(%1)").arg(i));
        expected.append(QString::number(i));
    }
    ASSERT_TRUE(
        runEventLoopUntil([&] { return view->evaluateScript("order.length") == "100"; }, 5s));
    EXPECT_EQ(view->evaluateScript("order.join(',')"), expected.join(','));
}

TEST_F(WebViewTest, EvaluationInAViewThatLoadedNothingDoesNotHang) {
    QElapsedTimer timer;
    timer.start();
    const QString value = view->evaluateScript("1 + 1");
    EXPECT_TRUE(value == "2" || value.isEmpty()) << value.toStdString();
    EXPECT_LE(timer.elapsed(), QtWebView::kEvaluationTimeoutMs + 1000);
}

// A page without background over what lies beneath: WindowsTest (the player layers).

// Accepts a single file, as the app does, and records what it was offered.
class RecordingDragReceiver : public DragReceiver {
  public:
    bool performDragOperation(WebView&, const QStringList& names) override {
        offered.append(names.join('|'));
        return names.size() == 1;
    }
    void concludeDragOperation(WebView&, const QStringList& names) override {
        concluded.append(names.join('|'));
    }
    QStringList offered;
    QStringList concluded;
};

// Sends a drag-enter and a drop with these URLs to the widget that gets real drops.
bool simulateDrop(QWidget& target, const QList<QUrl>& urls) {
    QMimeData mime;
    mime.setUrls(urls);
    const QPoint at(50, 50);
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton,
                          Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &enter);
    QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton,
                    Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &drop);
    runEventLoopFor(50ms);
    return drop.isAccepted();
}

TEST_F(WebViewTest, FileDropsGoToTheReceiverOnlyOnceRegisteredAndNeverToThePage) {
    ASSERT_TRUE(test::loadAndWait(*view, server.url("/page/bridge")));
    view->evaluateScript(
        "window.drops = 0; ['dragenter', 'dragover', 'drop'].forEach(function (name) {"
        "  document.addEventListener(name, function () { window.drops++; }, true); }); 0");
    RecordingDragReceiver receiver;
    view->setDragReceiver(&receiver);
    QWidget* target = view->engineView()->focusProxy();
    ASSERT_NE(target, nullptr);
    const QUrl video = QUrl::fromLocalFile("/tmp/video one.mkv");
    const QUrl other = QUrl::fromLocalFile("/tmp/other.mkv");

    EXPECT_FALSE(simulateDrop(*target, {video}));  // not registered yet
    EXPECT_TRUE(receiver.offered.isEmpty());

    view->registerForDraggedFileNames();
    EXPECT_FALSE(simulateDrop(*target, {video, other}));  // two files: the receiver refuses
    EXPECT_FALSE(simulateDrop(*target, {QUrl("http://example.invalid/a.mkv")}));  // not a file
    EXPECT_TRUE(receiver.concluded.isEmpty());
    // Offered on entering and on the drop.
    EXPECT_EQ(receiver.offered, QStringList({"/tmp/video one.mkv|/tmp/other.mkv",
                                             "/tmp/video one.mkv|/tmp/other.mkv"}));

    EXPECT_TRUE(simulateDrop(*target, {video}));
    ASSERT_TRUE(runEventLoopUntil([&] { return !receiver.concluded.isEmpty(); }, 2s));
    EXPECT_EQ(receiver.concluded, QStringList({"/tmp/video one.mkv"}));

    // The page saw none of it.
    runEventLoopFor(200ms);
    EXPECT_EQ(view->evaluateScript("window.drops"), "0");
}

// Counts the key presses that reach it from its children.
class KeyCountingWidget : public QWidget {
  public:
    int keys = 0;

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        ++keys;
        event->accept();
    }
};

TEST_F(WebViewTest, KeyPressesThePageDoesNotTakeGoNoFurther) {
    KeyCountingWidget parent;
    parent.resize(300, 200);
    auto* layout = new QVBoxLayout(&parent);
    layout->addWidget(view->widget());
    parent.show();
    ASSERT_TRUE(test::loadAndWait(*view, server.url("/page/bridge")));
    view->evaluateScript(
        "window.keys = 0; document.addEventListener('keydown', function () { window.keys++; }); 0");
    QWidget* target = view->engineView()->focusProxy();
    ASSERT_NE(target, nullptr);
    target->setFocus();
    for (int i = 0; i < 3; ++i) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
        QCoreApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, "a");
        QCoreApplication::sendEvent(target, &release);
    }
    ASSERT_TRUE(runEventLoopUntil([&] { return view->evaluateScript("window.keys") == "3"; }, 5s));
    runEventLoopFor(300ms);  // unhandled keys come back from the engine later
    EXPECT_EQ(parent.keys, 0);
}

// Chooses the given paths for every file button.
class ChoosingUIDelegate : public WebUIDelegate {
  public:
    void runOpenPanelForFileButton(WebView&,
                                   std::function<void(const QStringList&)> choose) override {
        ++asked;
        if (!paths.isEmpty()) choose(paths);
    }
    QStringList paths;
    int asked = 0;
};

TEST_F(WebViewTest, FileButtonsGetTheFilesTheUIDelegateChooses) {
    QTemporaryDir dir;
    const QString path = dir.filePath("lines.srt");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("1\n00:00:01,000 --> 00:00:02,000\nHello\n");
    }
    server.page("/page/file",
                "<html><body style='margin:0'>"
                "<input type='file' id='f' style='position:absolute;left:0;top:0;width:200px;"
                "height:100px'></body></html>");
    ChoosingUIDelegate ui;
    view->setUIDelegate(&ui);
    ASSERT_TRUE(test::loadAndWait(*view, server.url("/page/file")));
    QWidget* target = view->engineView()->focusProxy();
    ASSERT_NE(target, nullptr);

    auto clickFileButton = [&] {
        QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, QPoint(40, 50));
    };
    test::waitForPaint(*view);
    clickFileButton();  // the delegate chooses nothing: the button stays empty
    ASSERT_TRUE(runEventLoopUntil([&] { return ui.asked == 1; }, 5s));
    runEventLoopFor(100ms);
    EXPECT_EQ(view->evaluateScript("document.getElementById('f').files.length"), "0");

    ui.paths = {path};
    clickFileButton();
    ASSERT_TRUE(runEventLoopUntil([&] { return ui.asked == 2; }, 5s));
    ASSERT_TRUE(runEventLoopUntil(
        [&] { return view->evaluateScript("document.getElementById('f').files.length") == "1"; },
        5s));
    EXPECT_EQ(view->evaluateScript("document.getElementById('f').files[0].name"), "lines.srt");
}

}  // namespace
}  // namespace lirra
