// A window for unit tests. The frame is the content plus a title bar of `titleBarHeight_`
// points; setting either keeps the other in step. Delegate callbacks are not made by the
// fake: tests call the delegate themselves where the toolkit would.
#pragma once

#include <vector>

#include "FakeViews.h"
#include "platform/Window.h"

namespace lirra::fakes {

class FakeWindow : public Window {
  public:
    explicit FakeWindow(Rect frame = Rect{{0, 0}, {1024, 668}}, double titleBarHeight = 28)
        : frame_(frame), titleBarHeight_(titleBarHeight) {
        syncContentView();
    }

    Rect frame() const override { return frame_; }
    void setFrame(const Rect& frame, bool /*display*/) override {
        frame_ = frame;
        syncContentView();
    }
    ContentView& contentView() override { return contentView_; }
    void setContentView(View& view) override { contentViewSet_ = &view; }

    void setContentSize(const Size& size) override {
        contentSizeCalls_.push_back(size);
        frame_.size = Size{size.width, size.height + titleBarHeight_};
        syncContentView();
    }
    Size contentSize() const { return contentView_.bounds().size; }

    Size contentAspectRatio() const override { return contentAspectRatio_; }
    void setContentAspectRatio(const Size& ratio) override { contentAspectRatio_ = ratio; }
    void setContentResizeIncrements(const Size& increments) override {
        contentResizeIncrements_ = increments;
        if (increments == Size{1, 1}) {
            contentAspectRatio_ = Size{};  // lifts the ratio, as the toolkit does
        }
    }

    bool isFullScreen() const override { return fullScreen_; }
    void toggleFullScreen() override {
        fullScreen_ = !fullScreen_;
        ++toggleFullScreenCount_;
    }
    void setFullScreenPrimary() override { fullScreenPrimary_ = true; }

    void makeKeyWindow() override {
        key_ = true;
        ++makeKeyWindowCount_;
    }
    bool isKeyWindow() const override { return key_; }
    bool isVisible() const override { return visible_; }
    void close() override {
        visible_ = false;
        ++closeCount_;
    }
    void addChildWindow(Window& child) override {
        children_.push_back(&child);
        if (auto* fake = dynamic_cast<FakeWindow*>(&child)) {
            fake->visible_ = true;  // attaching shows the child over this window
        }
    }

    void setDelegate(WindowDelegate* delegate) override { delegate_ = delegate; }
    void setEventRouter(EventRouter* router) override { eventRouter_ = router; }

    Rect frame_;
    double titleBarHeight_ = 28;
    FakeContentView contentView_;
    View* contentViewSet_ = nullptr;
    std::vector<Size> contentSizeCalls_;
    Size contentAspectRatio_;  // 0 by 0: none in force
    Size contentResizeIncrements_{1, 1};
    bool fullScreen_ = false;
    int toggleFullScreenCount_ = 0;
    bool fullScreenPrimary_ = false;
    bool key_ = false;
    int makeKeyWindowCount_ = 0;
    bool visible_ = true;
    int closeCount_ = 0;
    std::vector<Window*> children_;
    WindowDelegate* delegate_ = nullptr;
    EventRouter* eventRouter_ = nullptr;

  private:
    void syncContentView() {
        contentView_.frame_ =
            Rect{Point{}, Size{frame_.size.width, frame_.size.height - titleBarHeight_}};
    }
};

}  // namespace lirra::fakes
