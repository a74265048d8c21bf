// The player's side of the video view: frames are drawn by an MpvRenderThread into shared
// textures; when the view paints, the newest one is copied in. New frames are painted paced, so
// that painting and composing the window leave the main thread time for the pages. The view's
// settings (back colour, fill mode) go to the engine. Main thread only.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "FramePacer.h"
#include "MpvRenderParams.h"
#include "MpvRenderThread.h"
#include "MpvVideoOutput.h"
#include "MpvVideoView.h"

struct mpv_handle;
class QOpenGLTextureBlitter;

namespace lirra {

class MpvRenderGlue final : public MpvVideoOutput, private MpvVideoView::Renderer {
  public:
    MpvRenderGlue(MpvVideoView& view, Hooks hooks);
    ~MpvRenderGlue() override;

    // The render thread starts once the view's GL is ready.
    void attach(mpv_handle* mpv) override;
    void detach() override;
    // Ends the render thread, freeing the render context, and the view's GL resources.
    void freeContext() override;
    bool hasContext() const override { return renderReady_; }
    void clearPicture() override;

  private:
    // MpvVideoView::Renderer
    void glInitialized() override;
    void glAboutToBeDestroyed() override;
    bool render(int fbo, int width, int height) override;
    void frameSwapped() override;
    void viewSettingsChanged() override;
    void viewDestroyed() override;

    void repaint();
    void repaintForNewFrame();
    void traceFrames();

    QObject context_;  // receiver of timer work; deleting it drops what is still queued
    MpvVideoView* view_;
    Hooks hooks_;
    WindowSystemDisplay display_;  // outlives the render thread
    mpv_handle* mpv_ = nullptr;
    std::unique_ptr<MpvRenderThread> thread_;
    bool renderReady_ = false;
    std::unique_ptr<QOpenGLTextureBlitter> blitter_;  // in the view's GL context
    FramePacer pacer_;
    QTimer repaintTimer_;    // a new frame waits for the main thread's share of time
    QTimer composeTimeout_;  // from a paint to the composition the video thread waits for
    FramePacer::Clock::time_point tallySince_ = FramePacer::Clock::now();
    int heldFrames_ = 0;  // frames that waited for the main thread since the last trace
};

}  // namespace lirra
