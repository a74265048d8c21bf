// SPDX-License-Identifier: GPL-3.0-or-later
// The main window and its Qt Quick stage on a real display.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <memory>
#include <tuple>

#include "StageStandIns.h"
#include "platform/qt/quick/QuickLoaderView.h"
#include "platform/qt/quick/QuickStage.h"
#include "platform/qt/window/QtApplication.h"
#include "platform/qt/window/QtMainWindow.h"
#include "platform/qt/window/QuickPlayerWindow.h"
#include "platform/qt/window/ScreenGeometry.h"
#include "support/qt/QtTestLoop.h"

namespace lirra {
namespace {

using namespace std::chrono_literals;
using test::RecordingRouter;
using test::runEventLoopFor;
using test::runEventLoopUntil;

// A view standing for a page, on an item that counts what reaches it.
class ItemView : public View, public ItemBacked {
  public:
    Rect frame() const override { return {}; }
    void setFrame(const Rect&) override {}
    bool isHidden() const override { return !counts.isVisible(); }
    void setHidden(bool hidden) override { counts.setVisible(!hidden); }
    QQuickItem* item() override { return &counts; }
    test::CountingItem counts;
};

class RecordingDelegate : public WindowDelegate {
  public:
    void windowDidResize() override { ++resized; }
    void windowDidMove() override { ++moved; }
    void windowDidBecomeKey() override { ++becameKey; }
    bool windowShouldClose() override { return ++askedToClose, allowClose; }
    int resized = 0, moved = 0, becameKey = 0, askedToClose = 0;
    bool allowClose = false;
};

// The main window with a view at home and two layers not yet attached.
class StageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window.setDelegate(&delegate);
        window.show();
        ASSERT_TRUE(runEventLoopUntil([&] { return scene()->isExposed(); }, 5s));
        window.contentView().addSubview(home);
        video = std::make_unique<QuickPlayerWindow>(window, contentArea());
        overlay = std::make_unique<QuickPlayerWindow>(window, contentArea());
        video->setContentView(picture);
        overlay->setContentView(page);
    }

    QQuickWindow* scene() { return &window.stage().window(); }
    Size contentSize() { return window.contentView().bounds().size; }
    Rect contentArea() { return Rect{window.frame().origin, contentSize()}; }
    bool contentBecomes(Size size) {
        return runEventLoopUntil([&] { return contentSize() == size; }, 5s);
    }

    ItemView home, picture, page;
    RecordingDelegate delegate;
    QtMainWindow window;
    std::unique_ptr<QuickPlayerWindow> video, overlay;
};

TEST_F(StageTest, ViewsFillTheContentLayersStackTheFocusComesBackHomeAndTheLoaderCancels) {
    // The content view's subviews fill it and follow its size, keeping a frame set from outside.
    QuickLoaderView loader;
    window.contentView().addSubview(loader);
    loader.setFrame(Rect{Point{10, 20}, Size{contentSize().width - 20, contentSize().height - 40}});
    window.setContentSize(Size{800, 500});
    ASSERT_TRUE(contentBecomes(Size{800, 500}));
    EXPECT_EQ(home.item()->size(), QSizeF(800, 500));
    EXPECT_EQ(loader.frame(), (Rect{Point{10, 20}, Size{780, 460}}));

    // Layers show only once attached, the later above; their frames are the content area.
    EXPECT_FALSE(overlay->isVisible());
    window.addChildWindow(*video);
    window.addChildWindow(*overlay);
    ASSERT_TRUE(video->isVisible() && overlay->isVisible());
    EXPECT_GT(overlay->layerItem()->z(), video->layerItem()->z());
    // The video is drawn beneath the whole scene: nothing of the main window's may cover it.
    EXPECT_FALSE(home.item()->isVisible() || loader.item()->isVisible());
    EXPECT_EQ(overlay->frame().size, (Size{800, 500}));
    EXPECT_NEAR(overlay->frame().origin.x, contentArea().origin.x, 1);
    EXPECT_NEAR(overlay->frame().origin.y, contentArea().origin.y, 1);
    EXPECT_EQ(page.item()->size(), QSizeF(800, 500));
    // A smaller frame given to a layer is kept (until the stage's next resize).
    const Rect smaller{Point{contentArea().origin.x + 10, contentArea().origin.y + 20}, {30, 20}};
    video->setFrame(smaller, true);
    EXPECT_EQ(video->frame(), smaller);

    // A click lands on the topmost layer's page, keys follow the key layer.
    QTest::mouseClick(scene(), Qt::LeftButton, {}, QPoint(100, 100));
    EXPECT_EQ(std::pair(page.counts.presses, picture.counts.presses), std::pair(1, 0));
    overlay->makeKeyWindow();
    ASSERT_TRUE(runEventLoopUntil([&] { return overlay->isKeyWindow(); }, 5s));
    QTest::keyClick(scene(), Qt::Key_A);
    EXPECT_EQ(page.counts.keys, 1);

    // Closed, the layers stop taking input and the keys go back to the topmost shown view.
    loader.setHidden(true);
    overlay->close();
    video->close();
    EXPECT_FALSE(overlay->isVisible());
    QTest::mouseClick(scene(), Qt::LeftButton, {}, QPoint(100, 100));
    QTest::keyClick(scene(), Qt::Key_B);
    EXPECT_EQ(std::tuple(page.counts.presses, home.counts.presses, home.counts.keys),
              std::tuple(1, 1, 1));

    // The loader's Cancel takes a click or Escape while it shows.
    int cancelled = 0;
    loader.setCancelAction([&] { ++cancelled; });
    home.setHidden(true);
    loader.setHidden(false);
    EXPECT_TRUE(loader.isCancelHidden());
    QQuickItem* button = loader.cancelButton();
    const QPoint centre = button->mapToScene(button->boundingRect().center()).toPoint();
    for (const bool hidden : {false, true}) {
        loader.setCancelHidden(hidden);
        EXPECT_EQ(loader.isCancelHidden(), hidden);
        QTest::keyClick(scene(), Qt::Key_Escape);
        EXPECT_EQ(cancelled, hidden ? 2 : 1);
        QTest::mouseClick(scene(), Qt::LeftButton, {}, centre);
        EXPECT_EQ(cancelled, 2);
    }
}

