// SPDX-License-Identifier: GPL-3.0-or-later
#include "QuickWebView.h"

#include <QColor>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWebEngineProfile>
#include <QTimer>
#include <QWebEngineLoadingInfo>
#include <algorithm>

#include "AppScheme.h"
#include "BridgeTiming.h"
#include "PaintedRowsProbe.h"
#include "QuickWebProfile.h"
#include "QuickWebViewGlue.h"
#include "ScriptResult.h"
#include "platform/Log.h"
#include "platform/qt/quick/QuickGeometry.h"

namespace lirra {

namespace {

// The engine's item. No layer under a transparent backdrop: its frames are blended over what
// lies beneath as they are (the tests show it), and a layer would cost a pass of the whole
// item every frame.
constexpr char kViewQml[] = R"(
import QtQuick
import QtWebEngine

WebEngineView {
    property QtObject glue
    anchors.fill: parent
    focus: true

    // Our own pages send through the view's channel (AppScheme.h) when they find its key.
    function offerBridgeChannel(key) {
        userScripts.collection = [{
            name: "lirra-bridge-channel",
            sourceCode: "window.lirraBridgeChannel = " + JSON.stringify(key) + ";",
            injectionPoint: WebEngineScript.DocumentCreation,
            worldId: WebEngineScript.MainWorld
        }];
    }
    function evaluate(script, token) {
        runJavaScript(script, function (result) { glue.answer(token, result); });
    }
    function evaluateAsync(script) { runJavaScript(script); }
    // Only while the bridge is timed (BridgeTiming.h).
    function evaluateTimed(script) {
        runJavaScript(script, function () { glue.evaluatedTimed(script); });
    }
    function readPageClock(sent) {
        runJavaScript('performance.now()', function (now) { glue.pageClockRead(sent, now); });
    }

    // The page's frames come at the item's own size in pixels: sampled nearest, they look the
    // same and cost the software rasteriser less than filtered, every frame.
    function sharpen(item) {
        for (var i = 0; i < item.children.length; ++i) {
            item.children[i].smooth = false;
            sharpen(item.children[i]);
        }
    }
    onChildrenChanged: sharpen(this)
    onLoadingChanged: sharpen(this)
    onContextMenuRequested: function (request) { request.accepted = true; }
    // Every request a page makes for a device is answered here, so none waits for a prompt.
    onFeaturePermissionRequested: function (securityOrigin, feature) {
        grantFeaturePermission(securityOrigin, feature,
            glue.grants(securityOrigin, feature === WebEngineView.MediaAudioCapture));
    }
    onFileDialogRequested: function (request) {
        request.accepted = true;
        var files = glue.chooseFiles();
        if (files.length > 0)
            request.dialogAccept(files);
        else
            request.dialogReject();
    }
    onJavaScriptConsoleMessage: function (level, message, lineNumber, sourceID) {
        glue.consoleMessage(level === WebEngineView.ErrorMessageLevel, message, lineNumber,
                            sourceID);
    }
}
)";

// The bands a transparent page is shown through (see composeOnlyPaintedRows), and the copy of
// the page its painted rows are read from.
constexpr char kBandsQml[] = R"(
import QtQuick

Item {
    id: bands
    anchors.fill: parent
    property Item page
    // The whole page (until the rows are read), or [top, bottom] of each band in this item's rows.
    property bool whole: true
    property var rows: []

    ShaderEffectSource {
        objectName: "probe"
        sourceItem: bands.page
        visible: false
        live: true
    }
    Repeater {
        model: 3
        ShaderEffectSource {
            readonly property var row: bands.whole ? (index == 0 ? [0, bands.height] : [0, 0])
                                       : index < bands.rows.length ? bands.rows[index] : [0, 0]
            sourceItem: bands.page
            hideSource: true
            live: true
            smooth: false  // copies at the page's own size: nearest looks the same, costs less
            visible: row[1] > row[0]
            x: 0
            y: row[0]
            width: bands.width
            height: Math.max(1, row[1] - row[0])
            sourceRect: Qt.rect(0, row[0], bands.width, Math.max(1, row[1] - row[0]))
        }
    }
}
)";
constexpr std::size_t kBands = 3;
constexpr double kBandMargin = 24;  // pixels around what is painted
// After a load, how long the probe may read nothing painted before the whole page is composed.
constexpr int kUnseenPageMs = 1000;

}  // namespace

