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
#include "MpvVideoView.h"

struct mpv_handle;
class QOpenGLTextureBlitter;

namespace lirra {

class MpvRenderGlue final : private MpvVideoView::Renderer {
  public:
    struct Hooks {
        std::function<bool()> hasPicture;                // false: the view shows its back colour
        std::function<void()> contextMade;               // the engine can draw
        std::function<void(const std::string&)> failed;  // no render context could be made
    };

    MpvRenderGlue(MpvVideoView& view, Hooks hooks);
    ~MpvRenderGlue();

    // Starts drawing for `mpv` (none: an engine that did not start); the render thread starts
    // once the view's GL is ready.
    void attach(mpv_handle* mpv);
    // The view stops calling in.
    void detach();
    // Ends the render thread, freeing the render context, and the view's GL resources.
    void freeContext();

    bool hasContext() const { return renderReady_; }
    // The picture shown so far goes (the media stopped); the view repaints.
    void clearPicture();

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
