// SPDX-License-Identifier: GPL-3.0-or-later
// The player's side of a QuickVideoView: the render context lives on Qt Quick's render thread
// of the view's window (MpvQuickDrawing) and draws under every item at the start of each frame;
// libmpv's wish for a new frame becomes an update of the window; the player hears of the
// view's settings (back colour, fill mode). Main thread only.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <chrono>
#include <memory>
#include <vector>

#include "MpvQuickDrawing.h"
#include "QuickVideoView.h"
#include "platform/mpv/MpvVideoOutput.h"

namespace lirra {

class MpvQuickRenderer final : public MpvVideoOutput, private QuickVideoView::Renderer {
  public:
    MpvQuickRenderer(QuickVideoView& view, Hooks hooks);
    ~MpvQuickRenderer() override;

    void attach(mpv_handle* mpv) override;
    void detach() override;
    // On the render thread of the view's window when it runs (bounded wait), else in a GL
    // context of our own.
    void freeContext() override;
    bool hasContext() const override { return drawing_->hasRender(); }
    void clearPicture() override { requestUpdate(); }

  private:
    // QuickVideoView::Renderer
    void windowChanged(QQuickWindow* window) override;
    void viewChanged() override { requestUpdate(); }
    void viewSettingsChanged() override;
    void viewDestroyed() override;

    void connectWindow(QQuickWindow* window);
    void disconnectWindow();
    MpvQuickDrawing::Frame frameOfView() const;
    void requestUpdate();
    void madeContext(bool again);
    void traceFrames();

    QObject context_;  // receiver of posted work; deleting it drops what is still queued
    QuickVideoView* view_;
    Hooks hooks_;
    mpv_handle* mpv_ = nullptr;
    bool attached_ = false;
    QPointer<QQuickWindow> window_;
    QTimer traceTimer_;  // with --verbose: the frames shown, every 10 s
    std::chrono::steady_clock::time_point tallySince_ = std::chrono::steady_clock::now();
    std::vector<QMetaObject::Connection> connections_;
    std::shared_ptr<MpvQuickDrawing> drawing_ = std::make_shared<MpvQuickDrawing>();
};

}  // namespace lirra
