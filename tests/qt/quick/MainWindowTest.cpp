// The main window around the stage on a real display: its File menu, frames in the desktop's
// convention, full screen and closing through the delegate, the content's aspect ratio and fit
// to the screen; the conversions beneath, and alerts.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <memory>

#include "platform/qt/window/QtApplication.h"
#include "platform/qt/window/QtMainWindow.h"
#include "platform/qt/window/QuickPlayerWindow.h"
#include "platform/qt/window/ScreenGeometry.h"
#include "support/qt/QtTestLoop.h"

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

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window.setDelegate(&delegate);
        window.show();
        ASSERT_TRUE(runEventLoopUntil([&] { return window.isVisible(); }, 5s));
        runEventLoopFor(50ms);
    }

    Size contentSize() { return window.contentView().bounds().size; }
    bool contentBecomes(Size size) {
        return runEventLoopUntil([&] { return contentSize() == size; }, 5s);
    }

    RecordingWindowDelegate delegate;
    QtMainWindow window;
};

TEST_F(MainWindowTest, TheFileMenuOpensThroughItsHandler) {
    QAction* open = nullptr;
    for (QAction* item : window.menuBar()->findChildren<QAction*>())
        if (item->shortcut() == QKeySequence(QKeySequence::Open)) open = item;
    ASSERT_NE(open, nullptr);
    int opened = 0;
    open->trigger();  // no handler yet: nothing happens
    window.setFileMenuOpenHandler([&] { ++opened; });
    open->trigger();
    EXPECT_EQ(opened, 1);
}

// Frames count from the virtual desktop's bottom edge, the window's and its layers' alike.
TEST_F(MainWindowTest, FramesAreInScreenCoordinatesFromTheLowerLeftAndRoundTrip) {
    const QRect outer = window.frameGeometry();
    EXPECT_EQ(window.frame(),
              (Rect{Point{double(outer.x()), double(screenReferenceHeight() - outer.bottom() - 1)},
                    Size{double(outer.width()), double(outer.height())}}));
    const Rect wanted{Point{100, 120}, Size{700, 500}};
    window.setFrame(wanted, true);
    ASSERT_TRUE(runEventLoopUntil([&] { return window.frame() == wanted; }, 5s))
        << window.frame().origin.x << "," << window.frame().origin.y;
    EXPECT_GT(delegate.moved, 0);

    // A layer's frame too (by default the content area's: StageTest).
    QuickPlayerWindow layer(window, Rect{window.frame().origin, contentSize()});
    window.addChildWindow(layer);
    const Rect smaller{Point{wanted.origin.x + 10, wanted.origin.y + 20}, Size{300, 200}};
    layer.setFrame(smaller, true);
    EXPECT_EQ(layer.frame(), smaller);
}

TEST_F(MainWindowTest, ActivationFullScreenAndClosingGoThroughTheDelegate) {
    window.makeKeyWindow();
    ASSERT_TRUE(runEventLoopUntil([&] { return window.isKeyWindow(); }, 5s));
    EXPECT_GE(delegate.becameKey, 1);
    const QRect before = window.geometry();
    window.toggleFullScreen();
    const QRect screen = window.screen()->geometry();
    ASSERT_TRUE(
        runEventLoopUntil([&] { return window.geometry() == screen && delegate.entered == 1; }, 5s))
        << window.geometry().width() << "x" << window.geometry().height();
    EXPECT_EQ(contentSize().width, screen.width());  // the stage fills it
    window.toggleFullScreen();
    ASSERT_TRUE(
        runEventLoopUntil([&] { return window.geometry() == before && delegate.exited == 1; }, 5s));

    window.QMainWindow::close();  // the delegate says no
    runEventLoopFor(50ms);
    EXPECT_EQ(delegate.askedToClose, 1);
    EXPECT_TRUE(window.isVisible());
    delegate.allowClose = true;
    window.QMainWindow::close();
    EXPECT_FALSE(window.isVisible());
}

// As if the user dragged the right edge, then the bottom one: the other side follows, and the
// views of the content area with it, until increments of 1 by 1 lift the ratio. A video larger
// than the screen gets the largest size of its shape that fits.
TEST_F(MainWindowTest, TheContentKeepsItsAspectRatioAndFitsTheScreen) {
    window.setContentAspectRatio(Size{16, 9});
    window.setContentSize(Size{800, 450});
    ASSERT_TRUE(contentBecomes(Size{800, 450}));
    runEventLoopFor(50ms);
    EXPECT_EQ(contentSize(), (Size{800, 450}));  // our own size stays
    EXPECT_GT(delegate.resized, 0);
    const int extra = window.height() - 450;
    window.resize(960, window.height());
    EXPECT_TRUE(contentBecomes(Size{960, 540})) << contentSize().width;
    window.resize(960, 360 + extra);
    EXPECT_TRUE(contentBecomes(Size{640, 360})) << contentSize().width;
    window.setContentResizeIncrements(Size{1, 1});
    window.resize(500, 500 + extra);
    runEventLoopFor(100ms);
    EXPECT_EQ(contentSize(), (Size{500, 500}));

    const QRect area = window.screen()->availableGeometry();
    for (const Size video : {Size{area.width() * 2.0, double(area.width())},     // too wide
                             Size{area.height() / 2.0, area.height() * 2.0}}) {  // too high
        window.move(area.topLeft() + QPoint(area.width() / 3, area.height() / 3));
        window.setContentAspectRatio(video);
        window.setContentSize(video);
        runEventLoopFor(200ms);
        const QRect frame = window.frameGeometry();
        EXPECT_TRUE(area.contains(frame))
            << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height();
        EXPECT_NEAR(contentSize().width / contentSize().height, video.width / video.height, 0.01);
        // As large as the screen lets it be.
        EXPECT_TRUE(frame.width() >= area.width() - 2 || frame.height() >= area.height() - 2);
    }
}

TEST(ScreenGeometryTest, FlipsRoundsByTheEdgesAndFitsKeepingTheShape) {
    // In a 600-high container: a rectangle 30 below the top, and the whole.
    const struct {
        QRect qt;
        Rect desktop;
    } flips[] = {{{20, 30, 100, 50}, {{20, 520}, {100, 50}}},
                 {{0, 0, 800, 600}, {{0, 0}, {800, 600}}}};
    for (const auto& f : flips) {
        EXPECT_EQ(toDesktopRect(f.qt, 600), f.desktop);
        EXPECT_EQ(toQtRect(f.desktop, 600), f.qt);
    }
    // Edges at 10.4 and 110.6 (x), 0.5 and 50.5 (y, from the bottom of a 100-high container).
    EXPECT_EQ(toQtRect(Rect{Point{10.4, 0.5}, Size{100.2, 50}}, 100), QRect(10, 49, 101, 50));
    EXPECT_EQ(toQtRect(Rect{Point{5, 5}, Size{-3, -3}}, 100).size(), QSize(0, 0));
    const struct {
        QSize content, bounds, fitted;
    } fits[] = {
        {{1280, 720}, {1600, 1000}, {1280, 720}},   // fits: unchanged
        {{1920, 1080}, {1600, 1000}, {1600, 900}},  // the width binds
        {{1920, 1080}, {2000, 900}, {1600, 900}},   // the height binds
        {{1080, 1920}, {1600, 975}, {548, 975}},    // portrait, rounded down to stay inside
        {{4000, 10}, {100, 100}, {100, 1}},         // never below one pixel
    };
    for (const auto& f : fits) EXPECT_EQ(fitWithin(f.content, f.bounds), f.fitted);
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
