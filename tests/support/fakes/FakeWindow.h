// SPDX-License-Identifier: GPL-3.0-or-later
// A window: its frame is the content and a title bar of `titleBarHeight_`, kept in step. It makes
// no delegate callbacks: tests call the delegate where the toolkit would.
#pragma once

#include <vector>

#include "FakeViews.h"
#include "platform/Window.h"

namespace lirra::fakes {

struct FakeWindow : Window {
    explicit FakeWindow(Rect frame = Rect{{0, 0}, {1024, 668}}, double titleBarHeight = 28)
        : titleBarHeight_(titleBarHeight) {
        setFrame(frame, true);
    }

    Rect frame() const override { return frame_; }
    void setFrame(const Rect& frame, bool /*display*/) override {
        frame_ = frame;
        contentView_.frame_ = Rect{{}, {frame.size.width, frame.size.height - titleBarHeight_}};
    }
    ContentView& contentView() override { return contentView_; }
    void setContentView(View&) override {}
    void setContentSize(const Size& size) override {
        contentSizeCalls_.push_back(size);
        setFrame(Rect{frame_.origin, {size.width, size.height + titleBarHeight_}}, true);
    }
    Size contentSize() const { return contentView_.bounds().size; }
    Size contentAspectRatio() const override { return contentAspectRatio_; }
    void setContentAspectRatio(const Size& ratio) override { contentAspectRatio_ = ratio; }
    void setContentResizeIncrements(const Size& increments) override {
        if (increments == Size{1, 1}) contentAspectRatio_ = Size{};  // lifts the ratio
    }
    bool isFullScreen() const override { return fullScreen_; }
    void toggleFullScreen() override {
        fullScreen_ = !fullScreen_;
        ++fullScreenToggles_;
    }
    void setFullScreenPrimary() override {}
    void makeKeyWindow() override { key_ = true; }
    bool isKeyWindow() const override { return key_; }
    bool isVisible() const override { return visible_; }
    void close() override { visible_ = false; }
    void addChildWindow(Window& child) override {
        children_.push_back(&child);
        if (auto* fake = dynamic_cast<FakeWindow*>(&child)) fake->visible_ = true;  // shown
    }
    void setDelegate(WindowDelegate* delegate) override { delegate_ = delegate; }
    void setEventRouter(EventRouter* router) override { eventRouter_ = router; }

    Rect frame_;
    double titleBarHeight_;
    FakeContentView contentView_;
    std::vector<Size> contentSizeCalls_;
    Size contentAspectRatio_;  // 0 by 0: none in force
    bool fullScreen_ = false, key_ = false, visible_ = true;
    int fullScreenToggles_ = 0;
    std::vector<Window*> children_;  // in attaching order: later ones lie above
    WindowDelegate* delegate_ = nullptr;
    EventRouter* eventRouter_ = nullptr;
};

}  // namespace lirra::fakes
