// The main window: a QMainWindow with a File menu, whose central area stacks the content view
// (home screen) at the bottom and the player layers above it (see QtPlayerWindow).
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>

#include "AutoresizingWidget.h"
#include "QtContentView.h"
#include "platform/Window.h"
#include "platform/qt/quick/QuickContentView.h"

class QStackedLayout;

namespace lirra {

class InputEventRouting;
class QtPlayerWindow;
class QuickStage;

class QtMainWindow : public QMainWindow, public Window {
  public:
    static constexpr int kInitialContentWidth = 1024;
    static constexpr int kInitialContentHeight = 640;

    enum class Content { Widgets, QuickStage };
    // `QuickStage`: the content area is one Qt Quick scene (stage()); its views and player
    // layers are items. `Widgets`: they are widgets stacked in the central area.
    explicit QtMainWindow(Content content = Content::Widgets);
    ~QtMainWindow() override;

    // The Qt Quick scene of the content area, or none.
    QuickStage* stage() const { return stage_.get(); }

    // The File menu's "Open…" item calls this.
    void setFileMenuOpenHandler(std::function<void()> handler);
    // The central area the player layers are stacked in.
    QWidget& centralArea() const { return *central_; }
    // Puts a player layer into the stack, hidden (see addChildWindow).
    void addLayer(QWidget& layer);

    // Window
    Rect frame() const override;
    void setFrame(const Rect& frame, bool display) override;
    ContentView& contentView() override;
    void setContentView(View& view) override;

    void setContentSize(const Size& size) override;
    Size contentAspectRatio() const override { return aspectRatio_; }
    void setContentAspectRatio(const Size& ratio) override;
    void setContentResizeIncrements(const Size& increments) override;

    bool isFullScreen() const override { return QMainWindow::isFullScreen(); }
    void toggleFullScreen() override;
    void setFullScreenPrimary() override { fullScreenPrimary_ = true; }
    bool isFullScreenPrimary() const { return fullScreenPrimary_; }

    void makeKeyWindow() override;
    bool isKeyWindow() const override { return isActiveWindow(); }
    bool isVisible() const override { return QMainWindow::isVisible(); }
    void close() override { hide(); }
    void addChildWindow(Window& child) override;

    void setDelegate(WindowDelegate* delegate) override { delegate_ = delegate; }
    void setEventRouter(EventRouter* router) override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    class CentralArea;

    void contentDidResize();
    int nonContentHeight() const;  // the menu bar's
    QMargins decoration() const;   // the window manager's frame around the window
    QRect availableArea() const;   // of the screen the window is on
    // Resizes the window so that its content area gets `size`, as our own resize.
    void resizeContent(const QSize& size);
    void enforceAspectRatio();
    void completeFullScreen();

    QWidget* central_;  // a CentralArea
    QStackedLayout* stack_;
    AutoresizingWidget* content_;
    QtContentView contentView_;
    // With a stage, the content area is one Qt Quick scene and these stand for content_.
    std::unique_ptr<QuickStage> stage_;
    std::unique_ptr<QuickContentView> stageContent_;
    std::function<void()> openHandler_;
    WindowDelegate* delegate_ = nullptr;
    std::unique_ptr<InputEventRouting> routing_;

    Size aspectRatio_{0, 0};
    // The size the window should have after our own last resize: any other size came from the
    // user (or the window manager) and is corrected to the aspect ratio.
    QSize expectedSize_;
    bool correctionPending_ = false;
    QSize conformingSize_;  // the content size we last gave the window under the ratio
    bool fullScreenPrimary_ = false;
    bool wasFullScreen_ = false;
    QRect normalGeometry_;  // restored when full screen ends
};

}  // namespace lirra
