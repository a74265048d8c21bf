// The player screen's windows over the main window, the main window's callbacks, and the
// overlay's routing of double clicks and Escape.
#include "AppTestFixture.h"
#include "app/LKeyableWindow.h"
#include "bridge/PageEvents.h"

namespace lirra::testing {
namespace {

class PlayerScreenTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        homePageLoadsAndReportsReady();
        app_->loadPlayerScreen();
    }
    fakes::FakeWindow& overlay() { return *platform_.playerWindows_.at(0); }
    fakes::FakeWindow& video() { return *platform_.playerWindows_.at(1); }
    Rect contentArea() {
        return Rect{platform_.mainWindow_.frame().origin,
                    platform_.mainWindow_.contentView().bounds().size};
    }
};

// Built once and shown again for a second video: the end-to-end journeys.

TEST_F(PlayerScreenTest, WindowsFollowTheContentAreaThroughMovesAndResizes) {
    EXPECT_EQ(overlay().frame(), contentArea());
    platform_.mainWindow_.setFrame(Rect{{100, 50}, {800, 500}}, true);
    app_->playerScreen().windowDidMove();
    EXPECT_EQ(overlay().frame(), contentArea());
    EXPECT_EQ(video().frame(), contentArea());

    playerPage().clearRecords();
    platform_.mainWindow_.setContentSize(Size{640, 360});
    app_->playerScreen().windowDidResize();
    EXPECT_EQ(video().frame(), contentArea());
    EXPECT_EQ(contentArea().size, (Size{640, 360}));
    ASSERT_EQ(playerPage().asyncScripts_.size(), 1u);
    EXPECT_EQ(playerPage().asyncScripts_[0], pageEventScript("nativeApp:resized"));

    app_->playerScreen().windowDidEnterFullScreen();
    EXPECT_EQ(playerPage().asyncScripts_.back(), pageEventScript("nativeApp:enteredFullscreen"));
}

TEST_F(PlayerScreenTest, ClosingTheWindowLeavesThePlayerFirstAndQuitsFromHome) {
    EXPECT_FALSE(app_->playerScreen().windowShouldClose());
    EXPECT_FALSE(playerShown());
    EXPECT_EQ(platform_.application_.terminateCount_, 0);

    EXPECT_FALSE(app_->playerScreen().windowShouldClose());
    EXPECT_EQ(platform_.application_.terminateCount_, 1);
}

TEST_F(PlayerScreenTest, KeyFocusPassesToTheOverlayOnlyWhileItIsShown) {
    overlay().key_ = false;
    app_->playerScreen().windowDidBecomeKey();
    EXPECT_TRUE(overlay().isKeyWindow());

    app_->loadHomeScreen();
    overlay().key_ = false;
    app_->playerScreen().windowDidBecomeKey();
    EXPECT_FALSE(overlay().isKeyWindow());
}

InputEvent doubleClickAt(double y, unsigned modifiers = 0) {
    InputEvent event;
    event.type = InputEvent::kLeftMouseDown;
    event.clickCount = 2;
    event.modifierFlags = modifiers;
    event.locationInWindow = Point{100, y};
    return event;
}

TEST_F(PlayerScreenTest, ADoubleClickAboveTheSubtitlesTogglesFullScreen) {
    LKeyableWindow& routing = app_->playerScreen().overlayRouting();
    auto& main = platform_.mainWindow_;
    const double frameHeight = main.frame().size.height;  // the title bar counts
    playerPage().answers_.insert(kNextSubOffsetQuery, "500.5");
    const double limit = frameHeight - 500.5;

    EXPECT_TRUE(routing.sendEvent(doubleClickAt(limit)));  // exactly the limit reaches the page
    EXPECT_EQ(main.toggleFullScreenCount_, 0);
    EXPECT_TRUE(routing.sendEvent(doubleClickAt(limit + 1, kControlKeyMask)));
    EXPECT_EQ(main.toggleFullScreenCount_, 0);
    EXPECT_FALSE(routing.sendEvent(doubleClickAt(limit + 1)));
    EXPECT_EQ(main.toggleFullScreenCount_, 1);

    playerPage().answers_.insert(kNextSubOffsetQuery, "0");
    EXPECT_FALSE(routing.sendEvent(doubleClickAt(0)));
    EXPECT_EQ(main.toggleFullScreenCount_, 2);

    playerPage().answers_.insert(kNextSubOffsetQuery, "");  // no element: the page decides
    EXPECT_TRUE(routing.sendEvent(doubleClickAt(frameHeight)));
    EXPECT_EQ(main.toggleFullScreenCount_, 2);
}

TEST_F(PlayerScreenTest, EscapeLeavesFullScreenAndNeverReachesThePage) {
    LKeyableWindow& routing = app_->playerScreen().overlayRouting();
    InputEvent escape;
    escape.type = InputEvent::kKeyDown;
    escape.keyCode = kEscapeKeyCode;
    EXPECT_FALSE(routing.sendEvent(escape));
    EXPECT_EQ(platform_.mainWindow_.toggleFullScreenCount_, 0);
    platform_.mainWindow_.fullScreen_ = true;
    EXPECT_FALSE(routing.sendEvent(escape));
    EXPECT_FALSE(platform_.mainWindow_.isFullScreen());

    InputEvent space = escape;
    space.keyCode = 49;
    EXPECT_TRUE(routing.sendEvent(space));
}

TEST(LeadingNumber, ReadsADecimalAtTheStartOnly) {
    EXPECT_EQ(LKeyableWindow::leadingNumber("  412.5px"), 412.5);
    EXPECT_EQ(LKeyableWindow::leadingNumber("-3e2"), -300);
    EXPECT_FALSE(LKeyableWindow::leadingNumber("top: 4").has_value());
    EXPECT_FALSE(LKeyableWindow::leadingNumber("Infinity").has_value());
}

}  // namespace
}  // namespace lirra::testing
