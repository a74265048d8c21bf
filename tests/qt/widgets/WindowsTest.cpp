// The main window, the player layers, event routing, full screen and alerts, on a real display.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMessageBox>
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
        return deliver && !(refuseDoubleClicks && event.clickCount == 2);
    }
    std::vector<InputEvent> events;
    bool deliver = true, refuseDoubleClicks = false;
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

    // The content area in screen coordinates, as the player screen places its layers.
    Rect contentArea() const { return Rect{window->frame().origin, contentSize()}; }
    Size contentSize() const { return window->contentView().bounds().size; }
    bool contentBecomes(Size size) {
        return runEventLoopUntil([&] { return contentSize() == size; }, 5s);
    }

    // Destroyed in reverse: the layers before the views they show, all before the window.
    RecordingWindowDelegate delegate;
    std::unique_ptr<QtMainWindow> window;
    NotificationCenter center;
    std::unique_ptr<QtWebView> webView;
    std::unique_ptr<QtPlayerWindow> video;
    std::unique_ptr<QtPlayerWindow> overlay;
};

TEST_F(WindowsTest, TheFileMenuOpensThroughItsHandler) {
    QAction* open = nullptr;
    for (QAction* item : window->menuBar()->findChildren<QAction*>())
        if (item->shortcut() == QKeySequence(QKeySequence::Open)) open = item;
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
    const Point origin = contentArea().origin;
    const Rect smaller{Point{origin.x + 10, origin.y + 20}, Size{300, 200}};
    video->setFrame(smaller, true);
    EXPECT_EQ(video->frame(), smaller);
    const QRect inArea = video->layerWidget()->geometry();
    EXPECT_EQ(inArea.x(), 10);
    EXPECT_EQ(window->centralArea().height() - inArea.bottom() - 1, 20);
}

// The page over the playing video, the layers coming back for a second video, and the app
// moving them with the window: the journeys (JourneyWithTestServiceTest,
// EmbeddedServiceJourneyTest) and PlayerScreenTest.

TEST_F(WindowsTest, RouterSeesDoubleClicksAndEscapeAndSwallowsWhatItRefuses) {
    test::PageServer server;
    server.page("/page/events",
                // The engine drops input until the page has painted something.
                "<html><body style='margin:0'><p>Player page</p><script>"
                "var downs = 0, ups = 0, keys = 0;"
                "document.onmousedown = function () { downs++; };"
                "document.onmouseup = function () { ups++; };"
                "document.onkeydown = function () { keys++; };</script></body></html>");
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
    ASSERT_TRUE(runEventLoopUntil([&] { return overlay->isKeyWindow(); }, 5s));

    // Real input through the window system: Qt makes the second press a double click and
    // delivers it to whatever widget lies on top there.
    const QPoint inWindow = target->mapTo(window.get(), QPoint(100, 50));
    auto doubleClick = [&](Qt::KeyboardModifiers modifiers) {
        router.events.clear();
        QTest::mouseDClick(window->windowHandle(), Qt::LeftButton, modifiers, inWindow);
        ASSERT_TRUE(runEventLoopUntil([&] { return webView->evaluateScript("ups") == "2"; }, 5s))
            << "routed " << router.events.size();
        runEventLoopFor(100ms);
        ASSERT_EQ(router.events.size(), 4u);
        for (int i : {0, 1, 2, 3}) {
            EXPECT_EQ(router.events[i].type,
                      i % 2 ? InputEvent::kLeftMouseUp : InputEvent::kLeftMouseDown);
        }
        EXPECT_EQ(router.events[0].clickCount, 1);
        EXPECT_EQ(router.events[2].clickCount, 2);
    };

    // Delivered: the page sees both presses.
    ASSERT_NO_FATAL_FAILURE(doubleClick(Qt::NoModifier));
    EXPECT_EQ(webView->evaluateScript("downs"), "2");
    EXPECT_EQ(router.events[2].modifierFlags, 0u);
    const double layerHeight = overlay->layerWidget()->height();
    EXPECT_EQ(router.events[2].locationInWindow, (Point{100, layerHeight - 50}));

    // Refused second press: the page gets the first press and both releases only. The router
    // may ask the page synchronously while the event waits, as the app does.
    webView->evaluateScript("downs = ups = 0");
    router.refuseDoubleClicks = true;
    QString asked;
    router.onDoubleClick = [&] { asked = webView->evaluateScript("downs + 40"); };
    ASSERT_NO_FATAL_FAILURE(doubleClick(Qt::ControlModifier));
    EXPECT_EQ(webView->evaluateScript("downs"), "1");
    EXPECT_EQ(router.events[2].modifierFlags, kControlKeyMask);
    // The page may or may not have seen the first press yet.
    EXPECT_TRUE(asked == "40" || asked == "41") << asked.toStdString();

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

TEST_F(WindowsTest, ActivationFullScreenAndClosingGoThroughTheDelegate) {
    window->makeKeyWindow();
    ASSERT_TRUE(runEventLoopUntil([&] { return window->isKeyWindow(); }, 5s));
    EXPECT_GE(delegate.becameKey, 1);
    const QRect before = window->geometry();
    window->toggleFullScreen();
    const QRect screen = window->screen()->geometry();
    ASSERT_TRUE(runEventLoopUntil(
        [&] { return window->geometry() == screen && delegate.entered == 1; }, 5s))
        << window->geometry().width() << "x" << window->geometry().height();
    window->toggleFullScreen();
    ASSERT_TRUE(runEventLoopUntil(
        [&] { return window->geometry() == before && delegate.exited == 1; }, 5s));

    window->QMainWindow::close();  // the delegate says no
    runEventLoopFor(50ms);
    EXPECT_EQ(delegate.askedToClose, 1);
    EXPECT_TRUE(window->isVisible());
    delegate.allowClose = true;
    window->QMainWindow::close();
    EXPECT_FALSE(window->isVisible());
}

// Content size changes reach the delegate and the views in the content area follow.
TEST_F(WindowsTest, AspectRatioHoldsWhileTheWindowIsResizedUntilIncrementsLiftIt) {
    QtLoaderView home;
    window->contentView().addSubview(home);
    window->setContentAspectRatio(Size{16, 9});
    window->setContentSize(Size{800, 450});
    ASSERT_TRUE(contentBecomes(Size{800, 450}));
    runEventLoopFor(50ms);
    EXPECT_EQ(contentSize(), (Size{800, 450}));  // our own size stays
    EXPECT_GT(delegate.resized, 0);

    // As if the user dragged the right edge, then the bottom one: the other side follows.
    const int extra = window->height() - window->centralArea().height();
    window->resize(960, window->height());
    EXPECT_TRUE(contentBecomes(Size{960, 540})) << contentSize().width;
    window->resize(960, 360 + extra);
    EXPECT_TRUE(contentBecomes(Size{640, 360})) << contentSize().width;
    EXPECT_EQ(home.frame(), (Rect{Point{0, 0}, Size{640, 360}}));

    window->setContentResizeIncrements(Size{1, 1});
    window->resize(500, 500 + extra);
    runEventLoopFor(100ms);
    EXPECT_EQ(contentSize(), (Size{500, 500}));
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
    const QRect frame = window->frameGeometry();
    EXPECT_TRUE(area.contains(frame))
        << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height();
    EXPECT_NEAR(double(content.width()) / content.height(), 2.0, 0.01);
    // As large as the screen lets it be: here the width binds.
    EXPECT_GE(frame.width(), area.width() - 2);
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

}  // namespace
}  // namespace lirra
