// The main window's Qt Quick stage on a real display: its content view, the player layers over
// it, their event routing and focus, and the loader.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QQuickItem>
#include <QTest>
#include <memory>

#include "platform/qt/quick/QuickLoaderView.h"
#include "platform/qt/quick/QuickStage.h"
#include "platform/qt/window/QtMainWindow.h"
#include "platform/qt/window/QuickPlayerWindow.h"
#include "support/qt/QtTestLoop.h"

namespace lirra {
namespace {

using namespace std::chrono_literals;
using test::runEventLoopFor;
using test::runEventLoopUntil;

// An item standing for a page: counts the presses and keys that reach it.
class CountingItem : public QQuickItem {
  public:
    CountingItem() {
        setAcceptedMouseButtons(Qt::LeftButton);
        setFlag(ItemIsFocusScope);
        setActiveFocusOnTab(true);
    }
    int presses = 0, keys = 0;

  protected:
    void mousePressEvent(QMouseEvent* event) override {
        ++presses;
        event->accept();
    }
    void keyPressEvent(QKeyEvent* event) override {
        ++keys;
        event->accept();
    }
};

class ItemView : public View, public ItemBacked {
  public:
    Rect frame() const override { return {}; }
    void setFrame(const Rect&) override {}
    bool isHidden() const override { return !item_.isVisible(); }
    void setHidden(bool hidden) override { item_.setVisible(!hidden); }
    QQuickItem* item() override { return &item_; }
    CountingItem& counting() { return item_; }

  private:
    CountingItem item_;
};

class RecordingRouter : public EventRouter {
  public:
    bool sendEvent(const InputEvent& event) override {
        if (event.type != InputEvent::kOther) events.push_back(event);
        return !(refuseDoubleClicks && event.clickCount == 2) &&
               !(refuseKeys && event.type == InputEvent::kKeyDown);
    }
    std::vector<InputEvent> events;
    bool refuseDoubleClicks = false, refuseKeys = false;
};

class StageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window = std::make_unique<QtMainWindow>();
        window->show();
        ASSERT_TRUE(runEventLoopUntil([&] { return stage().window().isExposed(); }, 5s));
        window->contentView().addSubview(home);
        video = std::make_unique<QuickPlayerWindow>(*window, contentArea());
        overlay = std::make_unique<QuickPlayerWindow>(*window, contentArea());
        video->setContentView(picture);
        overlay->setContentView(page);
    }

    QuickStage& stage() { return window->stage(); }
    Size contentSize() { return window->contentView().bounds().size; }
    Rect contentArea() { return Rect{window->frame().origin, contentSize()}; }
    QPoint inStage(QQuickItem& item, QPointF at) { return item.mapToScene(at).toPoint(); }

    ItemView home, picture, page;
    std::unique_ptr<QtMainWindow> window;
    std::unique_ptr<QuickPlayerWindow> video, overlay;
};

TEST_F(StageTest, ViewsFillTheContentLayersStackAndTheFocusComesBackHome) {
    // The content view's subviews fill it and follow its size, keeping a frame set from outside.
    EXPECT_EQ(home.item()->size(), QSizeF(contentSize().width, contentSize().height));
    QuickLoaderView loader;
    window->contentView().addSubview(loader);
    loader.setFrame(Rect{Point{10, 20}, Size{contentSize().width - 20, contentSize().height - 40}});
    window->setContentSize(Size{800, 500});
    ASSERT_TRUE(runEventLoopUntil([&] { return contentSize() == Size{800, 500}; }, 5s));
    EXPECT_EQ(home.item()->size(), QSizeF(800, 500));
    EXPECT_EQ(loader.frame(), (Rect{Point{10, 20}, Size{780, 460}}));

    // Layers show only once attached, the later above; their frames are the content area.
    EXPECT_FALSE(overlay->isVisible());
    window->addChildWindow(*video);
    window->addChildWindow(*overlay);
    ASSERT_TRUE(video->isVisible() && overlay->isVisible());
    EXPECT_GT(overlay->layerItem()->z(), video->layerItem()->z());
    // The video is drawn beneath the whole scene: nothing of the main window's may cover it.
    EXPECT_FALSE(home.item()->isVisible());
    EXPECT_FALSE(loader.item()->isVisible());
    EXPECT_EQ(overlay->frame().size, (Size{800, 500}));
    EXPECT_NEAR(overlay->frame().origin.x, contentArea().origin.x, 1);
    EXPECT_NEAR(overlay->frame().origin.y, contentArea().origin.y, 1);
    EXPECT_EQ(page.item()->size(), QSizeF(800, 500));

    // A click lands on the topmost layer's page, keys follow the key layer.
    QTest::mouseClick(&stage().window(), Qt::LeftButton, {}, QPoint(100, 100));
    EXPECT_EQ(page.counting().presses, 1);
    EXPECT_EQ(picture.counting().presses, 0);
    overlay->makeKeyWindow();
    ASSERT_TRUE(runEventLoopUntil([&] { return overlay->isKeyWindow(); }, 5s));
    QTest::keyClick(&stage().window(), Qt::Key_A);
    EXPECT_EQ(page.counting().keys, 1);

    // Closed, the layers stop taking input and the keys go back to the topmost shown view.
    loader.setHidden(true);
    overlay->close();
    video->close();
    EXPECT_FALSE(overlay->isVisible());
    QTest::mouseClick(&stage().window(), Qt::LeftButton, {}, QPoint(100, 100));
    EXPECT_EQ(page.counting().presses, 1);
    EXPECT_EQ(home.counting().presses, 1);
    QTest::keyClick(&stage().window(), Qt::Key_B);
    EXPECT_EQ(home.counting().keys, 1);
}

