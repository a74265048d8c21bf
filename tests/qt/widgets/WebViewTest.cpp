// QtWebView against the real web engine: bridge navigations, progress, script evaluation,
// drops, keys and file buttons, with pages from a loopback server.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMimeData>
#include <QTemporaryFile>
#include <QTest>
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
<body style="margin:0">
<p id="text">bridge</p>
<input type="file" id="f" style="position:absolute;left:200px;top:100px;width:150px;height:90px">
<script>
function frame(src, hidden) {
    var frame = document.createElement('iframe');
    frame.hidden = hidden;
    frame.src = src;
    document.body.appendChild(frame);
}
var drops = 0, keys = 0;
document.ondragenter = document.ondragover = document.ondrop = function () { drops++; };
document.onkeydown = function () { keys++; };
</script></body></html>)";

// Decides like the app: bridge URLs are refused, everything else loads.
class RecordingPolicy : public WebPolicyDelegate {
  public:
    NavigationPolicy decidePolicyForNavigation(WebView&, const QUrl& url) override {
        const bool bridged = url.scheme() == QLatin1String("app");
        (bridged ? bridge : pages).append(url.toString());
        return bridged ? NavigationPolicy::Ignore : NavigationPolicy::Use;
    }
    QStringList bridge, pages;
};

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

class WebViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        server.page("/page/bridge", kBridgePage);
        server.page("/page/other", "<html><body>other</body></html>");
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

    test::PageServer server;
    NotificationCenter center;
    KeyCountingWidget window;
    std::unique_ptr<QtWebView> view = std::make_unique<QtWebView>(center);
    RecordingPolicy policy;
    int started = 0;
    int finished = 0;
};

TEST_F(WebViewTest, BridgeNavigationsReachThePolicyInOrderAndOnlyMainFrameLoadsPostProgress) {
    const QString other = QString::fromStdString(server.url("/page/other"));
    ASSERT_TRUE(test::loadAndWait(*view, server.url("/page/bridge")));
    runEventLoopUntil([&] { return finished == 1; }, 2s);

    // Ten location changes in one task, then ten hidden iframes in one task, then a real frame.
    view->evaluateScriptAsync(
        "for (var i = 0; i < 10; i++) location.href = 'app:///Execute/L' + i");
    ASSERT_TRUE(runEventLoopUntil([&] { return policy.bridge.size() >= 10; }, 5s));
    view->evaluateScriptAsync("for (var i = 0; i < 10; i++) frame('app:///Execute/F' + i, true)");
    ASSERT_TRUE(runEventLoopUntil([&] { return policy.bridge.size() >= 20; }, 5s));
    view->evaluateScriptAsync("frame('" + other + "', false)");
    ASSERT_TRUE(runEventLoopUntil([&] { return server.loopback().requestCount() >= 2; }, 5s));
    runEventLoopFor(300ms);  // nothing else is coming
    QStringList expected;
    for (const char* kind : {"L", "F"}) {
        for (int i = 0; i < 10; ++i)
            expected.append(QStringLiteral("app:///Execute/%1%2").arg(kind).arg(i));
    }
    EXPECT_EQ(policy.bridge, expected);
    EXPECT_EQ(policy.pages,
              QStringList({QString::fromStdString(server.url("/page/bridge")), other}));
    // The page stayed, and neither the refused navigations nor the frame counted as progress.
    EXPECT_EQ(view->evaluateScript("document.getElementById('text').textContent"), "bridge");
    EXPECT_EQ(started, 1);
    EXPECT_EQ(finished, 1);

    // A page's own main-frame navigation is a load like any other.
    view->evaluateScriptAsync("location.href = '" + other + "'");
    ASSERT_TRUE(runEventLoopUntil([&] { return finished == 2; }, 5s));
    EXPECT_EQ(started, 2);
}

TEST_F(WebViewTest, EvaluationGivesTheStringFormOfTheValueAndRunsInTheOrderSent) {
    QElapsedTimer timer;
    timer.start();
    const QString beforeLoad = view->evaluateScript("1 + 1");  // loaded nothing: no hang
    EXPECT_TRUE(beforeLoad == "2" || beforeLoad.isEmpty()) << beforeLoad.toStdString();
    EXPECT_LE(timer.elapsed(), QtWebView::kEvaluationTimeoutMs + 1000);

    ASSERT_TRUE(test::loadAndWait(*view, server.url("/page/bridge")));
    const std::pair<const char*, const char*> rows[] = {
        {"0.1 + 0.2", "0.30000000000000004"},
        {"1 < 2", "true"},
        {"({a: 1})", ""},
        {"null", ""},
        {"throw new Error('no')", ""},
        {"this is not javascript (", ""},
        // A statement list answers with its last value, and state persists between scripts.
        {"var kept = 'x'; kept + 'y'", "xy"},
        {"kept", "x"},
    };
    for (const auto& [script, value] : rows) EXPECT_EQ(view->evaluateScript(script), value);

    view->evaluateScriptAsync("window.order = []");
    for (int i = 0; i < 100; ++i)
        view->evaluateScriptAsync(QStringLiteral("order.push(%1)").arg(i));
    ASSERT_TRUE(
        runEventLoopUntil([&] { return view->evaluateScript("order.length") == "100"; }, 5s));
    EXPECT_EQ(view->evaluateScript("order.every(function (v, i) { return v === i; })"), "true");
}

