// The player's side of the video view: makes libmpv's render context in the view's GL context,
// draws mpv's frame when the view paints, asks the view to repaint when mpv has a new frame (paced,
// so that drawing leaves the main thread time for the pages), and hands the view's settings (back
// colour, fill mode) to the engine. Main thread only.
#pragma once

#include <QObject>
#include <QTimer>
#include <atomic>
#include <functional>
#include <string>

#include "FramePacer.h"
#include "MpvRenderParams.h"
#include "MpvVideoView.h"

struct mpv_handle;
struct mpv_render_context;

namespace lirra {

class MpvRenderGlue final : private MpvVideoView::Renderer {
  public:
    struct Hooks {
        std::function<bool()> hasPicture;                // false: the view shows its back colour
        std::function<void()> contextMade;               // the engine can draw (again)
        std::function<void(const std::string&)> failed;  // no render context could be made
    };

    MpvRenderGlue(MpvVideoView& view, Hooks hooks);
    ~MpvRenderGlue();

    // Starts drawing for `mpv` (none: an engine that did not start); the render context is
    // made now if the view's GL is ready, else when it is.
    void attach(mpv_handle* mpv);
    // The view stops calling in.
    void detach();
    // Frees the render context, in the view's GL context while the view still has one.
    void freeContext();

    bool hasContext() const { return render_ != nullptr; }
    // Repaints the view (a picture was taken away).
    void repaint();

  private:
    // MpvVideoView::Renderer
    void glInitialized() override;
    void glAboutToBeDestroyed() override;
    bool render(int fbo, int width, int height) override;
    void frameSwapped() override;
    void viewSettingsChanged() override;
    void viewDestroyed() override;

    static void onRenderUpdate(void* self);
    void repaintForNewFrame();
    void traceFrames();

    QObject context_;  // receiver of posted work; deleting it drops what is still queued
    MpvVideoView* view_;
    Hooks hooks_;
    WindowSystemDisplay display_;  // outlives the render context
    mpv_handle* mpv_ = nullptr;
    mpv_render_context* render_ = nullptr;
    std::atomic<bool> updatePosted_{false};
    FramePacer pacer_;
    QTimer repaintTimer_;  // a new frame waits for the main thread's share of time
    FramePacer::Clock::time_point tallySince_ = FramePacer::Clock::now();
    int heldFrames_ = 0;  // frames that waited for the main thread since the last trace
};

}  // namespace lirra
