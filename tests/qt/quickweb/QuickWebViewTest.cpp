// SPDX-License-Identifier: GPL-3.0-or-later
// QuickWebView in a Qt Quick window against the real web engine, pages from a loopback server.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QNetworkCookie>
#include <QProcess>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <map>
#include <regex>

#include "platform/Log.h"
#include "platform/qt/network/QtHttpClient.h"
#include "platform/qt/network/SharedCookieJar.h"
#include "platform/qt/quickweb/Downloads.h"
#include "platform/qt/quickweb/QuickWebProfile.h"
#include "platform/qt/quickweb/QuickWebView.h"
#include "qt/quick/StageStandIns.h"
#include "support/LoopbackHttpServer.h"
#include "support/qt/QtTestLoop.h"

namespace lirra {
namespace {

using namespace std::chrono_literals;
using test::runEventLoopFor;
using test::runEventLoopUntil;

const std::map<std::string, std::string> kPages = {
    {"/page/bridge", R"(<!DOCTYPE html><body style="margin:0"><p id="text">bridge</p>
<input type="file" id="f" style="position:absolute;left:200px;top:100px;width:150px;height:90px">
<script src="/bridge.js"></script><script>
function frame(src, hidden) { var f = document.createElement('iframe');
    f.hidden = hidden; f.src = src; document.body.appendChild(f); }
var drops = 0, keys = 0;
document.ondragenter = document.ondragover = document.ondrop = function () { drops++; };
document.onkeydown = function () { keys++; };
</script></body></html>)"},
    {"/page/other", "<html><body>other</body></html>"},
    {"/page/painted", R"(<!DOCTYPE html><body style="margin:0;background:transparent">
<div style="width:100px;height:100px;background:#008000"></div>
<div style="width:100px;height:100px;background:#00000080"></div></body>)"},
    {"/page/blank", R"(<!DOCTYPE html><body style="margin:0;background:transparent"></body>)"},
    {"/page/save", R"(<!DOCTYPE html><body>
<a id="save" href="/export" download="lirra-notebook.txt">Export</a></body>)"},
    {"/export", "#separator:tab\n#html:true\nword\tline\n"},
    {"/page/calls", R"(<script>var x = new XMLHttpRequest(); x.open('GET', '/page/other');
x.onload = function () { window.called = x.status + '/' + document.cookie.length; }; x.send();
</script>)"},
    {"/page/jump",
     "<script>location = 'http://127.0.0.1:' + location.port + '/page/blank';</script>"},
    // The microphone asked for by the page, the camera too, and the microphone by an iframe of
    // another origin (localhost for 127.0.0.1) that the page allows to ask.
    {"/page/mic", R"(<!DOCTYPE html><body><script>
var results = {};
function ask(name, constraints) { navigator.mediaDevices.getUserMedia(constraints).then(
    function () { results[name] = 'granted'; }, function (e) { results[name] = e.name; }); }
ask('microphone', {audio: true}); ask('camera', {video: true});
window.onmessage = function (e) { results.frame = e.data; };
var frame = document.createElement('iframe'); frame.allow = 'microphone';
frame.src = location.href.replace('127.0.0.1', 'localhost') + '-frame';
document.body.appendChild(frame);
</script></body>)"},
    {"/page/mic-frame", R"(<!DOCTYPE html><script>
navigator.mediaDevices.getUserMedia({audio: true}).then(function () { parent.postMessage('granted', '*'); },
    function (e) { parent.postMessage(e.name, '*'); });
</script>)"},
};

// The app's side: bridge URLs refused; a single dropped file accepted; `paths` chosen.
class Native : public WebPolicyDelegate, public DragReceiver, public WebUIDelegate {
  public:
    NavigationPolicy decidePolicyForNavigation(WebView&, const QUrl& url) override {
        const bool bridged = url.scheme() == QLatin1String("app");
        (bridged ? bridge : pages).append(url.toString());
        return bridged ? NavigationPolicy::Ignore : NavigationPolicy::Use;
    }
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
    QStringList bridge, pages, concluded, paths;
    int asked = 0;
};

// Beneath the view: the window's colour, drawn before the scene as the video is.
constexpr QRgb kWindow = qRgb(0, 255, 255);
using Bands = std::vector<std::pair<double, double>>;  // composed rows, from the top

class QuickWebViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        server.server().Get(R"(/.*)", [](const httplib::Request& req, httplib::Response& res) {
            const auto found = kPages.find(req.path);
            QFile module(LIRRA_WEB_DIR "/bridge.js");
            if (req.path == "/bridge.js" && module.open(QIODevice::ReadOnly))
                return res.set_content(module.readAll().toStdString(), "application/javascript");
            if (found == kPages.end()) res.status = 404;
            if (found != kPages.end()) res.set_content(found->second, "text/html; charset=utf-8");
        });
        ASSERT_TRUE(server.start());
        window.resize(400, 300);
        window.setColor(QColor(kWindow));
        keys.setParentItem(window.contentItem());
        keys.setSize(QSizeF(400, 300));
        view->item()->setParentItem(&keys);
        view->setFrame(Rect{{0, 0}, {400, 300}});
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        view->item()->forceActiveFocus();
        const WebView* sender = view.get();
        center.addObserver(kWebViewProgressStartedNotification, sender,
                           [this](const Notification&) { ++started; });
        center.addObserver(
            kWebViewProgressFinishedNotification, sender, [this](const Notification& n) {
                ++finished;
                const auto failed = n.userInfo.find(kWebViewLoadFailedKey);
                lastFailed = failed != n.userInfo.end() && std::any_cast<bool>(failed->second);
            });
        view->setPolicyDelegate(&native);
    }

