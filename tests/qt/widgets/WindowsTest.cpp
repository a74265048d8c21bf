// The main window, the player layers, event routing, full screen, the loader and alerts, on a
// real display.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>
#include <memory>

#include "WidgetsTestSupport.h"
#include "platform/qt/widgets/QtApplication.h"
#include "platform/qt/widgets/QtLoaderView.h"
#include "platform/qt/widgets/QtMainWindow.h"
#include "platform/qt/widgets/QtPlayerWindow.h"
#include "platform/qt/widgets/QtWebView.h"
#include "platform/qt/widgets/ScreenGeometry.h"

namespace lirra {
namespace {

using namespace std::chrono_literals;
using test::runEventLoopFor;
using test::runEventLoopUntil;

const QColor kGreen(0, 255, 0);
const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);

// A plain coloured view, standing for the home screen or the video.
class ColorView : public View, public WidgetBacked {
  public:
    explicit ColorView(QColor color) : widget_(new QWidget) {
        QPalette palette = widget_->palette();
        palette.setColor(QPalette::Window, color);
        widget_->setPalette(palette);
        widget_->setAutoFillBackground(true);
    }
    ~ColorView() override { delete widget_.data(); }
    Rect frame() const override { return frameInParent(*widget_); }
    void setFrame(const Rect& frame) override { setFrameInParent(*widget_, frame); }
    bool isHidden() const override { return widget_->isHidden(); }
    void setHidden(bool hidden) override { widget_->setHidden(hidden); }
    QWidget* widget() override { return widget_; }

  private:
    QPointer<QWidget> widget_;
};

class RecordingWindowDelegate : public WindowDelegate {
  public:
    void windowDidResize() override { ++resized; }
    void windowDidMove() override { ++moved; }
    void windowDidBecomeKey() override { ++becameKey; }
    bool windowShouldClose() override {
        ++askedToClose;
        return allowClose;
    }
    void windowDidEnterFullScreen() override { ++entered; }
    void windowDidExitFullScreen() override { ++exited; }
    int resized = 0, moved = 0, becameKey = 0, askedToClose = 0, entered = 0, exited = 0;
    bool allowClose = false;
};

class RecordingRouter : public EventRouter {
  public:
    bool sendEvent(const InputEvent& event) override {
        if (event.type != InputEvent::kOther) events.push_back(event);
        if (event.clickCount == 2 && onDoubleClick) onDoubleClick();
        if (refuseDoubleClicks && event.clickCount == 2) return false;
        return deliver;
    }
    std::vector<InputEvent> events;
    bool deliver = true;
    bool refuseDoubleClicks = false;
    std::function<void()> onDoubleClick;
};

class WindowsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window = std::make_unique<QtMainWindow>();
        window->setDelegate(&delegate);
        window->show();
        ASSERT_TRUE(runEventLoopUntil([&] { return window->isVisible(); }, 5s));
        runEventLoopFor(50ms);
    }
    void TearDown() override {
        overlay.reset();
        video.reset();
        webView.reset();
        window.reset();
    }

    // The content area in screen coordinates, as the player screen places its layers.
    Rect contentArea() const {
        const Rect frame = window->frame();
        const Rect bounds = window->contentView().bounds();
        return Rect{frame.origin, bounds.size};
    }

    RecordingWindowDelegate delegate;
    std::unique_ptr<QtMainWindow> window;
    std::unique_ptr<QtPlayerWindow> video;
    std::unique_ptr<QtPlayerWindow> overlay;
    NotificationCenter center;
    std::unique_ptr<QtWebView> webView;
};

TEST_F(WindowsTest, TheFileMenuOpensThroughItsHandler) {
    QAction* open = nullptr;
    for (QAction* menu : window->menuBar()->actions()) {
        for (QAction* item : menu->menu()->actions()) {
            if (item->shortcut() == QKeySequence(QKeySequence::Open)) open = item;
        }
    }
    ASSERT_NE(open, nullptr);
    int opened = 0;
    open->trigger();  // no handler yet: nothing happens
    window->setFileMenuOpenHandler([&] { ++opened; });
    open->trigger();
    EXPECT_EQ(opened, 1);
}

