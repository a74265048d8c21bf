#include "QtWebView.h"

#include <QChildEvent>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <algorithm>

#include "ScreenGeometry.h"
#include "WebProfile.h"
#include "platform/Log.h"
#include "platform/qt/webcommon/FileDrops.h"
#include "platform/qt/webcommon/ScriptResult.h"

namespace lirra {

// Holds the engine view and takes the key presses the page did not want.
namespace {

// One pixel taller for a moment: the engine draws the whole page anew at the new size.
void nudgeSize(QWidget* view) {
    if (!view) return;
    const QSize size = view->size();
    view->resize(size + QSize(0, 1));
    // Back to the size its host has then, not the one it had: the window may have been fitted
    // to a video meanwhile, and the page must not stay at the old size.
    QTimer::singleShot(50, view, [view = QPointer<QWidget>(view)] {
        if (view && view->parentWidget()) view->resize(view->parentWidget()->size());
    });
}

}  // namespace

class QtWebView::Host : public QWidget {
  public:
    Host() {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
    }

  protected:
    void keyPressEvent(QKeyEvent* event) override { event->accept(); }
    void keyReleaseEvent(QKeyEvent* event) override { event->accept(); }
};

class QtWebView::Page : public QWebEnginePage {
  public:
    Page(QtWebView& owner, QWebEngineProfile& profile, QObject* parent)
        : QWebEnginePage(&profile, parent), owner_(owner) {}

  protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override {
        return owner_.acceptNavigation(url, isMainFrame);
    }

    QStringList chooseFiles(FileSelectionMode, const QStringList&, const QStringList&) override {
        return owner_.chooseFiles();
    }

    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int line, const QString& source) override {
        logConsoleMessage(level == ErrorMessageLevel, message, line, source);
    }

  private:
    QtWebView& owner_;
};

// Takes every drag before the engine does (the page never receives a dropped file), on the
// engine view and on its render widget, which gets the real drag events.
class QtWebView::DropFilter : public QObject {
  public:
    explicit DropFilter(QtWebView& owner) : owner_(owner) {}

    void watch(QWidget& widget) {
        widget.removeEventFilter(this);
        widget.installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::ChildAdded: {
                // The render widget comes and goes with the page's render process.
                QObject* child = static_cast<QChildEvent*>(event)->child();
                if (child->isWidgetType() && watched == owner_.view_.data())
                    watch(*static_cast<QWidget*>(child));
                return false;
            }
            case QEvent::DragEnter:
            case QEvent::DragMove:
            case QEvent::Drop:
                return handleFileDrop(
                    *event, [this](const QStringList& names) { return owner_.acceptsDrop(names); },
                    [this](const QStringList& names) { owner_.concludeDrop(names); });
            default:
                return false;
        }
    }

  private:
    QtWebView& owner_;
};

QtWebView::QtWebView(NotificationCenter& center, QWebEngineProfile* profile)
    : center_(center), host_(new Host), dropFilter_(std::make_unique<DropFilter>(*this)) {
    auto* view = new QWebEngineView(host_);
    view_ = view;
    host_->layout()->addWidget(view);
    host_->setFocusProxy(view);
    view->setContextMenuPolicy(Qt::NoContextMenu);
    page_ = new Page(*this, profile ? *profile : sharedWebProfile(), view);
    view->setPage(page_);
    QObject::connect(page_, &QWebEnginePage::loadingChanged, page_,
                     [this](const QWebEngineLoadingInfo& info) { onLoadingChanged(info); });
    QObject::connect(page_, &QWebEnginePage::loadStarted, page_, [this] { loading_ = true; });
    QObject::connect(page_, &QWebEnginePage::loadFinished, page_, [this](bool ok) {
        loading_ = false;
        if (traceEnabled()) {
            traceLine((ok ? "Page loaded: " : "Page did not load: ") +
                      page_->url().toString().toStdString());
        }
        // The first page a view shows can stay unpainted: the engine's first frame is lost and
        // later frames repaint only what changed. A new size makes it draw the whole page; on a
        // busy machine the first frame can come well after the load, so it is asked for again.
        if (!repaintedOnce_ && view_) {
            repaintedOnce_ = true;
            for (const int delayMs : {0, 300, 1200}) {
                QTimer::singleShot(delayMs, view_, [view = view_] { nudgeSize(view); });
            }
        }
    });

    dropFilter_->watch(*view);
    if (QWidget* proxy = view->focusProxy()) dropFilter_->watch(*proxy);
}