// Evaluation from inside the policy: the bridge posts its handling (PageBridge); reading the
// page synchronously while a bridge command is handled: the journeys (the learner's language).

// The native side of drops and file buttons: accepts a single dropped file, as the app does,
// and chooses the given paths for every file button.
class NativeSide : public DragReceiver, public WebUIDelegate {
  public:
    bool performDragOperation(WebView&, const QStringList& names) override {
        return names.size() == 1;
    }
    void concludeDragOperation(WebView&, const QStringList& names) override {
        concluded.append(names.join('|'));
    }
    void runOpenPanelForFileButton(WebView&,
                                   std::function<void(const QStringList&)> choose) override {
        ++asked;
        if (!paths.isEmpty()) choose(paths);
    }
    QStringList concluded, paths;
    int asked = 0;
};

// Sends a drag-enter and a drop with these URLs to the widget that gets real drops.
bool simulateDrop(QWidget& target, const QList<QUrl>& urls) {
    QMimeData mime;
    mime.setUrls(urls);
    const auto actions = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(QPoint(50, 50), actions, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &enter);
    QDropEvent drop(QPointF(50, 50), actions, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &drop);
    runEventLoopFor(50ms);
    return drop.isAccepted();
}

// Drops, keys and file buttons: what the page does not handle itself.
TEST_F(WebViewTest, DropsKeysAndFileButtonsReachTheNativeSideOnlyAsTheyShould) {
    QTemporaryFile chosen(QDir::tempPath() + "/lines-XXXXXX.srt");
    ASSERT_TRUE(chosen.open());
    ASSERT_TRUE(test::loadAndWait(*view, server.url("/page/bridge")));
    NativeSide native;
    view->setDragReceiver(&native);
    view->setUIDelegate(&native);
    QWidget* target = view->engineView()->focusProxy();
    ASSERT_NE(target, nullptr);
    const QUrl video = QUrl::fromLocalFile("/tmp/video one.mkv");

    EXPECT_FALSE(simulateDrop(*target, {video}));  // not registered yet
    view->registerForDraggedFileNames();
    EXPECT_FALSE(simulateDrop(*target, {video, video}));  // two files: the receiver refuses
    EXPECT_FALSE(simulateDrop(*target, {QUrl("http://example.invalid/a.mkv")}));  // not a file
    EXPECT_TRUE(simulateDrop(*target, {video}));
    ASSERT_TRUE(runEventLoopUntil([&] { return !native.concluded.isEmpty(); }, 2s));
    EXPECT_EQ(native.concluded, QStringList({"/tmp/video one.mkv"}));

    // Keys the page hears but does not take come back from the engine later, and stop there.
    target->setFocus();
    for (int i = 0; i < 3; ++i) QTest::keyClick(target, Qt::Key_A);
    ASSERT_TRUE(runEventLoopUntil([&] { return view->evaluateScript("keys") == "3"; }, 5s));
    runEventLoopFor(300ms);
    EXPECT_EQ(window.keys, 0);
    EXPECT_EQ(view->evaluateScript("drops"), "0");  // the page saw no drop

    // A file button: nothing chosen leaves it empty (and the next click asks again).
    ASSERT_TRUE(test::waitForPaint(*view));
    const QString files = "document.getElementById('f').files";
    QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, QPoint(250, 150));
    ASSERT_TRUE(runEventLoopUntil([&] { return native.asked == 1; }, 5s));
    runEventLoopFor(100ms);
    EXPECT_EQ(view->evaluateScript(files + ".length"), "0");
    native.paths = {chosen.fileName()};
    QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, QPoint(250, 150));
    ASSERT_TRUE(
        runEventLoopUntil([&] { return view->evaluateScript(files + ".length") == "1"; }, 5s));
    EXPECT_EQ(view->evaluateScript(files + "[0].name"), QFileInfo(chosen.fileName()).fileName());
}

}  // namespace
}  // namespace lirra