TEST_F(WindowsTest, FramesAreInScreenCoordinatesFromTheLowerLeftAndRoundTrip) {
    const int reference = screenReferenceHeight();
    const QRect outer = window->frameGeometry();
    EXPECT_EQ(window->frame(),
              (Rect{Point{double(outer.x()), double(reference - outer.bottom() - 1)},
                    Size{double(outer.width()), double(outer.height())}}));

    const Rect wanted{Point{100, 120}, Size{700, 500}};
    window->setFrame(wanted, true);
    ASSERT_TRUE(runEventLoopUntil([&] { return window->frame() == wanted; }, 5s))
        << window->frame().origin.x << "," << window->frame().origin.y;
    EXPECT_GT(delegate.moved, 0);

    // A layer's frame too, from the lower left of the content area.
    video = std::make_unique<QtPlayerWindow>(*window, contentArea());
    window->addChildWindow(*video);
    Rect smaller{contentArea().origin, Size{300, 200}};
    smaller.origin.x += 10;
    smaller.origin.y += 20;
    video->setFrame(smaller, true);
    EXPECT_EQ(video->frame(), smaller);
    const QRect inArea = video->layerWidget()->geometry();
    EXPECT_EQ(inArea.x(), 10);
    EXPECT_EQ(window->centralArea().height() - inArea.bottom() - 1, 20);
}

TEST_F(WindowsTest, ContentSizeChangesReachTheDelegateAndSubviewsFollow) {
    ColorView below(kGreen);
    ColorView above(kRed);
    window->contentView().addSubview(below);
    window->contentView().addSubview(above);
    const int before = delegate.resized;
    window->setContentSize(Size{800, 450});
    ASSERT_TRUE(runEventLoopUntil(
        [&] {
            return window->contentView().bounds().size == Size{800, 450};
        },
        5s));
    EXPECT_GT(delegate.resized, before);
    EXPECT_EQ(below.frame(), (Rect{Point{0, 0}, Size{800, 450}}));

    // A view given a frame of its own keeps its margins as the content grows.
    ColorView inset(kBlue);
    window->contentView().addSubview(inset);
    inset.setFrame(Rect{Point{10, 20}, Size{100, 50}});
    window->setContentSize(Size{1000, 600});
    ASSERT_TRUE(runEventLoopUntil(
        [&] {
            return window->contentView().bounds().size == Size{1000, 600};
        },
        5s));
    EXPECT_EQ(inset.frame(), (Rect{Point{10, 20}, Size{300, 200}}));
    // Later subviews lie above earlier ones.
    const QObjectList& order =
        dynamic_cast<WidgetBacked&>(window->contentView()).widget()->children();
    EXPECT_LT(order.indexOf(below.widget()), order.indexOf(above.widget()));
}

TEST_F(WindowsTest, PlayerLayersStackOverTheContentAreaAndComeBackAfterClosing) {
    test::PageServer server;
    server.page("/page/overlay",
                "<html><body style='margin:0;background:transparent'>"
                "<div style='width:80px;height:80px;background:rgb(0,0,255)'></div></body></html>");
    ASSERT_TRUE(server.start());

    ColorView home(kGreen);
    window->contentView().addSubview(home);
    ColorView picture(kRed);
    webView = std::make_unique<QtWebView>(center);
    webView->setDrawsBackground(false);

    video = std::make_unique<QtPlayerWindow>(*window, contentArea());
    overlay = std::make_unique<QtPlayerWindow>(*window, contentArea());
    EXPECT_FALSE(video->isVisible());
    EXPECT_EQ(video->frame(), contentArea());
    video->setContentView(picture);
    overlay->setContentView(*webView);
    ASSERT_TRUE(test::loadAndWait(*webView, server.url("/page/overlay")));

    QWidget& area = window->centralArea();
    const QPoint empty(area.width() / 2, area.height() / 2);
    EXPECT_TRUE(test::waitForPixel(area, empty, kGreen));

    window->addChildWindow(*video);
    window->addChildWindow(*overlay);
    EXPECT_TRUE(video->isVisible());
    EXPECT_TRUE(overlay->isVisible());
    // The page's square over the video, the video wherever the page is transparent.
    EXPECT_TRUE(test::waitForPixel(area, QPoint(40, 40), kBlue));
    EXPECT_TRUE(test::waitForPixel(area, empty, kRed));
    if (const int pause = qEnvironmentVariableIntValue("LIRRA_TEST_SCREENSHOT_PAUSE_MS"))
        runEventLoopFor(std::chrono::milliseconds(pause));  // time to look at it

    overlay->close();
    video->close();
    EXPECT_TRUE(test::waitForPixel(area, QPoint(40, 40), kGreen));

    // Attached again, in the same order, they come back as they were.
    window->addChildWindow(*video);
    window->addChildWindow(*overlay);
    EXPECT_TRUE(test::waitForPixel(area, QPoint(40, 40), kBlue));
    EXPECT_TRUE(test::waitForPixel(area, empty, kRed));

    // The layers follow the content area when the window changes size.
    window->setContentSize(Size{640, 360});
    ASSERT_TRUE(runEventLoopUntil(
        [&] {
            return window->contentView().bounds().size == Size{640, 360};
        },
        5s));
    EXPECT_EQ(overlay->frame(), contentArea());
    EXPECT_EQ(webView->frame().size, (Size{640, 360}));
}

