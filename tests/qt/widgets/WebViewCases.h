// The WebView cases every implementation passes against the real web engine: bridge
// navigations, progress, script evaluation, drops, keys and file buttons, with pages from a
// loopback server. Each implementation's test instantiates them with a harness:
//
//   explicit Harness(NotificationCenter&);
//   ViewType& view();                    // ViewType::kEvaluationTimeoutMs
//   void show();                         // 400×300, in a parent that counts the keys it gets
//   int parentKeys() const;
//   bool drop(const QList<QUrl>& urls);  // a drag-enter and a drop at (50, 50); accepted?
//   void keyClick(Qt::Key key);          // to the page, which has the focus
//   void click(QPoint at);
//   void destroyView();
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryFile>
#include <any>

#include "WidgetsTestSupport.h"
#include "platform/NotificationCenter.h"
#include "platform/WebView.h"

namespace lirra::test {

inline const char kBridgePage[] = R"(<!DOCTYPE html>
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

template <typename Harness>
class WebViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        server.page("/page/bridge", kBridgePage);
        server.page("/page/other", "<html><body>other</body></html>");
        ASSERT_TRUE(server.start());
        harness.show();
        WebView* view = &harness.view();
        center.addObserver(kWebViewProgressStartedNotification, view,
                           [this](const Notification&) { ++started; });
        center.addObserver(
            kWebViewProgressFinishedNotification, view, [this](const Notification& n) {
                ++finished;
                const auto failed = n.userInfo.find(kWebViewLoadFailedKey);
                lastFailed = failed != n.userInfo.end() && std::any_cast<bool>(failed->second);
            });
        view->setPolicyDelegate(&policy);
    }

    void TearDown() override { harness.destroyView(); }

    auto& view() { return harness.view(); }

    // Loads `url` and waits for its load to finish; whether it loaded.
    bool loadAndWait(const std::string& url) {
        const int before = finished;
        view().loadUrl(QUrl(QString::fromStdString(url)));
        return runEventLoopUntil([&] { return finished > before; }, std::chrono::seconds(15)) &&
               !lastFailed;
    }

    // Waits until the page has painted a frame (input is hit-tested against what was painted).
    bool waitForPaint() {
        view().evaluateScriptAsync(
            "window.lirraPainted = false;"
            "requestAnimationFrame(function () {"
            "  requestAnimationFrame(function () { window.lirraPainted = true; }); })");
        return runEventLoopUntil(
            [&] { return view().evaluateScript("window.lirraPainted") == "true"; },
            std::chrono::seconds(5));
    }

    PageServer server;
    NotificationCenter center;
    Harness harness{center};
    RecordingPolicy policy;
    int started = 0;
    int finished = 0;
    bool lastFailed = false;
};

TYPED_TEST_SUITE_P(WebViewTest);

TYPED_TEST_P(WebViewTest, BridgeNavigationsReachThePolicyInOrderAndOnlyMainFrameLoadsPostProgress) {
    using namespace std::chrono_literals;
    auto& view = this->view();
    auto& policy = this->policy;
    const QString other = QString::fromStdString(this->server.url("/page/other"));
    ASSERT_TRUE(this->loadAndWait(this->server.url("/page/bridge")));

    // Ten location changes in one task, then ten hidden iframes in one task, then a real frame.
    view.evaluateScriptAsync("for (var i = 0; i < 10; i++) location.href = 'app:///Execute/L' + i");
    ASSERT_TRUE(runEventLoopUntil([&] { return policy.bridge.size() >= 10; }, 5s));
    view.evaluateScriptAsync("for (var i = 0; i < 10; i++) frame('app:///Execute/F' + i, true)");
    ASSERT_TRUE(runEventLoopUntil([&] { return policy.bridge.size() >= 20; }, 5s));
    view.evaluateScriptAsync("frame('" + other + "', false)");
    ASSERT_TRUE(runEventLoopUntil([&] { return this->server.loopback().requestCount() >= 2; }, 5s));
    runEventLoopFor(300ms);  // nothing else is coming
    QStringList expected;
    for (const char* kind : {"L", "F"}) {
        for (int i = 0; i < 10; ++i)
            expected.append(QStringLiteral("app:///Execute/%1%2").arg(kind).arg(i));
    }
    EXPECT_EQ(policy.bridge, expected);
    EXPECT_EQ(policy.pages,
              QStringList({QString::fromStdString(this->server.url("/page/bridge")), other}));
    // The page stayed, and neither the refused navigations nor the frame counted as progress.
    EXPECT_EQ(view.evaluateScript("document.getElementById('text').textContent"), "bridge");
    EXPECT_EQ(this->started, 1);
    EXPECT_EQ(this->finished, 1);

    // A page's own main-frame navigation is a load like any other.
    view.evaluateScriptAsync("location.href = '" + other + "'");
    ASSERT_TRUE(runEventLoopUntil([&] { return this->finished == 2; }, 5s));
    EXPECT_EQ(this->started, 2);
    EXPECT_FALSE(this->lastFailed);

    // A page that cannot be reached ends its load as failed (nothing listens on port 1).
    view.loadUrl(QUrl("http://127.0.0.1:1/"));
    ASSERT_TRUE(runEventLoopUntil([&] { return this->finished == 3; }, 10s));
    EXPECT_EQ(this->started, 3);
    EXPECT_TRUE(this->lastFailed);
}

