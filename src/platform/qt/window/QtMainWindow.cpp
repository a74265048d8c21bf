// SPDX-License-Identifier: GPL-3.0-or-later
#include "QtMainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "QuickPlayerWindow.h"
#include "ScreenGeometry.h"
#include "platform/qt/quick/ItemBacked.h"
#include "platform/qt/quick/QuickContentView.h"
#include "platform/qt/quick/QuickInputRouting.h"
#include "platform/qt/quick/QuickStage.h"

namespace lirra {

namespace {

// Without a window manager (a bare X server) nothing resizes a window that asks for full
// screen; this is how long we wait for one before filling the screen ourselves.
constexpr int kFullScreenGraceMs = 250;
// Qt takes our own resize at once, but the window system still reports the sizes asked before
// it; one arriving this soon after ours is corrected only once the sizes have settled, or it
// would undo ours.
constexpr qint64 kSettleMs = 500;

}  // namespace

// The central area: reports its resizes, which are the content resizes of the window.
class QtMainWindow::CentralArea : public QWidget {
  public:
    CentralArea(QtMainWindow& window) : QWidget(&window), window_(window) {}

  protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        window_.contentDidResize();
    }

  private:
    QtMainWindow& window_;
};

QtMainWindow::QtMainWindow()
    : central_(new CentralArea(*this)),
      stage_(std::make_unique<QuickStage>()),
      contentView_(std::make_unique<QuickContentView>(stage_->contentLayer())) {
    setWindowTitle(QStringLiteral("Lirra"));
    auto* layout = new QVBoxLayout(central_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(&stage_->container(central_));
    // The stage is a window of its own inside this one, and the only one that takes keys.
    // The window system hands them to this window on activation and after full screen
    // (when Qt may also have moved the widget focus), and this window does not pass them on.
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* focused) {
        QWidget* container = stage_->container();
        if (!container || !focused || focused != windowHandle()) return;
        container->setFocus(Qt::ActiveWindowFocusReason);
        stage_->window().requestActivate();
    });
    setCentralWidget(central_);

    fileMenu_ = menuBar()->addMenu(QString());
    openAction_ = fileMenu_->addAction(QString());
    openAction_->setShortcut(QKeySequence::Open);
    connect(openAction_, &QAction::triggered, this, [this] {
        if (openHandler_) openHandler_();
    });
    fileMenu_->addSeparator();
    quitAction_ = fileMenu_->addAction(QString());
    quitAction_->setShortcut(QKeySequence::Quit);
    quitAction_->setMenuRole(QAction::QuitRole);
    // Leaves at once: asking the windows first would send the close button's handling back.
    connect(
        quitAction_, &QAction::triggered, qApp, [] { QCoreApplication::exit(0); },
        Qt::QueuedConnection);
    nameMenus();

    resizeContent(QSize(kInitialContentWidth, kInitialContentHeight));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect placed(QPoint(), size());
        placed.moveCenter(screen->availableGeometry().center());
        move(placed.topLeft());
    }
}

// The content view before the stage it stands on, the stage's window before the widgets it lies
// among (the members go before the window's children).
QtMainWindow::~QtMainWindow() = default;

ContentView& QtMainWindow::contentView() { return *contentView_; }

void QtMainWindow::setFileMenuOpenHandler(std::function<void()> handler) {
    openHandler_ = std::move(handler);
}

Rect QtMainWindow::frame() const { return toDesktopRect(frameGeometry(), screenReferenceHeight()); }

void QtMainWindow::setFrame(const Rect& frame, bool /*display*/) {
    // Qt places the inside of the window; take the window manager's frame off first.
    const QRect outer = toQtRect(frame, screenReferenceHeight());
    const QRect inner = geometry();
    const QRect decorated = frameGeometry();
    const QMargins decoration(inner.left() - decorated.left(), inner.top() - decorated.top(),
                              decorated.right() - inner.right(),
                              decorated.bottom() - inner.bottom());
    const QRect target = outer.marginsRemoved(decoration);
    expectSize(target.size());
    setGeometry(target);
}

void QtMainWindow::setContentView(View& view) {
    if (auto* backed = dynamic_cast<ItemBacked*>(&view); backed && backed->item())
        contentView_->adopt(*backed->item());
}

int QtMainWindow::nonContentHeight() const {
    if (isVisible() && central_->height() > 0) return height() - central_->height();
    return menuBar()->sizeHint().height();
}

void QtMainWindow::resizeContent(const QSize& size) {
    const QSize target(size.width(), size.height() + nonContentHeight());
    expectSize(target);
    resize(target);
}

QMargins QtMainWindow::decoration() const {
    const QRect inner = geometry();
    const QRect outer = frameGeometry();
    return QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                    outer.right() - inner.right(), outer.bottom() - inner.bottom());
}