QtWebView::~QtWebView() {
    // The page goes with the view; the filter after both.
    delete host_.data();
}

QWidget* QtWebView::widget() { return host_; }

QWebEnginePage* QtWebView::page() const { return page_; }

Rect QtWebView::frame() const { return host_ ? frameInParent(*host_) : Rect{}; }

void QtWebView::setFrame(const Rect& frame) {
    if (host_) setFrameInParent(*host_, frame);
}

void QtWebView::setHidden(bool hidden) {
    hidden_ = hidden;
    if (host_) host_->setHidden(hidden);
}

void QtWebView::loadUrl(const QUrl& url) {
    if (page_) page_->load(url);
}

QUrl QtWebView::url() const { return page_ ? page_->url() : QUrl(); }

QString QtWebView::evaluateScript(const QString& script) {
    if (!page_) return QString();
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
        QObject::connect(page_, &QWebEnginePage::loadFinished, &loaded, &QEventLoop::quit);
        QTimer::singleShot(kEvaluationTimeoutMs, Qt::PreciseTimer, &loaded, &QEventLoop::quit);
        loaded.exec(QEventLoop::ExcludeUserInputEvents);
        if (!page_) return QString();
    }
    traceScript(script);
    auto answer = std::make_shared<Answer>();
    QEventLoop loop;
    QPointer<QEventLoop> waiting(&loop);
    page_->runJavaScript(script, [answer, waiting](const QVariant& value) {
        // May come after the time-out, when nobody waits any more.
        answer->done = true;
        answer->value = value;
        if (waiting) waiting->quit();
    });
    if (!answer->done) {
        // Precise: a coarse timer may end the wait up to 5 % early.
        QTimer::singleShot(std::max<qint64>(kEvaluationTimeoutMs - elapsed.elapsed(), 100),
                           Qt::PreciseTimer, &loop, &QEventLoop::quit);
        // Input waits until the answer is in, so that events keep their order.
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (!answer->done) {
        logLine("A script did not answer in time");
        return QString();
    }
    return scriptResultToString(answer->value);
}

void QtWebView::evaluateScriptAsync(const QString& script) {
    if (!page_) return;
    traceScript(script);
    page_->runJavaScript(script);
}

void QtWebView::traceScript(const QString& script) const {
    if (!traceEnabled()) return;
    constexpr int kShown = 400;  // enough for any page event; long answers are cut
    traceLine(("Script: " + (script.size() > kShown ? script.left(kShown) + "..." : script))
                  .toStdString());
}

void QtWebView::setDrawsBackground(bool draws) {
    drawsBackground_ = draws;
    if (page_) page_->setBackgroundColor(draws ? QColor(Qt::white) : QColor(Qt::transparent));
    // What lies beneath was not painted while the page covered it.
    if (host_) host_->window()->update();
}

bool QtWebView::acceptNavigation(const QUrl& url, bool isMainFrame) {
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

void QtWebView::onLoadingChanged(const QWebEngineLoadingInfo& info) {
    // The engine reports loading as one start and one end for the whole page.
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
        if (refused_.loadStarted(info.url()))
            center_.post(kWebViewProgressStartedNotification, static_cast<const WebView*>(this));
        return;
    }
    if (!refused_.loadEnded()) return;
    const bool failed = info.status() == QWebEngineLoadingInfo::LoadFailedStatus;
    center_.post(kWebViewProgressFinishedNotification, static_cast<const WebView*>(this),
                 {{kWebViewLoadFailedKey, failed}});
}

QStringList QtWebView::chooseFiles() { return chooseFilesFor(*this, uiDelegate_); }

bool QtWebView::acceptsDrop(const QStringList& fileNames) {
    return registeredForFileNames_ && dragReceiver_ &&
           dragReceiver_->performDragOperation(*this, fileNames);
}

void QtWebView::concludeDrop(const QStringList& fileNames) {
    // After the drop has returned to the drag source: what follows may take a while.
    QTimer::singleShot(0, page_, [this, fileNames] {
        if (dragReceiver_) dragReceiver_->concludeDragOperation(*this, fileNames);
    });
}

}  // namespace lirra
