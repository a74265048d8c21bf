// SPDX-License-Identifier: GPL-3.0-or-later
// Plain views for unit tests: every property is a public field the test can read or set.
#pragma once

#include <vector>

#include "platform/MediaPlayer.h"
#include "platform/View.h"

namespace lirra::fakes {

// The View part of every fake: a frame and a hidden flag.
template <typename Interface>
struct FakeView : Interface {
    Rect frame() const override { return frame_; }
    void setFrame(const Rect& frame) override { frame_ = frame; }
    bool isHidden() const override { return hidden_; }
    void setHidden(bool hidden) override { hidden_ = hidden; }

    Rect frame_;
    bool hidden_ = false;
};

// A window's content view: its bounds follow the size the window gives it.
struct FakeContentView : FakeView<ContentView> {
    Rect bounds() const override { return Rect{Point{}, frame_.size}; }
    void addSubview(View& view) override { subviews_.push_back(&view); }
    std::vector<View*> subviews_;  // in order: later ones lie above
};

struct FakeLoaderView : FakeView<LoaderView> {
    void startAnimation() override { animating_ = true; }
    void stopAnimation() override { animating_ = false; }
    bool isAnimating() const override { return animating_; }
    QString labelText() const override { return labelText_; }
    void setLabelText(const QString& text) override { labelText_ = text; }
    bool isLabelHidden() const override { return labelHidden_; }
    void setLabelHidden(bool hidden) override { labelHidden_ = hidden; }
    void setCancelAction(std::function<void()> action) override { cancel_ = std::move(action); }
    bool isCancelHidden() const override { return cancelHidden_; }
    void setCancelHidden(bool hidden) override { cancelHidden_ = hidden; }
    // The user presses Cancel: true when it showed (and its action ran).
    bool pressCancel() {
        if (cancelHidden_ || !cancel_) return false;
        cancel_();
        return true;
    }

    bool animating_ = false, labelHidden_ = false, cancelHidden_ = true;
    QString labelText_;
    std::function<void()> cancel_;
};

struct FakeVideoView : FakeView<VideoView> {
    void setFillScreen(bool) override {}
    void setBackColor(const Color& color) override { backColor_ = color; }
    Color backColor() const override { return backColor_; }
    Color backColor_;
};

}  // namespace lirra::fakes