    std::string url(const std::string& path) const { return server.url(path); }

    bool loadAndWait(const std::string& where) {
        const int before = finished;
        view->loadUrl(QUrl(QString::fromStdString(where)));
        return runEventLoopUntil([&] { return finished > before; }, 15s) && !lastFailed;
    }

    bool answers(const QString& script, const QString& value) {
        return runEventLoopUntil([&] { return view->evaluateScript(script) == value; }, 5s);
    }

    // Waits until the page has painted a frame (input is hit-tested against what was painted).
    bool waitForPaint() {
        view->evaluateScriptAsync(
            "window.lirraPainted = false; requestAnimationFrame(function () {"
            "  requestAnimationFrame(function () { window.lirraPainted = true; }); })");
        return answers("window.lirraPainted", "true");
    }

    // The engine's frames reach the scene a little after the page painted them.
    bool shows(QPoint at, QRgb expected) {
        QRgb seen = 0;
        const auto near = [&](int shift) {  // one channel of the two
            return qAbs(int(seen >> shift & 0xff) - int(expected >> shift & 0xff)) < 8;
        };
        const bool same = runEventLoopUntil(
            [&] { return seen = window.grabWindow().pixel(at), near(16) && near(8) && near(0); },
            5s);
        EXPECT_TRUE(same) << "pixel " << std::hex << seen << " not " << expected;
        return same;
    }

    bool composes(const Bands& bands) {
        return runEventLoopUntil([&] { return view->composedBands() == bands; }, 5s);
    }
    // A blue box fixed at `place`, as the page's `name`.
    void addBox(const QString& name, const QString& place) {
        view->evaluateScript("var " + name + " = document.createElement('div'); " + name +
                             ".style.cssText = 'position:fixed;background:#0000ff;" + place +
                             "'; document.body.appendChild(" + name + "); 1");
    }

    // A drag-enter and a drop at (50, 50); whether the drop was accepted.
    bool drop(const QList<QUrl>& urls) {
        QMimeData mime;
        mime.setUrls(urls);
        const auto actions = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(QPoint(50, 50), actions, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &enter);
        QDropEvent dropped(QPointF(50, 50), actions, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &dropped);
        runEventLoopFor(50ms);
        return dropped.isAccepted();
    }