TEST_F(StageTest, RouterSeesClicksDoubleClicksAndKeysOfItsLayerAndSwallowsWhatItRefuses) {
    window.addChildWindow(*video);
    window.addChildWindow(*overlay);
    RecordingRouter router;
    overlay->setEventRouter(&router);
    const double height = overlay->layerItem()->height();
    QTest::mouseClick(scene(), Qt::LeftButton, Qt::ControlModifier, QPoint(100, 50));
    ASSERT_EQ(router.events.size(), 2u);
    EXPECT_EQ(router.events[0].type, InputEvent::kLeftMouseDown);
    EXPECT_EQ(router.events[0].clickCount, 1);
    EXPECT_EQ(router.events[0].modifierFlags, kControlKeyMask);
    EXPECT_EQ(router.events[0].locationInWindow, (Point{100, height - 50}));
    EXPECT_EQ(router.events[1].type, InputEvent::kLeftMouseUp);

    // A refused second press never reaches the page, both releases do.
    router.events.clear();
    router.refuseDoubleClicks = true;
    QTest::mouseDClick(scene(), Qt::LeftButton, {}, QPoint(300, 200));
    runEventLoopFor(50ms);
    std::vector<int> counts;
    for (const InputEvent& event : router.events)
        if (event.type == InputEvent::kLeftMouseDown) counts.push_back(event.clickCount);
    EXPECT_EQ(counts, (std::vector<int>{1, 2}));
    EXPECT_EQ(std::pair(page.counts.presses, page.counts.releases), std::pair(2, 3));

    // Keys reach the router only while the layer holds the focus; a refused one is swallowed.
    router.events.clear();
    router.refuseKeys = true;
    overlay->makeKeyWindow();
    ASSERT_TRUE(runEventLoopUntil([&] { return overlay->isKeyWindow(); }, 5s));
    QTest::keyClick(scene(), Qt::Key_Escape);
    ASSERT_FALSE(router.events.empty());
    EXPECT_EQ(std::pair(router.events[0].keyCode, page.counts.keys), std::pair(kEscapeKeyCode, 0));
    router.refuseKeys = false;
    QTest::keyClick(scene(), Qt::Key_C);
    EXPECT_EQ(page.counts.keys, 1);

    // Hidden, the layer's router sees nothing; the main window's own sees what reaches home.
    router.events.clear();
    overlay->close();
    video->close();
    RecordingRouter own;
    window.setEventRouter(&own);
    QTest::mouseClick(scene(), Qt::LeftButton, {}, QPoint(100, 50));
    EXPECT_EQ(std::tuple(router.events.size(), own.events.size()), std::tuple(0u, 2u));
    window.setEventRouter(nullptr);
}