TEST_F(StageTest, RouterSeesClicksDoubleClicksAndKeysOfItsLayerAndSwallowsWhatItRefuses) {
    window->addChildWindow(*video);
    window->addChildWindow(*overlay);
    RecordingRouter router;
    overlay->setEventRouter(&router);
    const double height = overlay->layerItem()->height();

    QTest::mouseClick(&stage().window(), Qt::LeftButton, Qt::ControlModifier, QPoint(100, 50));
    ASSERT_EQ(router.events.size(), 2u);
    EXPECT_EQ(router.events[0].type, InputEvent::kLeftMouseDown);
    EXPECT_EQ(router.events[0].clickCount, 1);
    EXPECT_EQ(router.events[0].modifierFlags, kControlKeyMask);
    EXPECT_EQ(router.events[0].locationInWindow, (Point{100, height - 50}));
    EXPECT_EQ(router.events[1].type, InputEvent::kLeftMouseUp);

    // The second press of a double click is marked; refused, the page never gets it.
    router.events.clear();
    router.refuseDoubleClicks = true;
    const int before = page.counting().presses;
    QTest::mouseDClick(&stage().window(), Qt::LeftButton, {}, QPoint(300, 200));
    runEventLoopFor(50ms);
    std::vector<int> counts;
    for (const InputEvent& event : router.events)
        if (event.type == InputEvent::kLeftMouseDown) counts.push_back(event.clickCount);
    EXPECT_EQ(counts, (std::vector<int>{1, 2}));
    EXPECT_EQ(page.counting().presses, before + 1);

    // Keys reach the router only while the layer holds the focus; a refused one is swallowed.
    router.events.clear();
    router.refuseKeys = true;
    overlay->makeKeyWindow();
    ASSERT_TRUE(runEventLoopUntil([&] { return overlay->isKeyWindow(); }, 5s));
    QTest::keyClick(&stage().window(), Qt::Key_Escape);
    ASSERT_FALSE(router.events.empty());
    EXPECT_EQ(router.events[0].keyCode, kEscapeKeyCode);
    EXPECT_EQ(page.counting().keys, 0);
    router.refuseKeys = false;
    QTest::keyClick(&stage().window(), Qt::Key_C);
    EXPECT_EQ(page.counting().keys, 1);

    // Hidden, the layer's router sees nothing; the main window's own sees what reaches home.
    router.events.clear();
    overlay->close();
    video->close();
    RecordingRouter own;
    window->setEventRouter(&own);
    QTest::mouseClick(&stage().window(), Qt::LeftButton, {}, QPoint(100, 50));
    EXPECT_TRUE(router.events.empty());
    EXPECT_EQ(own.events.size(), 2u);
    window->setEventRouter(nullptr);
}

TEST(QuickLoaderViewTest, TheWheelTurnsWhileAnimatedAndTheLabelCanHide) {
    QuickLoaderView loader;
    loader.setLabelText("Looking for subtitles");
    EXPECT_EQ(loader.labelText(), "Looking for subtitles");
    EXPECT_FALSE(loader.isAnimating());
    loader.startAnimation();
    const int first = loader.wheelStep();
    ASSERT_TRUE(runEventLoopUntil([&] { return loader.wheelStep() != first; }, 2s));
    loader.stopAnimation();
    EXPECT_FALSE(loader.isAnimating());
    loader.setLabelHidden(true);
    EXPECT_TRUE(loader.isLabelHidden());
}

}  // namespace
}  // namespace lirra