    test::LoopbackHttpServer server;
    NotificationCenter center;
    QQmlEngine engine;
    QQuickWindow window;
    test::CountingItem keys{/*asPage=*/false};
    Native native;  // outlives the view
    std::unique_ptr<QuickWebView> view = std::make_unique<QuickWebView>(center, engine);
    int started = 0, finished = 0;
    bool lastFailed = false;
};

TEST_F(QuickWebViewTest, BridgeNavigationsReachThePolicyInOrderAndOnlyMainFrameLoadsPostProgress) {
    const QString other = QString::fromStdString(url("/page/other"));
    ASSERT_TRUE(loadAndWait(url("/page/bridge")));
    // Ten location changes in one task, then ten hidden iframes in one task, then a real frame.
    view->evaluateScriptAsync(
        "for (var i = 0; i < 10; i++) location.href = 'app:///Execute/L' + i");
    ASSERT_TRUE(runEventLoopUntil([&] { return native.bridge.size() >= 10; }, 5s));
    view->evaluateScriptAsync("for (var i = 0; i < 10; i++) frame('app:///Execute/F' + i, true)");
    ASSERT_TRUE(runEventLoopUntil([&] { return native.bridge.size() >= 20; }, 5s));
    view->evaluateScriptAsync("frame('" + other + "', false)");
    ASSERT_TRUE(runEventLoopUntil([&] { return server.requestCount() >= 2; }, 5s));
    runEventLoopFor(300ms);  // nothing else is coming
    QStringList expected;
    for (int i = 0; i < 20; ++i)
        expected << QString("app:///Execute/%1%2").arg(i < 10 ? 'L' : 'F').arg(i % 10);
    EXPECT_EQ(native.bridge, expected);
    EXPECT_EQ(native.pages, QStringList({QString::fromStdString(url("/page/bridge")), other}));
    // The page stayed, and neither the refused navigations nor the frame counted as progress.
    EXPECT_EQ(view->evaluateScript("document.getElementById('text').textContent"), "bridge");
    EXPECT_EQ(std::pair(started, finished), std::pair(1, 1));
    // A page's own navigation is a load; one that cannot be reached ends as failed.
    view->evaluateScriptAsync("location.href = '" + other + "'");
    ASSERT_TRUE(runEventLoopUntil([&] { return finished == 2; }, 5s));
    EXPECT_FALSE(lastFailed);
    view->loadUrl(QUrl("http://127.0.0.1:1/"));
    ASSERT_TRUE(runEventLoopUntil([&] { return finished == 3; }, 10s));
    EXPECT_EQ(started, 3);
    EXPECT_TRUE(lastFailed);
}

// Our pages' module sends through the view's channel, not a frame (an old page's frame: above);
// a request without the view's key reaches nothing.
TEST_F(QuickWebViewTest, TheModulesChannelReachesThePolicyAndNothingElseDoes) {
    ASSERT_TRUE(loadAndWait(url("/page/bridge")));
    view->evaluateScriptAsync(
        "var bridge = Lirra.bridge.forPage(window, null);"
        "for (var i = 0; i < 5; i++) bridge.command('Go' + 'ABCDE'[i], {at: i + 0.5});"
        "['', 'application/x-lirra-bridge;key=1'].forEach(function (key) {"
        "  var x = new XMLHttpRequest(); x.open('GET', 'app:///Execute/Stolen');"
        "  if (key) x.setRequestHeader('Accept', key); x.send(); })");
    ASSERT_TRUE(runEventLoopUntil([&] { return native.bridge.size() >= 5; }, 5s));
    runEventLoopFor(300ms);  // nothing else is coming
    EXPECT_EQ(view->evaluateScript("document.querySelectorAll('iframe').length"), "0");
    QStringList expected;
    for (int i = 0; i < 5; ++i)
        expected << QString("app:///Execute/Go%1?at=%2.5").arg(QChar('A' + i)).arg(i);
    EXPECT_EQ(native.bridge, expected);
}