TEST_F(WindowsTest, RouterSeesDoubleClicksAndEscapeAndSwallowsWhatItRefuses) {
    test::PageServer server;
    server.page("/page/events",
                // The engine drops input until the page has painted something.
                "<html><body style='margin:0'><p>Player page</p><script>"
                "window.downs = []; window.keys = 0;"
                "document.addEventListener('mousedown', function (e) { downs.push(e.detail); });"
                "document.addEventListener('keydown', function () { keys++; });"
                "</script></body></html>");
    ASSERT_TRUE(server.start());
    RecordingRouter router;
    overlay = std::make_unique<QtPlayerWindow>(*window, contentArea());
    // Set before the page exists: the engine's render widget comes later and is watched too.
    overlay->setEventRouter(&router);
    webView = std::make_unique<QtWebView>(center);
    overlay->setContentView(*webView);
    window->addChildWindow(*overlay);
    ASSERT_TRUE(test::loadAndWait(*webView, server.url("/page/events")));
    ASSERT_TRUE(test::waitForPaint(*webView));
    QWidget* target = webView->engineView()->focusProxy();
    ASSERT_NE(target, nullptr);
    overlay->makeKeyWindow();

    const int layerHeight = overlay->layerWidget()->height();
    const QPoint at(100, 50);  // in the page
    // Real input through the window system: Qt makes the second press a double click and
    // delivers it to whatever widget lies on top there.
    QWindow* native = window->windowHandle();
    const QPoint inWindow = target->mapTo(window.get(), at);
    auto doubleClick = [&](Qt::KeyboardModifiers modifiers) {
        QTest::mouseDClick(native, Qt::LeftButton, modifiers, inWindow);
        runEventLoopFor(10ms);
    };
    auto pageDowns = [&] { return webView->evaluateScript("downs.length"); };

    // Delivered: the page sees both presses.
    doubleClick(Qt::NoModifier);
    ASSERT_TRUE(runEventLoopUntil([&] { return pageDowns() == "2"; }, 5s))
        << pageDowns().toStdString() << " routed " << router.events.size();
    ASSERT_EQ(router.events.size(), 4u);
    EXPECT_EQ(router.events[0].type, InputEvent::kLeftMouseDown);
    EXPECT_EQ(router.events[0].clickCount, 1);
    EXPECT_EQ(router.events[1].type, InputEvent::kLeftMouseUp);
    EXPECT_EQ(router.events[2].type, InputEvent::kLeftMouseDown);
    EXPECT_EQ(router.events[2].clickCount, 2);
    EXPECT_EQ(router.events[2].modifierFlags, 0u);
    EXPECT_EQ(router.events[2].locationInWindow, (Point{100, double(layerHeight - 50)}));
    EXPECT_EQ(router.events[3].type, InputEvent::kLeftMouseUp);

    // Refused second press: the page gets the first press and both releases only.
    router.events.clear();
    webView->evaluateScript(
        "downs = []; window.ups = 0;"
        "document.addEventListener('mouseup', function () { ups++; }); 0");
    router.refuseDoubleClicks = true;
    // The router may ask the page synchronously while the event waits, as the app does.
    QString asked;
    router.onDoubleClick = [&] { asked = webView->evaluateScript("downs.length + 40"); };
    doubleClick(Qt::ControlModifier);
    ASSERT_TRUE(runEventLoopUntil([&] { return webView->evaluateScript("ups") == "2"; }, 5s));
    runEventLoopFor(100ms);
    EXPECT_EQ(pageDowns(), "1");
    ASSERT_EQ(router.events.size(), 4u);
    EXPECT_EQ(router.events[2].clickCount, 2);
    EXPECT_EQ(router.events[2].modifierFlags, kControlKeyMask);
    // Answered while the event waits (the page may or may not have seen the first press yet).
    EXPECT_TRUE(asked == "40" || asked == "41") << asked.toStdString();
    router.refuseDoubleClicks = false;
    router.onDoubleClick = nullptr;

    // Escape: a key press with the desktop's key code, swallowed when refused.
    router.events.clear();
    router.deliver = false;
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &escape);
    router.deliver = true;
    QKeyEvent letter(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier, "b");
    QCoreApplication::sendEvent(target, &letter);
    ASSERT_TRUE(runEventLoopUntil([&] { return webView->evaluateScript("keys") == "1"; }, 5s));
    runEventLoopFor(200ms);
    EXPECT_EQ(webView->evaluateScript("keys"), "1");  // only the letter
    ASSERT_EQ(router.events.size(), 2u);
    EXPECT_EQ(router.events[0].type, InputEvent::kKeyDown);
    EXPECT_EQ(router.events[0].keyCode, kEscapeKeyCode);
    EXPECT_EQ(router.events[1].keyCode, -1);
}