TEST_F(StageTest, FileMenuFrameFromTheLowerLeftActivationAndClosing) {
    QAction* open = nullptr;
    for (QAction* item : window.menuBar()->findChildren<QAction*>())
        if (item->shortcut() == QKeySequence(QKeySequence::Open)) open = item;
    ASSERT_NE(open, nullptr);
    int opened = 0;
    open->trigger();  // no handler yet: nothing happens
    window.setFileMenuOpenHandler([&] { ++opened; });
    open->trigger();
    EXPECT_EQ(opened, 1);

    const QRect outer = window.frameGeometry();
    EXPECT_EQ(window.frame(),
              (Rect{Point{double(outer.x()), double(screenReferenceHeight() - outer.bottom() - 1)},
                    Size{double(outer.width()), double(outer.height())}}));
    const Rect wanted{Point{100, 120}, Size{700, 500}};
    window.setFrame(wanted, true);
    ASSERT_TRUE(runEventLoopUntil([&] { return window.frame() == wanted; }, 5s))
        << window.frame().origin.x << "," << window.frame().origin.y;
    EXPECT_GT(delegate.moved, 0);

    // Activation and closing go through the delegate (full screen: the desktop tests, by its key).
    window.makeKeyWindow();
    ASSERT_TRUE(runEventLoopUntil([&] { return window.isKeyWindow(); }, 5s));
    EXPECT_GE(delegate.becameKey, 1);
    window.QMainWindow::close();  // the delegate says no
    runEventLoopFor(50ms);
    EXPECT_EQ(std::pair(delegate.askedToClose, window.isVisible()), std::pair(1, true));
    delegate.allowClose = true;
    window.QMainWindow::close();
    EXPECT_FALSE(window.isVisible());
}

// As if the user dragged the right edge, then the bottom one, until increments lift the ratio.
TEST_F(StageTest, TheContentKeepsItsAspectRatioAndFitsTheScreen) {
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
    EXPECT_TRUE(contentBecomes(Size{500, 500}));

    const QRect area = window.screen()->availableGeometry();
    for (const Size video : {Size{area.width() * 2.0, double(area.width())},     // too wide
                             Size{area.height() / 2.0, area.height() * 2.0}}) {  // too high
        window.move(area.topLeft() + QPoint(area.width() / 3, area.height() / 3));
        window.setContentAspectRatio(video);
        window.setContentSize(video);
        runEventLoopFor(200ms);
        const QRect frame = window.frameGeometry();
        EXPECT_TRUE(area.contains(frame)) << frame.width() << "x" << frame.height();
        EXPECT_NEAR(contentSize().width / contentSize().height, video.width / video.height, 0.01);
        EXPECT_TRUE(frame.width() >= area.width() - 2 || frame.height() >= area.height() - 2);
    }
}

TEST(ScreenGeometryTest, RoundsByTheEdgesAndFitsKeepingTheShape) {
    // The flip both ways: the window's frame (StageTest).
    // Edges at 10.4 and 110.6 (x), 0.5 and 50.5 (y, from the bottom of a 100-high container).
    EXPECT_EQ(toQtRect(Rect{Point{10.4, 0.5}, Size{100.2, 50}}, 100), QRect(10, 49, 101, 50));
    EXPECT_EQ(toQtRect(Rect{Point{5, 5}, Size{-3, -3}}, 100).size(), QSize(0, 0));
    const QSize fits[][3] = {
        {{1280, 720}, {1600, 1000}, {1280, 720}},   // fits: unchanged
        {{1920, 1080}, {1600, 1000}, {1600, 900}},  // the width binds
        {{1920, 1080}, {2000, 900}, {1600, 900}},   // the height binds
        {{1080, 1920}, {1600, 975}, {548, 975}},    // portrait, rounded down to stay inside
        {{4000, 10}, {100, 100}, {100, 1}},         // never below one pixel
    };
    for (const auto& f : fits) EXPECT_EQ(fitWithin(f[0], f[1]), f[2]);
}

TEST(ApplicationTest, AlertsAnswerTheButtonPressedInTheirOrder) {
    qunsetenv(QtApplication::kAutoReplyVariable);
    QtApplication application;
    QString shown;  // the second of three buttons is pressed once the alert is up
    QTimer::singleShot(100, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shown = box->text() + "|" + box->informativeText();
        ASSERT_EQ(box->buttons().size(), 3);
        for (QAbstractButton* button : box->buttons())
            if (button->text() == "Second") button->click();
    });
    EXPECT_EQ(application.runModalAlert(AlertSpec{
                  "Message", "Details", {"First", "Second", "Third"}, AlertStyle::kCritical}),
              kAlertFirstButtonReturn + 1);
    EXPECT_EQ(shown, "Message|Details");
}

}  // namespace
}  // namespace lirra