// Chromium's made-up microphone and camera (QuickWebTestMain): no prompt, only the app's answer.
TEST_F(QuickWebViewTest, OnlyTheLoadedPagesOriginGetsTheMicrophoneAndNothingElse) {
    ASSERT_TRUE(loadAndWait(url("/page/mic")));
    EXPECT_TRUE(answers("results.microphone", "granted"));
    EXPECT_TRUE(answers("results.camera", "NotAllowedError"));
    EXPECT_TRUE(answers("results.frame", "NotAllowedError"));
}

TEST_F(QuickWebViewTest, EvaluationGivesTheStringFormOfTheValueAndRunsInTheOrderSent) {
    const int timeoutMs = QuickWebView::kEvaluationTimeoutMs;
    ASSERT_TRUE(loadAndWait(url("/page/bridge")));
    // A statement list answers with its last value, and state persists between scripts.
    const std::pair<const char*, const char*> rows[] = {{"0.1 + 0.2", "0.30000000000000004"},
                                                        {"1 < 2", "true"},
                                                        {"'text'", "text"},
                                                        {"({a: 1})", ""},
                                                        {"null", ""},
                                                        {"undefined", ""},
                                                        {"throw new Error('no')", ""},
                                                        {"this is not javascript (", ""},
                                                        {"var kept = 'x'; kept + 'y'", "xy"},
                                                        {"kept", "x"}};
    for (const auto& [script, value] : rows)
        EXPECT_EQ(view->evaluateScript(script), value) << script;

    // Too late: "" at the time-out, and the late answer is not taken for the next one's.
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(view->evaluateScript("var t = Date.now(); while (Date.now() - t < " +
                                   QString::number(timeoutMs + 1500) + ") {} 'late'"),
              "");
    EXPECT_GE(timer.elapsed(), timeoutMs - 100);
    EXPECT_LE(timer.elapsed(), timeoutMs + 1000);
    EXPECT_EQ(view->evaluateScript("kept"), "x");
    // Unasked, the bridge is not timed: no stamps, and no evaluation of its own per reply.
    int stamps = 0;
    const LogSink previous = setLogSink(
        [&stamps](const std::string& line) { stamps += line.rfind("Bridge timing", 0) == 0; });
    view->evaluateScriptAsync("window.order = []");
    for (int i = 0; i < 100; ++i)
        view->evaluateScriptAsync(QStringLiteral("order.push(%1)").arg(i));
    setLogSink(previous);
    EXPECT_EQ(stamps, 0);
    ASSERT_TRUE(answers("order.length", "100"));
    EXPECT_EQ(view->evaluateScript("order.every(function (v, i) { return v === i; })"), "true");
    ASSERT_TRUE(loadAndWait(url("/page/bridge")));
    EXPECT_EQ(view->evaluateScript("typeof order"), "undefined");
}

