// A player "window" as a layer of the main window: a transparent widget stacked over the main
// window's central area. Attaching it (addChildWindow on the main window) shows and raises it,
// closing hides it, and its frame is its place over the content area in screen coordinates.
// Separate top-level windows cannot show the video through a transparent page without a
// compositor, nor be placed at all on Wayland.
#pragma once

#include <QPointer>
#include <memory>

#include "AutoresizingWidget.h"
#include "QtContentView.h"
#include "platform/Window.h"

namespace lirra {

class InputEventRouting;
class QtMainWindow;

class QtPlayerWindow : public Window {
  public:
    // A hidden layer over `host`'s content area, placed at `contentRect` (screen coordinates).
    QtPlayerWindow(QtMainWindow& host, const Rect& contentRect);
    ~QtPlayerWindow() override;
    QtPlayerWindow(const QtPlayerWindow&) = delete;
    QtPlayerWindow& operator=(const QtPlayerWindow&) = delete;

    QWidget* layerWidget() const { return layer_; }
    // Shows the layer above every other layer (called by the main window's addChildWindow).
    void attach();

    Rect frame() const override;
    void setFrame(const Rect& frame, bool display) override;
    ContentView& contentView() override { return contentView_; }
    void setContentView(View& view) override;

    // A layer has the main window's size; these keep the lower-left corner in place.
    void setContentSize(const Size& size) override;
    Size contentAspectRatio() const override { return aspectRatio_; }
    void setContentAspectRatio(const Size& ratio) override { aspectRatio_ = ratio; }
    void setContentResizeIncrements(const Size&) override { aspectRatio_ = Size{0, 0}; }

    // Full screen belongs to the main window.
    bool isFullScreen() const override { return false; }
    void toggleFullScreen() override {}
    void setFullScreenPrimary() override {}

    // Focuses the layer's content (for a web view, its render widget).
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
    QPointer<AutoresizingWidget> layer_;
    QtContentView contentView_;
    QPointer<QWidget> content_;
    WindowDelegate* delegate_ = nullptr;
    std::unique_ptr<InputEventRouting> routing_;
    Size aspectRatio_{0, 0};
};

}  // namespace lirra
