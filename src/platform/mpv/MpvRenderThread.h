// Draws mpv's frames on a thread of its own, into two textures that every GL context of the
// application shares. With software GL, drawing a 1080p frame holds the thread that draws it for
// tens of milliseconds; off the main thread, which also carries the web engine's work, the main
// thread only copies the newest frame into the view when it composes the window.
//
// Frames: the thread draws a new frame only once the view has taken the last one and the window
// has been composed, into the texture the view is not reading, then publishes it; frames that
// come meanwhile are passed over undrawn, so that mpv's clock never waits for the view.
// Threads: construct, take and destroy on the main thread; the rest runs on the render thread.
#pragma once

#include <QObject>
#include <QSize>
#include <QThread>
#include <array>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "MpvRenderParams.h"

struct mpv_handle;
struct mpv_render_context;
class QOffscreenSurface;
class QOpenGLContext;
class QOpenGLFramebufferObject;

namespace lirra {

class MpvRenderThread {
  public:
    struct Hooks {
        std::function<void()> started;                   // the render context exists
        std::function<void(const std::string&)> failed;  // no render context could be made
        std::function<void()> frameReady;                // a new frame waits to be taken
    };

    // Starts the thread; the hooks are called on the main thread. `display` must outlive this.
    MpvRenderThread(mpv_handle* mpv, const NativeDisplay& display, Hooks hooks);
    // Frees the render context on its thread (mpv may still be playing), then ends the thread.
    ~MpvRenderThread();
    MpvRenderThread(const MpvRenderThread&) = delete;
    MpvRenderThread& operator=(const MpvRenderThread&) = delete;

    // Main thread, with a GL context of the application current: `draw` gets the newest frame's
    // texture and size and must have finished reading it when it returns. `size` is the view's in
    // device pixels (frames follow it). False while there is no frame.
    bool drawNewest(QSize size, const std::function<void(unsigned texture, QSize)>& draw);
    // Main thread: the window holding the view has been composed. The next frame is drawn only
    // now: with software GL one rasteriser serves every GL context of the process, and a frame
    // drawn while the window is composed holds the main thread up for as long as it takes.
    void viewComposed();
    // Main thread: the frame drawn so far is no longer wanted (the media stopped).
    void forgetFrame();

  private:
    class Worker;

    // Guarded by mutex_: what the two threads share.
    struct Shared {
        int published = -1;      // texture of the newest frame, -1 for none
        bool taken = true;       // the view has taken the published frame
        bool frameDue = false;   // mpv has a frame the thread has not drawn yet
        bool composing = false;  // the view took a frame; the window is not composed yet
        QSize wanted;            // the view's size in device pixels
        std::array<unsigned, 2> textures{};
        std::array<QSize, 2> sizes;
    };

    std::mutex mutex_;
    Shared shared_;
    Hooks hooks_;
    QObject mainContext_;  // receiver of the hooks' posts; deleting it drops them
    QThread thread_;
    std::unique_ptr<QOffscreenSurface> surface_;
    std::unique_ptr<QOpenGLContext> context_;
    Worker* worker_ = nullptr;  // lives on the thread; deleted there
};

}  // namespace lirra