TEST_F(QuickWebViewTest, DropsKeysAndFileButtonsReachTheNativeSideOnlyAsTheyShould) {
    QTemporaryFile chosen(QDir::tempPath() + "/lines-XXXXXX.srt");
    ASSERT_TRUE(chosen.open());
    ASSERT_TRUE(loadAndWait(url("/page/bridge")));
    view->setDragReceiver(&native);
    view->setUIDelegate(&native);
    const QUrl video = QUrl::fromLocalFile("/tmp/video one.mkv");
    EXPECT_FALSE(drop({video}));  // not registered yet
    view->registerForDraggedFileNames();
    EXPECT_FALSE(drop({video, video}));                          // two files: the receiver refuses
    EXPECT_FALSE(drop({QUrl("http://example.invalid/a.mkv")}));  // not a file
    EXPECT_TRUE(drop({video}));
    ASSERT_TRUE(runEventLoopUntil([&] { return !native.concluded.isEmpty(); }, 2s));
    EXPECT_EQ(native.concluded, QStringList({"/tmp/video one.mkv"}));

    // Keys the page hears but does not take come back from the engine later, and stop there.
    for (int i = 0; i < 3; ++i) QTest::keyClick(&window, Qt::Key_A);
    ASSERT_TRUE(answers("keys", "3"));
    runEventLoopFor(300ms);
    EXPECT_EQ(keys.keys, 0);
    EXPECT_EQ(view->evaluateScript("drops"), "0");  // the page saw no drop
    view->setHidden(true);  // hidden behind the loader, which takes the keys meanwhile
    keys.forceActiveFocus();
    view->setHidden(false);
    EXPECT_TRUE(view->item()->hasActiveFocus());  // shown again, the page has them back

    // A file button: nothing chosen leaves it empty (and the next click asks again).
    ASSERT_TRUE(waitForPaint());
    QTest::mouseClick(&window, Qt::LeftButton, Qt::NoModifier, QPoint(250, 150));
    ASSERT_TRUE(runEventLoopUntil([&] { return native.asked == 1; }, 5s));
    runEventLoopFor(100ms);
    EXPECT_EQ(view->evaluateScript("document.getElementById('f').files.length"), "0");
    native.paths = {chosen.fileName()};
    QTest::mouseClick(&window, Qt::LeftButton, Qt::NoModifier, QPoint(250, 150));
    EXPECT_TRUE(answers("document.getElementById('f').files[0].name",
                        QFileInfo(chosen.fileName()).fileName()));
}

// Without its background the page is composed only over the rows it paints.
TEST_F(QuickWebViewTest, ATransparentPageShowsWhatLiesBeneathWhereItPaintsNothing) {
    ASSERT_TRUE(loadAndWait(url("/page/painted")));
    ASSERT_TRUE(waitForPaint());
    EXPECT_TRUE(shows(QPoint(300, 200), qRgb(255, 255, 255)));  // first painted whole
    view->setDrawsBackground(false);
    EXPECT_TRUE(shows(QPoint(300, 200), kWindow));
    EXPECT_TRUE(shows(QPoint(50, 50), qRgb(0, 128, 0)));     // what the page paints stays
    EXPECT_TRUE(shows(QPoint(50, 150), qRgb(0, 128, 128)));  // half-transparent: blended
    // Composed over its two boxes (rows 0 to 200) and a margin, not over the rows beneath.
    EXPECT_TRUE(composes({{0, 224}}));
    addBox("late", "left:120px;top:250px;width:60px;height:40px");
    EXPECT_TRUE(shows(QPoint(150, 270), qRgb(0, 0, 255)));
    EXPECT_TRUE(shows(QPoint(50, 50), qRgb(0, 128, 0)));  // the first rows stay
    EXPECT_TRUE(composes({{0, 300}}));  // joined: the new box lies within the margins' reach
    view->evaluateScript("late.remove(); 1");
    EXPECT_TRUE(shows(QPoint(150, 270), kWindow));
    EXPECT_TRUE(composes({{0, 224}}));
    view->setDrawsBackground(true);
    EXPECT_TRUE(shows(QPoint(300, 200), qRgb(255, 255, 255)));
}

// A second after its load, a page seen painting nothing is composed whole (the probe may miss).
TEST_F(QuickWebViewTest, APageUnseenASecondAfterItsLoadIsComposedWhole) {
    view->setDrawsBackground(false);
    ASSERT_TRUE(loadAndWait(url("/page/blank")));
    QElapsedTimer sinceLoad;
    sinceLoad.start();
    // Each change is composed whole until its rows are read: only lasting counts.
    const auto steadilyWhole = [&] {
        return !runEventLoopUntil([&] { return view->composedBands() != Bands{{0, 300}}; }, 300ms);
    };
    // Half a second after the load its blank rows have been read: composed over nothing yet.
    EXPECT_TRUE(runEventLoopUntil(
        [&] { return sinceLoad.elapsed() >= 500 && view->composedBands().empty(); }, 800ms));
    EXPECT_LT(sinceLoad.elapsed(), 900);
    EXPECT_TRUE(
        runEventLoopUntil([&] { return sinceLoad.elapsed() > 1200 && steadilyWhole(); }, 5s));
    addBox("box", "left:0;top:0;width:60px;height:40px");
    EXPECT_TRUE(composes({{0, 64}}));
}