TEST_F(WindowsTest, FullScreenTogglesWithCallbacksAndRestoresTheWindow) {
    const QRect before = window->geometry();
    window->toggleFullScreen();
    const QRect screen = window->screen()->geometry();
    ASSERT_TRUE(runEventLoopUntil(
        [&] { return window->geometry() == screen && delegate.entered == 1; }, 5s))
        << window->geometry().width() << "x" << window->geometry().height();
    window->toggleFullScreen();
    ASSERT_TRUE(runEventLoopUntil(
        [&] { return window->geometry() == before && delegate.exited == 1; }, 5s));
}

TEST_F(WindowsTest, ClosingAsksTheDelegate) {
    delegate.allowClose = false;
    window->QMainWindow::close();
    runEventLoopFor(50ms);
    EXPECT_EQ(delegate.askedToClose, 1);
    EXPECT_TRUE(window->isVisible());
    delegate.allowClose = true;
    window->QMainWindow::close();
    EXPECT_EQ(delegate.askedToClose, 2);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(WindowsTest, AspectRatioHoldsWhileTheWindowIsResizedUntilIncrementsLiftIt) {
    window->setContentAspectRatio(Size{16, 9});
    window->setContentSize(Size{800, 450});
    ASSERT_TRUE(runEventLoopUntil(
        [&] {
            return window->contentView().bounds().size == Size{800, 450};
        },
        5s));
    runEventLoopFor(50ms);
    EXPECT_EQ(window->contentView().bounds().size, (Size{800, 450}));  // our own size stays

    // As if the user dragged the right edge: the height follows the width.
    const int extra = window->height() - window->centralArea().height();
    window->resize(960, window->height());
    ASSERT_TRUE(runEventLoopUntil(
        [&] {
            return window->contentView().bounds().size == Size{960, 540};
        },
        5s))
        << window->centralArea().width() << "x" << window->centralArea().height();
    // The bottom edge: the width follows the height.
    window->resize(960, 360 + extra);
    ASSERT_TRUE(runEventLoopUntil(
        [&] {
            return window->contentView().bounds().size == Size{640, 360};
        },
        5s))
        << window->centralArea().width() << "x" << window->centralArea().height();

    window->setContentResizeIncrements(Size{1, 1});
    window->resize(500, 500 + extra);
    runEventLoopFor(100ms);
    EXPECT_EQ(window->contentView().bounds().size, (Size{500, 500}));
}

TEST_F(WindowsTest, AVideoLargerThanTheScreenIsFittedInsideItWithItsShape) {
    const QRect area = window->screen()->availableGeometry();
    window->move(area.topLeft() + QPoint(area.width() / 3, area.height() / 3));
    const Size video{double(area.width()) * 2, double(area.width())};  // 2:1, twice too wide
    window->setContentAspectRatio(video);
    window->setContentSize(video);
    ASSERT_TRUE(
        runEventLoopUntil([&] { return window->centralArea().width() > area.width() / 2; }, 5s));
    runEventLoopFor(100ms);
    const QSize content = window->centralArea().size();
    EXPECT_TRUE(area.contains(window->frameGeometry()))
        << window->frameGeometry().x() << "," << window->frameGeometry().y() << " "
        << window->frameGeometry().width() << "x" << window->frameGeometry().height();
    EXPECT_NEAR(double(content.width()) / content.height(), 2.0, 0.01);
    // As large as the screen lets it be: here the width binds.
    EXPECT_GE(window->frameGeometry().width(), area.width() - 2);
}

TEST_F(WindowsTest, KeyFocusMovesToTheOverlayAndActivationIsReported) {
    window->makeKeyWindow();
    ASSERT_TRUE(runEventLoopUntil([&] { return window->isKeyWindow(); }, 5s));
    EXPECT_GE(delegate.becameKey, 1);

    webView = std::make_unique<QtWebView>(center);
    overlay = std::make_unique<QtPlayerWindow>(*window, contentArea());
    overlay->setContentView(*webView);
    window->addChildWindow(*overlay);
    ColorView home(kGreen);
    home.widget()->setFocusPolicy(Qt::StrongFocus);
    window->contentView().addSubview(home);
    home.widget()->setFocus();
    EXPECT_FALSE(overlay->isKeyWindow());
    overlay->makeKeyWindow();
    ASSERT_TRUE(runEventLoopUntil([&] { return overlay->isKeyWindow(); }, 5s));
    overlay->close();
    EXPECT_FALSE(overlay->isKeyWindow());
}

TEST(LoaderViewTest, TheWheelTurnsWhileAnimatedAndTheLabelShowsItsText) {
    QtLoaderView loader;
    loader.widget()->resize(300, 200);
    loader.widget()->show();
    EXPECT_FALSE(loader.isAnimating());
    EXPECT_FALSE(loader.wheel()->isVisible());

    loader.startAnimation();
    loader.setLabelText("Connecting...");
    EXPECT_TRUE(loader.isAnimating());
    EXPECT_TRUE(loader.wheel()->isVisible());
    const int step = loader.wheel()->step();
    ASSERT_TRUE(runEventLoopUntil([&] { return loader.wheel()->step() != step; }, 2s));
    // Centred, with the label beneath.
    const QRect wheel = loader.wheel()->geometry();
    EXPECT_NEAR(wheel.center().x(), 150, 2);

    loader.stopAnimation();
    EXPECT_FALSE(loader.isAnimating());
    const int stopped = loader.wheel()->step();
    runEventLoopFor(3 * SpinningWheel::kStepMs * 1ms);
    EXPECT_EQ(loader.wheel()->step(), stopped);
}

TEST(ApplicationTest, AlertsAnswerTheButtonPressedInTheirOrder) {
    qunsetenv(QtApplication::kAutoReplyVariable);
    QtApplication application;
    // Presses the second of three buttons once the alert is up.
    QString shownText;
    QTimer::singleShot(100, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shownText = box->text() + "|" + box->informativeText();
        ASSERT_EQ(box->buttons().size(), 3);
        for (QAbstractButton* button : box->buttons())
            if (button->text() == "Second") button->click();
    });
    const int answer = application.runModalAlert(
        AlertSpec{"Message", "Details", {"First", "Second", "Third"}, AlertStyle::kCritical});
    EXPECT_EQ(answer, kAlertFirstButtonReturn + 1);
    EXPECT_EQ(shownText, "Message|Details");
}

// Alerts answered by themselves for automated runs, and the platform making the app's views
// and layers: the end-to-end journeys.

}  // namespace
}  // namespace lirra