// Holds the engine's item and takes the key presses the page did not want.
class QuickWebView::Host : public QQuickItem {
  public:
    Host() { setFlag(ItemIsFocusScope); }

  protected:
    void keyPressEvent(QKeyEvent* event) override { event->accept(); }
    void keyReleaseEvent(QKeyEvent* event) override { event->accept(); }
};

QuickWebView::QuickWebView(NotificationCenter& center, QQmlEngine& engine,
                           QQuickWebEngineProfile* profile)
    : center_(center),
      host_(new Host),
      glue_(std::make_unique<QuickWebViewGlue>(*this)),
      unseenWatchdog_(new QTimer(glue_.get())) {
    unseenWatchdog_->setSingleShot(true);
    unseenWatchdog_->setInterval(kUnseenPageMs);
    QObject::connect(unseenWatchdog_, &QTimer::timeout, glue_.get(), [this] { pageUnseen(); });
    QQmlComponent component(&engine);
    component.setData(kViewQml, QUrl(QStringLiteral("qrc:/lirra/QuickWebView.qml")));
    QObject* made = component.beginCreate(engine.rootContext());
    view_ = qobject_cast<QQuickItem*>(made);
    if (!view_) {
        logLine("The web view could not be made: " + component.errorString().toStdString());
        delete made;
        return;
    }
    QQmlEngine::setObjectOwnership(view_, QQmlEngine::CppOwnership);
    view_->setProperty("glue", QVariant::fromValue<QObject*>(glue_.get()));
    view_->setProperty("profile",
                       QVariant::fromValue(profile ? profile : &sharedQuickWebProfile()));
    view_->setParentItem(host_);
    view_->setParent(host_);
    component.completeCreate();

    // Asked synchronously: the engine reads the answer when the signal returns.
    QObject::connect(view_, SIGNAL(navigationRequested(QWebEngineNavigationRequest*)), glue_.get(),
                     SLOT(onNavigationRequested(QWebEngineNavigationRequest*)));
    QObject::connect(view_, SIGNAL(loadingChanged(QWebEngineLoadingInfo)), glue_.get(),
                     SLOT(onLoadingChanged(QWebEngineLoadingInfo)));
    glue_->watch(*view_);
    channelKey_ = openBridgeChannel([this](const QUrl& url) { glue_->channelSent(url); });
    QMetaObject::invokeMethod(view_, "offerBridgeChannel", Q_ARG(QVariant, channelKey_));
}

QuickWebView::~QuickWebView() {
    if (!channelKey_.isEmpty()) closeBridgeChannel(channelKey_);
    // The engine's item goes with the host; the glue after both.
    delete host_.data();
}

QQuickItem* QuickWebView::item() { return host_; }

Rect QuickWebView::frame() const { return host_ ? itemFrame(*host_) : Rect{}; }

void QuickWebView::setFrame(const Rect& frame) {
    if (host_) setItemFrame(*host_, frame);
}

void QuickWebView::setHidden(bool hidden) {
    hidden_ = hidden;
    if (!host_) return;
    host_->setVisible(!hidden);
    // Shown again on screen (the home page after a search), the page takes the keys back.
    if (!hidden && host_->isVisible()) host_->forceActiveFocus(Qt::OtherFocusReason);
}

void QuickWebView::loadUrl(const QUrl& url) {
    loaded_ = url;
    if (view_) view_->setProperty("url", url);
}

QUrl QuickWebView::url() const { return view_ ? view_->property("url").toUrl() : QUrl(); }