TEST_F(QuickWebViewTest, DownloadsGoWhereTheLearnerChoosesAfterACancelledOne) {
    ASSERT_TRUE(loadAndWait(url("/page/save")));
    QTemporaryDir dir;
    QStringList suggested;
    QString answer;  // empty: the learner cancels
    setSaveLocationChooser([&](const QString& path) {
        suggested.append(path);
        return answer;
    });
    view->evaluateScriptAsync("document.getElementById('save').click()");
    ASSERT_TRUE(runEventLoopUntil([&] { return suggested.size() == 1; }, 10s));
    answer = dir.filePath("chosen/../notes.tsv");
    view->evaluateScriptAsync("document.getElementById('save').click()");
    QFile saved(dir.filePath("notes.tsv"));
    const QByteArray exported = QByteArray::fromStdString(kPages.at("/export"));
    const bool written =
        runEventLoopUntil([&] { return saved.exists() && saved.size() == exported.size(); }, 10s);
    setSaveLocationChooser({});
    ASSERT_TRUE(written && saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), exported);
    ASSERT_EQ(suggested.size(), 2);
    EXPECT_TRUE(suggested[0].endsWith("/lirra-notebook.txt")) << suggested[0].toStdString();
}

// One renderer and one local storage for all views, the storage kept only in the folder main
// gives (child runs of the next).
TEST_F(QuickWebViewTest, ViewsShareOneRendererAndOneLocalStorageThatOutlivesTheProcess) {
    ASSERT_TRUE(loadAndWait(url("/page/painted")));
    view->evaluateScript("localStorage.setItem('language', 'fr')");
    QuickWebView other(center, engine);
    other.loadUrl(QUrl(QString::fromStdString(url("/page/other"))));
    EXPECT_TRUE(runEventLoopUntil(
        [&] { return other.evaluateScript("localStorage.getItem('language')") == "fr"; }, 15s));

    QTemporaryDir folder;
    const auto runWithStorage = [&](const QString& script) {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("LIRRA_TEST_STORAGE", folder.path());
        environment.insert("LIRRA_TEST_PAGE", QString::fromStdString(url("/page/other")));
        environment.insert("LIRRA_TEST_SCRIPT", script);
        child.setProcessEnvironment(environment);
        child.start(
            QCoreApplication::applicationFilePath(),
            {"--gtest_also_run_disabled_tests", "--gtest_filter=*DISABLED_AnswersAScript*"});
        child.waitForFinished(30000);
        const QString out = QString::fromUtf8(child.readAllStandardOutput());
        return QRegularExpression("answer=(.*)").match(out).captured(1);
    };
    EXPECT_EQ(runWithStorage("localStorage.setItem('language', 'de'); "
                             "localStorage.getItem('language')"),
              "de");
    EXPECT_EQ(runWithStorage("localStorage.getItem('language')"), "de");
    EXPECT_EQ(view->evaluateScript("localStorage.getItem('language')"), "fr");
}

// Run only by the test above, in a process of its own whose profile keeps its storage.
TEST_F(QuickWebViewTest, DISABLED_AnswersAScriptOnAPageWithTheStorageInTheGivenFolder) {
    ASSERT_TRUE(loadAndWait(qgetenv("LIRRA_TEST_PAGE").toStdString()));
    const QString script = QString::fromUtf8(qgetenv("LIRRA_TEST_SCRIPT"));
    std::printf("answer=%s\n", view->evaluateScript(script).toUtf8().constData());
}

