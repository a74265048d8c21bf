// SPDX-License-Identifier: GPL-3.0-or-later
// The player screen's windows over the main window, the main window's callbacks, and the
// overlay's routing of double clicks and Escape.
#include "bridge/PageEvents.h"
#include "fakes/AppFixture.h"

namespace lirra::testing {
namespace {

class PlayerScreenTest : public AppTest {
  protected:
    void SetUp() override {
        homePageReady();
        launch(makeVideo("clip.mkv"));
        page().asyncScripts_.clear();
    }
    WindowDelegate& delegate() { return *window().delegate_; }
    Rect contentArea() {
        return Rect{window().frame().origin, window().contentView().bounds().size};
    }
};

TEST_F(PlayerScreenTest, TheWindowsFollowTheContentAreaAndThePageIsToldOfResizesAndFullScreen) {
    EXPECT_EQ(window().children_, (std::vector<Window*>{&videoWindow(), &overlay()}));
    EXPECT_TRUE(overlay().isKeyWindow());
    window().setFrame(Rect{{100, 50}, {800, 500}}, true);
    delegate().windowDidMove();
    EXPECT_EQ(std::pair(overlay().frame(), videoWindow().frame()),
              std::pair(contentArea(), contentArea()));
    window().setContentSize(Size{640, 360});
    delegate().windowDidResize();
    EXPECT_EQ(std::pair(overlay().frame(), videoWindow().frame()),
              std::pair(contentArea(), Rect{{100, 50}, {640, 360}}));
    delegate().windowDidEnterFullScreen();
    delegate().windowDidExitFullScreen();
    EXPECT_EQ(events(page()), (QStringList{"'nativeApp:resized'", "'nativeApp:enteredFullscreen'",
                                           "'nativeApp:leftFullscreen'"}));
}

// Closing the window leaves the player first, as a return home does: the player page emptied,
// its windows closed, a ready home page told rather than loaded again. On the home screen it quits.
TEST_F(PlayerScreenTest, ClosingTheWindowGoesHomeFirstAndKeyFocusGoesToAShownOverlay) {
    window().fullScreen_ = true;
    app_->state().playbackStarted = true;
    window().setContentAspectRatio(Size{16, 9});
    home().asyncScripts_.clear();
    overlay().key_ = false;
    delegate().windowDidBecomeKey();
    EXPECT_TRUE(overlay().isKeyWindow());
    EXPECT_FALSE(delegate().windowShouldClose());
    EXPECT_FALSE(window().fullScreen_ || playerShown() || videoWindow().isVisible() ||
                 app_->state().playbackStarted || home().isHidden());
    EXPECT_EQ(page().loads_.back(), QUrl("about:blank"));
    EXPECT_EQ(player().state(), kMediaPlayerStateStopped);
    EXPECT_EQ(window().contentAspectRatio(), Size{});
    EXPECT_EQ(home().loads_.size(), 1u);
    EXPECT_EQ(
        home().asyncScripts_,
        std::vector<QString>{"if(typeof $ != 'undefined'){ $(window).trigger('refreshLevel'); }"});
    EXPECT_EQ(platform_.application_.terminations_, 0);
    overlay().key_ = false;
    delegate().windowDidBecomeKey();
    EXPECT_FALSE(overlay().isKeyWindow());  // a closed overlay would leave the home page deaf
    EXPECT_FALSE(delegate().windowShouldClose());
    EXPECT_EQ(platform_.application_.terminations_, 1);
}

// A double click above the subtitle block toggles full screen, Escape leaves it; the page sees
// neither. The block's top is the page's answer, from the top; the frame counts the title bar.
TEST_F(PlayerScreenTest, TheOverlayTakesDoubleClicksAboveTheSubtitlesAndEscape) {
    EventRouter& router = *overlay().eventRouter_;
    auto click = [&](double y, int count = 2, unsigned modifiers = 0) {
        return router.sendEvent({InputEvent::kLeftMouseDown, count, modifiers, Point{100, y}});
    };
    const double limit = window().frame().size.height - 500.5;
    page().answers_.insert(kNextSubOffsetQuery, "  500.5px");
    EXPECT_TRUE(click(limit));  // exactly the limit reaches the page
    EXPECT_TRUE(click(limit + 1, 2, kControlKeyMask));
    EXPECT_TRUE(click(limit + 1, 1));
    EXPECT_EQ(window().fullScreenToggles_, 0);
    EXPECT_FALSE(click(limit + 1));
    EXPECT_EQ(window().fullScreenToggles_, 1);
    for (const char* top : {"0", "-0e5"}) {  // no subtitle block: anywhere
        page().answers_.insert(kNextSubOffsetQuery, top);
        EXPECT_FALSE(click(0));
    }
    for (const char* top : {"", "top: 4", "Infinity", "nan"}) {  // the page decides
        page().answers_.insert(kNextSubOffsetQuery, top);
        EXPECT_TRUE(click(window().frame().size.height));
    }
    EXPECT_EQ(window().fullScreenToggles_, 3);

    InputEvent key{InputEvent::kKeyDown, 0, 0, {}, kEscapeKeyCode};
    window().fullScreen_ = true;
    EXPECT_FALSE(router.sendEvent(key));
    EXPECT_FALSE(router.sendEvent(key));  // already out: stays out
    EXPECT_FALSE(window().isFullScreen());
    key.keyCode = 49;
    EXPECT_TRUE(router.sendEvent(key));
    EXPECT_EQ(window().fullScreenToggles_, 4);
}

}  // namespace
}  // namespace lirra::testing