QRect QtMainWindow::availableArea() const {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

void QtMainWindow::setContentSize(const Size& size) {
    QSize content(int(std::lround(size.width)), int(std::lround(size.height)));
    // A video larger than the screen gets the largest size of its shape that fits.
    const QRect area = availableArea();
    if (area.isValid()) {
        const QMargins frame = decoration();
        content = fitWithin(
            content, QSize(area.width() - frame.left() - frame.right(),
                           area.height() - frame.top() - frame.bottom() - nonContentHeight()));
    }
    if (isFullScreen()) {
        // Applies when full screen ends.
        normalGeometry_.setSize(QSize(content.width(), content.height() + nonContentHeight()));
        return;
    }
    conformingSize_ = content;
    resizeContent(content);
    if (area.isValid()) {
        // The grown window is moved back inside the screen where it would leave it.
        const QRect frame(frameGeometry().topLeft(), QMainWindow::size().grownBy(decoration()));
        QPoint topLeft = frame.topLeft();
        topLeft.setX(
            std::max(area.left(), std::min(topLeft.x(), area.right() + 1 - frame.width())));
        topLeft.setY(
            std::max(area.top(), std::min(topLeft.y(), area.bottom() + 1 - frame.height())));
        if (topLeft != frame.topLeft()) move(topLeft);
    }
}

void QtMainWindow::setContentAspectRatio(const Size& ratio) {
    aspectRatio_ = (ratio.width > 0 && ratio.height > 0) ? ratio : Size{0, 0};
    setSizeIncrement(0, 0);
}

void QtMainWindow::setContentResizeIncrements(const Size& increments) {
    // Increments and an aspect ratio exclude each other; 1 by 1 resizes freely.
    aspectRatio_ = Size{0, 0};
    const int width = int(std::lround(increments.width));
    const int height = int(std::lround(increments.height));
    setSizeIncrement(width <= 1 ? 0 : width, height <= 1 ? 0 : height);
}

void QtMainWindow::toggleFullScreen() {
    if (isFullScreen()) {
        showNormal();
        if (normalGeometry_.isValid()) {
            expectSize(normalGeometry_.size());
            setGeometry(normalGeometry_);
        }
        return;
    }
    normalGeometry_ = geometry();
    showFullScreen();
    QTimer::singleShot(kFullScreenGraceMs, this, [this] { completeFullScreen(); });
}

void QtMainWindow::completeFullScreen() {
    if (!isFullScreen()) return;
    const QScreen* screen = this->screen();
    if (!screen || geometry() == screen->geometry()) return;
    expectSize(screen->geometry().size());
    // On the native window: QWidget::setGeometry would end the full-screen state.
    if (QWindow* native = windowHandle()) native->setGeometry(screen->geometry());
}

void QtMainWindow::makeKeyWindow() {
    raise();
    activateWindow();
}

void QtMainWindow::addChildWindow(Window& child) {
    if (auto* layer = dynamic_cast<QuickPlayerWindow*>(&child); layer && layer->isOnStage(*stage_))
        layer->attach();
}

// The main window's own views: the stage's lowest layer.
void QtMainWindow::setEventRouter(EventRouter* router) {
    if (!router) {
        routing_.reset();
    } else if (routing_) {
        routing_->setRouter(router);
    } else {
        routing_ =
            std::make_unique<QuickInputRouting>(stage_->window(), stage_->contentLayer(), router);
    }
}

void QtMainWindow::closeEvent(QCloseEvent* event) {
    if (delegate_ && !delegate_->windowShouldClose()) {
        event->ignore();
        return;
    }
    event->accept();
}

// In the interface's language of the moment (a new translator sends LanguageChange).
void QtMainWindow::nameMenus() {
    fileMenu_->setTitle(QCoreApplication::translate("QtMainWindow", "&File"));
    openAction_->setText(QCoreApplication::translate("QtMainWindow", "Open…"));
    quitAction_->setText(QCoreApplication::translate("QtMainWindow", "Quit"));
}

void QtMainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::LanguageChange) {
        nameMenus();
    } else if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        if (delegate_) delegate_->windowDidBecomeKey();
    } else if (event->type() == QEvent::WindowStateChange) {
        const bool fullScreen = isFullScreen();
        if (fullScreen == wasFullScreen_) return;
        wasFullScreen_ = fullScreen;
        // Told once the change is done, not from inside Qt's state change.
        QTimer::singleShot(0, this, [this, fullScreen] {
            if (!delegate_) return;
            if (fullScreen) {
                delegate_->windowDidEnterFullScreen();
            } else {
                delegate_->windowDidExitFullScreen();
            }
        });
    }
}

void QtMainWindow::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    if (delegate_) delegate_->windowDidMove();
}

void QtMainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (size() == expectedSize_) return;
    const qint64 sinceOurs = expectedSize_.isValid() ? expectedAt_.elapsed() : kSettleMs;
    if (sinceOurs >= kSettleMs) expectedSize_ = QSize();
    if (aspectRatio_.width > 0 && !isFullScreen() && !correctionPending_) {
        // Corrected after the window system has finished this resize.
        correctionPending_ = true;
        QTimer::singleShot(int(std::max<qint64>(0, kSettleMs - sinceOurs)), this,
                           [this] { enforceAspectRatio(); });
    }
}

void QtMainWindow::expectSize(const QSize& size) {
    expectedSize_ = size;
    expectedAt_.start();
}

void QtMainWindow::enforceAspectRatio() {
    correctionPending_ = false;
    if (aspectRatio_.width <= 0 || isFullScreen()) return;
    const QSize content = central_->size();
    const double ratio = aspectRatio_.height / aspectRatio_.width;
    // Keep the dimension the user dragged: the height when only the height moved, else the width.
    const bool heightOnly = conformingSize_.isValid() &&
                            content.width() == conformingSize_.width() &&
                            content.height() != conformingSize_.height();
    const QSize corrected =
        heightOnly ? QSize(int(std::lround(content.height() / ratio)), content.height())
                   : QSize(content.width(), int(std::lround(content.width() * ratio)));
    conformingSize_ = corrected;
    if (corrected != content) resizeContent(corrected);
}

void QtMainWindow::contentDidResize() {
    if (delegate_) delegate_->windowDidResize();
}

}  // namespace lirra