QString QuickWebView::evaluateScript(const QString& script) {
    if (!view_) return QString();
    struct Answer {
        bool done = false;
        QVariant value;
    };
    QElapsedTimer elapsed;
    elapsed.start();
    if (loading_) {
        // A page that talks to us while it is still loading (a command sent as soon as its
        // document is ready) is not yet the engine's main frame: a script sent now would run
        // in the previous document, or never answer. Wait for the load to end.
        QEventLoop loaded;
        QObject::connect(glue_.get(), &QuickWebViewGlue::loadEnded, &loaded, &QEventLoop::quit);
        QTimer::singleShot(kEvaluationTimeoutMs, Qt::PreciseTimer, &loaded, &QEventLoop::quit);
        loaded.exec(QEventLoop::ExcludeUserInputEvents);
        if (!view_) return QString();
    }
    traceScript(script);
    const int token = ++lastToken_;
    Answer answer;
    QEventLoop loop;
    // The connection goes with the loop: an answer after the time-out finds nobody waiting.
    QObject::connect(glue_.get(), &QuickWebViewGlue::answered, &loop,
                     [&answer, &loop, token](int answered, const QVariant& value) {
                         if (answered != token) return;
                         answer.done = true;
                         answer.value = value;
                         loop.quit();
                     });
    QMetaObject::invokeMethod(view_, "evaluate", Q_ARG(QVariant, script), Q_ARG(QVariant, token));
    if (!answer.done) {
        // Precise: a coarse timer may end the wait up to 5 % early.
        QTimer::singleShot(std::max<qint64>(kEvaluationTimeoutMs - elapsed.elapsed(), 100),
                           Qt::PreciseTimer, &loop, &QEventLoop::quit);
        // Input waits until the answer is in, so that events keep their order.
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (!answer.done) {
        logLine("A script did not answer in time");
        return QString();
    }
    return scriptResultToString(answer.value);
}

void QuickWebView::evaluateScriptAsync(const QString& script) {
    if (!view_) return;
    traceScript(script);
    if (bridgeTimingEnabled()) {
        logBridgeStamp("reply", script);
        QMetaObject::invokeMethod(view_, "evaluateTimed", Q_ARG(QVariant, script));
        return;
    }
    QMetaObject::invokeMethod(view_, "evaluateAsync", Q_ARG(QVariant, script));
}

void QuickWebView::readPageClock() {
    if (view_) QMetaObject::invokeMethod(view_, "readPageClock", Q_ARG(QVariant, steadyMicros()));
}

void QuickWebView::traceScript(const QString& script) const {
    if (!traceEnabled()) return;
    constexpr int kShown = 400;  // enough for any page event; long answers are cut
    traceLine(("Script: " + (script.size() > kShown ? script.left(kShown) + "..." : script))
                  .toStdString());
}

void QuickWebView::setDrawsBackground(bool draws) {
    drawsBackground_ = draws;
    if (!view_) return;
    view_->setProperty("backgroundColor", draws ? QColor(Qt::white) : QColor(Qt::transparent));
    composeOnlyPaintedRows(!draws);
}

// With software GL, blending a page over the whole window every frame costs about as much as
// drawing the video; a page over a video paints a line or two and, at times, its controls.
// The page is hidden from the scene and shown through up to three bands of rows, each a copy of
// its part of the page, drawn anew only when the page changes; the rows come from a copy of the
// page, read back when it changed. Rows that start to hold something show one or two frames
// late: a margin around each band hides that for what grows a little.
void QuickWebView::composeOnlyPaintedRows(bool only) {
    if (!only) {
        delete bands_.data();
        return;
    }
    if (bands_ || !host_ || !view_) return;
    QQmlComponent component(qmlEngine(view_));
    component.setData(kBandsQml, QUrl(QStringLiteral("qrc:/lirra/PageBands.qml")));
    auto* bands = qobject_cast<QQuickItem*>(component.beginCreate(qmlContext(view_)));
    if (!bands) {
        logLine("The page's bands could not be made: " + component.errorString().toStdString());
        return;
    }
    QQmlEngine::setObjectOwnership(bands, QQmlEngine::CppOwnership);
    bands->setParentItem(host_);
    bands->setParent(host_);
    bands->setProperty("page", QVariant::fromValue(view_.data()));
    component.completeCreate();
    bands_ = bands;
    composition_ = PageComposition{};
    auto* probe = new PaintedRowsProbe(
        bands,
        [this](const std::vector<std::pair<double, double>>& rows) {
            composition_.read(rows);
            composeBands();
        },
        [this] {
            composition_.changed();
            composeBands();
        });
    probe->setSource(bands->findChild<QQuickItem*>(QStringLiteral("probe")));
}

std::vector<std::pair<double, double>> QuickWebView::composedBands() const {
    std::vector<std::pair<double, double>> bands;
    if (!bands_) return bands;
    if (bands_->property("whole").toBool()) return {{0.0, bands_->height()}};
    for (const QVariant& band : bands_->property("rows").toList()) {
        const QVariantList ends = band.toList();
        if (ends.size() == 2) bands.emplace_back(ends[0].toDouble(), ends[1].toDouble());
    }
    return bands;
}

void QuickWebView::composeBands() {
    if (!bands_) return;
    QVariantList list;
    for (const auto& [from, to] :
         bandsOver(composition_.rows(), bands_->height(), kBandMargin, kBands))
        list.append(QVariant(QVariantList{from, to}));
    bands_->setProperty("rows", list);
    bands_->setProperty("whole", composition_.whole());
}

void QuickWebView::pageUnseen() {
    if (!bands_ || composition_.seenSinceLoad()) return;
    logLine("Nothing the page painted was read since it loaded: it is composed whole");
    composition_.nothingSeen();
    composeBands();
}

bool QuickWebView::acceptNavigation(const QUrl& url, bool isMainFrame) {
    if (!policyDelegate_) return true;
    const NavigationPolicy policy = policyDelegate_->decidePolicyForNavigation(*this, url);
    if (traceEnabled()) {
        traceLine((policy == NavigationPolicy::Use ? "Navigation: " : "Navigation handled: ") +
                  url.toString().toStdString());
    }
    if (policy == NavigationPolicy::Use) return true;
    if (isMainFrame) refused_.refused(url);
    return false;
}

void QuickWebView::onLoadingChanged(const QWebEngineLoadingInfo& info) {
    // The engine reports loading as one start and one end for the whole page.
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
        loading_ = true;
        if (refused_.loadStarted(info.url()))
            center_.post(kWebViewProgressStartedNotification, static_cast<const WebView*>(this));
        return;
    }
    loading_ = false;
    const bool failed = info.status() == QWebEngineLoadingInfo::LoadFailedStatus;
    if (traceEnabled()) {
        traceLine((failed ? "Page did not load: " : "Page loaded: ") +
                  info.url().toString().toStdString());
    }
    emit glue_->loadEnded();
    if (!refused_.loadEnded()) return;
    if (bands_) {
        composition_.loadEnded();
        unseenWatchdog_->start();
    }
    center_.post(kWebViewProgressFinishedNotification, static_cast<const WebView*>(this),
                 {{kWebViewLoadFailedKey, failed}});
}

QStringList QuickWebView::chooseFiles() { return chooseFilesFor(*this, uiDelegate_); }

bool QuickWebView::acceptsDrop(const QStringList& fileNames) {
    return registeredForFileNames_ && dragReceiver_ &&
           dragReceiver_->performDragOperation(*this, fileNames);
}

void QuickWebView::concludeDrop(const QStringList& fileNames) {
    // After the drop has returned to the drag source: what follows may take a while.
    QTimer::singleShot(0, glue_.get(), [this, fileNames] {
        if (dragReceiver_) dragReceiver_->concludeDragOperation(*this, fileNames);
    });
}

}  // namespace lirra
