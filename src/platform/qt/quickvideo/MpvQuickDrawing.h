// SPDX-License-Identifier: GPL-3.0-or-later
// The render context of a video view in a Qt Quick scene and everything Qt Quick's render thread
// touches: made on that thread with the scene graph's GL context, it draws each frame straight
// into the window's framebuffer before any item is drawn. Shared (by shared_ptr) between the
// main thread and the render thread, so that work the render thread still has queued never
// reaches freed memory.
#pragma once

#include <QRect>
#include <QSize>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "WindowSystemDisplay.h"
#include "platform/Geometry.h"
#include "platform/mpv/MpvRenderContext.h"

struct mpv_handle;
class QQuickWindow;

namespace lirra {

class MpvQuickDrawing {
  public:
    // Called on the render thread or libmpv's threads; the owner posts them to the main thread.
    struct Hooks {
        std::function<void(bool again)> made;  // again: a render context existed before
        std::function<void(const std::string&)> failed;
        std::function<void()> frameWanted;  // libmpv has something new to show
    };

    // What the scene graph's sync copies from the view (the main thread waits meanwhile).
    struct Frame {
        bool visible = false;
        QRect rect;        // the item's, in device pixels, top-left origin in the window
        QSize windowSize;  // in device pixels
        Color back{0, 0, 0, 1};
        bool picture = false;  // false: the back colour instead of the engine's picture
    };

    ~MpvQuickDrawing();

    // Main thread. `mpv` none: no render context is made (one that exists stays until freed)
    // and no hook is called from when this returns.
    void setEngine(mpv_handle* mpv, Hooks hooks);
    bool hasRender() const { return hasRender_.load(); }
    // Any thread: the engine's new frames drawn into the window since the last call.
    long takeFramesShown() { return framesShown_.exchange(0); }
    // Main thread: the window whose render thread draws (none: no window draws, e.g. while the
    // view moves; a render context is only ever used in the window it was made in). While its
    // scene shows the engine's picture, a new frame of the engine has that render thread draw
    // again by itself; otherwise (and where the window renders on the main thread) frameWanted
    // asks the owner.
    void setWindow(QQuickWindow* window);

    // Render thread, during the scene graph's sync.
    void synchronize(const Frame& frame);
    // Render thread, the scene graph's GL context current, at the start of the window's pass.
    void draw(QQuickWindow& window);
    void swapped();
    // With the GL context the render context was made in current (the render thread's).
    void free();
    // Main thread, when the render thread cannot run it: frees the render context in a GL
    // context of our own that shares the scene graph's objects.
    void freeInOwnContext();

  private:
    void create();
    void freeLocked();

    std::mutex mutex_;  // all below but the hooks; held while the render context is used
    mpv_handle* mpv_ = nullptr;
    std::unique_ptr<MpvRenderContext> render_;
    bool failed_ = false;  // for this engine: no second try
    bool madeBefore_ = false;
    bool drewFrame_ = false;  // since the last swap
    QQuickWindow* window_ = nullptr;
    Frame frame_;
    Hooks hooks_;
    std::atomic<bool> hasRender_{false};
    std::atomic<long> framesShown_{0};
    std::atomic<bool> renderThreaded_{false};  // draw() runs on a thread of its own
    std::atomic<bool> syncedPicture_{false};   // the last sync showed the engine's picture
    WindowSystemDisplay display_;              // outlives the render context

    // libmpv's update callback takes only this one: freeing the render context waits for a
    // callback in progress while mutex_ is held.
    std::mutex wakeMutex_;
    std::function<void()> wake_;
    QQuickWindow* repaintWindow_ = nullptr;  // under wakeMutex_
};

}  // namespace lirra