// The service's cookie rides the page and its calls, hidden from scripts, and no other site's
// page (localhost is another site than 127.0.0.1) makes the engine send it.
TEST_F(QuickWebViewTest, TheServiceCookieGoesWithItsOwnPagesAlone) {
    setQuickWebServiceCookie(QUrl(QString::fromStdString(url("/"))), "lirra_key", "s3cret");
    ASSERT_TRUE(loadAndWait(url("/page/calls")));
    EXPECT_TRUE(answers("window.called", "200/0"));
    const std::string jump = "http://localhost:" + std::to_string(server.port()) + "/page/jump";
    view->loadUrl(QUrl(QString::fromStdString(jump)));
    ASSERT_TRUE(runEventLoopUntil([&] { return !server.requests("/page/blank").empty(); }, 15s));
    for (const auto& [path, cookie] :
         std::vector<std::pair<std::string, std::string>>{{"/page/calls", "lirra_key=s3cret"},
                                                          {"/page/other", "lirra_key=s3cret"},
                                                          {"/page/jump", ""},
                                                          {"/page/blank", ""}}) {
        const auto seen = server.requests(path);
        ASSERT_EQ(seen.size(), 1u) << path;
        EXPECT_EQ(seen.front().header("cookie").value_or(""), cookie) << path;
    }
}

// The app's requests and the pages keep one set of cookies: the session a page signed in to goes
// with the app's own requests, and what an answer to the app renews or ends reaches the pages.
TEST_F(QuickWebViewTest, TheAppsRequestsAndThePagesKeepOneSetOfCookies) {
    QtHttpClient client;
    shareQuickWebCookies(client.cookieJar());
    for (const auto& [path, value] :
         std::vector<std::pair<std::string, std::string>>{{"/signin", "first; Max-Age=600"},
                                                          {"/renew", "second; Max-Age=600"},
                                                          {"/signout", "; Max-Age=0"}}) {
        server.intercept(path, [value](const httplib::Request&, httplib::Response& res) {
            res.set_header("Set-Cookie", "lirra_session=" + value + "; Path=/; HttpOnly");
            res.set_content("<html><body>ok</body></html>", "text/html");
            return true;
        });
    }
    const auto get = [&](const std::string& path) {
        bool done = false;
        UrlRequest request;
        request.url = QUrl(QString::fromStdString(url(path)));
        client.sendAsynchronousRequest(request, [&](const UrlResponse&) { done = true; });
        return runEventLoopUntil([&] { return done; }, 10s);
    };
    const auto sent = [&](const std::string& path) {
        const auto seen = server.requests(path);
        const std::string cookie = seen.empty() ? "" : seen.back().header("cookie").value_or("");
        std::smatch session;
        return std::regex_search(cookie, session, std::regex("lirra_session=[^;]*")) ? session.str()
                                                                                     : "none";
    };
    const QUrl origin(QString::fromStdString(url("/")));
    const auto jarHolds = [&](bool session) {
        const auto holds = [&] {
            for (const QNetworkCookie& c : client.cookieJar().cookiesForUrl(origin))
                if (c.name() == "lirra_session") return true;
            return false;
        };
        return runEventLoopUntil([&] { return holds() == session; }, 5s);
    };
    ASSERT_TRUE(loadAndWait(url("/signin")));
    ASSERT_TRUE(jarHolds(true));
    ASSERT_TRUE(get("/page/other"));
    EXPECT_EQ(sent("/page/other"), "lirra_session=first");
    ASSERT_TRUE(get("/renew"));
    ASSERT_TRUE(loadAndWait(url("/page/blank")));
    EXPECT_EQ(sent("/page/blank"), "lirra_session=second");
    ASSERT_TRUE(loadAndWait(url("/signout")));
    EXPECT_TRUE(jarHolds(false));
}

}  // namespace
}  // namespace lirra