TYPED_TEST_P(WebViewTest, EvaluationGivesTheStringFormOfTheValueAndRunsInTheOrderSent) {
    using namespace std::chrono_literals;
    auto& view = this->view();
    const int timeoutMs = std::remove_reference_t<decltype(view)>::kEvaluationTimeoutMs;
    QElapsedTimer timer;
    timer.start();
    const QString beforeLoad = view.evaluateScript("1 + 1");  // loaded nothing: no hang
    EXPECT_TRUE(beforeLoad == "2" || beforeLoad.isEmpty()) << beforeLoad.toStdString();
    EXPECT_LE(timer.elapsed(), timeoutMs + 1000);

    ASSERT_TRUE(this->loadAndWait(this->server.url("/page/bridge")));
    const std::pair<const char*, const char*> rows[] = {
        {"0.1 + 0.2", "0.30000000000000004"},
        {"1 < 2", "true"},
        {"'text'", "text"},
        {"({a: 1})", ""},
        {"null", ""},
        {"undefined", ""},
        {"throw new Error('no')", ""},
        {"this is not javascript (", ""},
        // A statement list answers with its last value, and state persists between scripts.
        {"var kept = 'x'; kept + 'y'", "xy"},
        {"kept", "x"},
    };
    for (const auto& [script, value] : rows)
        EXPECT_EQ(view.evaluateScript(script), value) << script;

    // A script that answers too late gives "" at the time-out, and its late answer is not
    // taken for the next script's.
    timer.restart();
    EXPECT_EQ(view.evaluateScript("var t = Date.now(); while (Date.now() - t < " +
                                  QString::number(timeoutMs + 1500) + ") {} 'late'"),
              "");
    EXPECT_GE(timer.elapsed(), timeoutMs - 100);
    EXPECT_LE(timer.elapsed(), timeoutMs + 1000);
    EXPECT_EQ(view.evaluateScript("kept"), "x");
    view.evaluateScriptAsync("window.order = []");
    for (int i = 0; i < 100; ++i) view.evaluateScriptAsync(QStringLiteral("order.push(%1)").arg(i));
    ASSERT_TRUE(
        runEventLoopUntil([&] { return view.evaluateScript("order.length") == "100"; }, 5s));
    EXPECT_EQ(view.evaluateScript("order.every(function (v, i) { return v === i; })"), "true");

    // Loading the same URL again starts the page afresh.
    ASSERT_TRUE(this->loadAndWait(this->server.url("/page/bridge")));
    EXPECT_EQ(view.evaluateScript("typeof order"), "undefined");
}

// Drops, keys and file buttons: what the page does not handle itself.
TYPED_TEST_P(WebViewTest, DropsKeysAndFileButtonsReachTheNativeSideOnlyAsTheyShould) {
    using namespace std::chrono_literals;
    auto& view = this->view();
    auto& harness = this->harness;
    QTemporaryFile chosen(QDir::tempPath() + "/lines-XXXXXX.srt");
    ASSERT_TRUE(chosen.open());
    ASSERT_TRUE(this->loadAndWait(this->server.url("/page/bridge")));
    NativeSide native;
    view.setDragReceiver(&native);
    view.setUIDelegate(&native);
    const QUrl video = QUrl::fromLocalFile("/tmp/video one.mkv");

    EXPECT_FALSE(harness.drop({video}));  // not registered yet
    view.registerForDraggedFileNames();
    EXPECT_FALSE(harness.drop({video, video}));  // two files: the receiver refuses
    EXPECT_FALSE(harness.drop({QUrl("http://example.invalid/a.mkv")}));  // not a file
    EXPECT_TRUE(harness.drop({video}));
    ASSERT_TRUE(runEventLoopUntil([&] { return !native.concluded.isEmpty(); }, 2s));
    EXPECT_EQ(native.concluded, QStringList({"/tmp/video one.mkv"}));

    // Keys the page hears but does not take come back from the engine later, and stop there.
    for (int i = 0; i < 3; ++i) harness.keyClick(Qt::Key_A);
    ASSERT_TRUE(runEventLoopUntil([&] { return view.evaluateScript("keys") == "3"; }, 5s));
    runEventLoopFor(300ms);
    EXPECT_EQ(harness.parentKeys(), 0);
    EXPECT_EQ(view.evaluateScript("drops"), "0");  // the page saw no drop

    // A file button: nothing chosen leaves it empty (and the next click asks again).
    ASSERT_TRUE(this->waitForPaint());
    const QString files = "document.getElementById('f').files";
    harness.click(QPoint(250, 150));
    ASSERT_TRUE(runEventLoopUntil([&] { return native.asked == 1; }, 5s));
    runEventLoopFor(100ms);
    EXPECT_EQ(view.evaluateScript(files + ".length"), "0");
    native.paths = {chosen.fileName()};
    harness.click(QPoint(250, 150));
    ASSERT_TRUE(
        runEventLoopUntil([&] { return view.evaluateScript(files + ".length") == "1"; }, 5s));
    EXPECT_EQ(view.evaluateScript(files + "[0].name"), QFileInfo(chosen.fileName()).fileName());
}

REGISTER_TYPED_TEST_SUITE_P(WebViewTest,
                            BridgeNavigationsReachThePolicyInOrderAndOnlyMainFrameLoadsPostProgress,
                            EvaluationGivesTheStringFormOfTheValueAndRunsInTheOrderSent,
                            DropsKeysAndFileButtonsReachTheNativeSideOnlyAsTheyShould);

}  // namespace lirra::test
