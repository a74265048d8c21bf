// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: a QMainWindow with a File menu, whose content area is one Qt Quick scene,
// the stage (QuickStage): its views in the lowest layer, the player layers (QuickPlayerWindow)
// above. The window itself keeps the menu bar, dialogs, alerts and full screen.
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <functional>
#include <memory>

#include "platform/Window.h"

class QAction;
class QMenu;

namespace lirra {

class QuickContentView;
class QuickInputRouting;
class QuickStage;

class QtMainWindow : public QMainWindow, public Window {
  public:
    static constexpr int kInitialContentWidth = 1024;
    static constexpr int kInitialContentHeight = 640;

    QtMainWindow();
    ~QtMainWindow() override;

    // The Qt Quick scene of the content area; lives as long as the window.
    QuickStage& stage() const { return *stage_; }

    // The File menu's "Open…" item calls this.
    void setFileMenuOpenHandler(std::function<void()> handler);

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

    void nameMenus();
    void contentDidResize();
    int nonContentHeight() const;  // the menu bar's
    QMargins decoration() const;   // the window manager's frame around the window
    QRect availableArea() const;   // of the screen the window is on
    // Resizes the window so that its content area gets `size`, as our own resize.
    void resizeContent(const QSize& size);
    void expectSize(const QSize& size);
    void enforceAspectRatio();
    void completeFullScreen();

    QWidget* central_;  // a CentralArea, holding the stage's window
    std::unique_ptr<QuickStage> stage_;
    std::unique_ptr<QuickContentView> contentView_;  // over the stage's lowest layer
    std::function<void()> openHandler_;
    QMenu* fileMenu_ = nullptr;
    QAction* openAction_ = nullptr;
    QAction* quitAction_ = nullptr;
    WindowDelegate* delegate_ = nullptr;
    std::unique_ptr<QuickInputRouting> routing_;

    Size aspectRatio_{0, 0};
    // The size the window should have after our own last resize: any other size came from the
    // user (or the window manager) and is corrected to the aspect ratio.
    QSize expectedSize_;
    QElapsedTimer expectedAt_;
    bool correctionPending_ = false;
    QSize conformingSize_;  // the content size we last gave the window under the ratio
    bool fullScreenPrimary_ = false;
    bool wasFullScreen_ = false;
    QRect normalGeometry_;  // restored when full screen ends
};

}  // namespace lirra
