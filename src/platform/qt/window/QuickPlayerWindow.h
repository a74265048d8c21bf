// SPDX-License-Identifier: GPL-3.0-or-later
// A player "window" as a layer of the main window's Qt Quick stage: an item above the main
// window's own views. Attaching it (addChildWindow on the main window) shows and raises it,
// closing hides it, and its frame is its place over the content area in screen coordinates.
#pragma once

#include <QPointer>
#include <memory>

#include "platform/Window.h"
#include "platform/qt/quick/QuickContentView.h"

class QQuickItem;

namespace lirra {

class QtMainWindow;
class QuickInputRouting;
class QuickStage;

class QuickPlayerWindow : public Window {
  public:
    // A hidden layer of `host`'s stage, placed at `contentRect` (screen coordinates).
    QuickPlayerWindow(QtMainWindow& host, const Rect& contentRect);
    ~QuickPlayerWindow() override;
    QuickPlayerWindow(const QuickPlayerWindow&) = delete;
    QuickPlayerWindow& operator=(const QuickPlayerWindow&) = delete;

    QQuickItem* layerItem() const { return layer_; }
    bool isOnStage(const QuickStage& stage) const { return layer_ && &stage == stage_; }
    // Shows the layer above every other layer (called by the main window's addChildWindow).
    void attach();

    Rect frame() const override;
    void setFrame(const Rect& frame, bool display) override;
    ContentView& contentView() override { return contentView_; }
    void setContentView(View& view) override;

    // A layer has the stage's size; these keep the lower-left corner in place.
    void setContentSize(const Size& size) override;
    Size contentAspectRatio() const override { return aspectRatio_; }
    void setContentAspectRatio(const Size& ratio) override { aspectRatio_ = ratio; }
    void setContentResizeIncrements(const Size&) override { aspectRatio_ = Size{0, 0}; }

    // Full screen belongs to the main window.
    bool isFullScreen() const override { return false; }
    void toggleFullScreen() override {}
    void setFullScreenPrimary() override {}

    // Focuses the layer's content.
    void makeKeyWindow() override;
    bool isKeyWindow() const override;
    bool isVisible() const override;
    void close() override;
    void addChildWindow(Window&) override {}  // layers have no children

    // No callbacks: a layer moves and resizes only with the main window.
    void setDelegate(WindowDelegate* delegate) override { delegate_ = delegate; }
    void setEventRouter(EventRouter* router) override;

  private:
    QPointer<QtMainWindow> host_;
    QuickStage* stage_;
    QPointer<QQuickItem> layer_;
    QuickContentView contentView_;
    QPointer<QQuickItem> content_;
    WindowDelegate* delegate_ = nullptr;
    std::unique_ptr<QuickInputRouting> routing_;
    Size aspectRatio_{0, 0};
};

}  // namespace lirra
