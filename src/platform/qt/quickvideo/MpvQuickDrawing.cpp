// SPDX-License-Identifier: GPL-3.0-or-later
#include "MpvQuickDrawing.h"

#include <QCoreApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QQuickWindow>
#include <QRunnable>
#include <QThread>

namespace lirra {
namespace {

void* glProcAddress(void*, const char* name) {
    QOpenGLContext* context = QOpenGLContext::currentContext();
    return context ? reinterpret_cast<void*>(context->getProcAddress(name)) : nullptr;
}

// What libmpv expects to find: the state of a fresh context, the window's framebuffer bound.
// Qt's pass for a layer may run just before this one and leave scissor or masks set.
void prepareGlState(QOpenGLExtraFunctions& gl, unsigned framebuffer) {
    gl.glDisable(GL_SCISSOR_TEST);
    gl.glDisable(GL_DEPTH_TEST);
    gl.glDisable(GL_STENCIL_TEST);
    gl.glDisable(GL_CULL_FACE);
    gl.glDisable(GL_BLEND);
    gl.glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    gl.glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
}

// What libmpv leaves behind that Qt's renderer neither resets nor expects; a stale error among
// them fails Qt's next offscreen pass, and the window stays black.
void resetGlState(QOpenGLExtraFunctions& gl) {
    gl.glBindVertexArray(0);
    gl.glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
    gl.glBindBuffer(GL_ARRAY_BUFFER, 0);
    gl.glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    gl.glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    gl.glUseProgram(0);
    gl.glActiveTexture(GL_TEXTURE0);
    gl.glDisable(GL_SCISSOR_TEST);
    for (int i = 0; i < 16 && gl.glGetError() != GL_NO_ERROR; ++i) {
    }
}

// Run by the window's render thread: a frame drawn again from the scene as last synchronised,
// without waiting for the main thread.
class RepaintJob final : public QRunnable {
  public:
    explicit RepaintJob(QQuickWindow* window) : window_(window) {}
    void run() override { window_->update(); }

  private:
    QQuickWindow* window_;
};

}  // namespace

MpvQuickDrawing::~MpvQuickDrawing() {
    // The owner frees the render context before the core goes; this is the last resort.
    if (render_) freeInOwnContext();
}

void MpvQuickDrawing::setEngine(mpv_handle* mpv, Hooks hooks) {
    std::function<void()> wake = hooks.frameWanted;
    {
        std::lock_guard lock(mutex_);
        if (mpv != mpv_) {
            failed_ = false;
            madeBefore_ = false;
        }
        mpv_ = mpv;
        hooks_ = mpv ? std::move(hooks) : Hooks{};
    }
    std::lock_guard lock(wakeMutex_);
    wake_ = mpv ? std::move(wake) : nullptr;
}

void MpvQuickDrawing::setWindow(QQuickWindow* window) {
    {
        std::lock_guard lock(mutex_);
        window_ = window;
        frame_ = Frame{};  // until the window's first sync
        syncedPicture_ = false;
    }
    // Not under mutex_: a callback in progress holds wakeMutex_ and must be let finish.
    std::lock_guard lock(wakeMutex_);
    repaintWindow_ = window;
}

void MpvQuickDrawing::synchronize(const Frame& frame) {
    std::lock_guard lock(mutex_);
    frame_ = frame;
    syncedPicture_ = frame.visible && frame.picture;
}

void MpvQuickDrawing::create() {
    std::string error;
    render_ = MpvRenderContext::create(
        mpv_, &glProcAddress, nullptr, display_.display(),
        [this] {
            std::lock_guard lock(wakeMutex_);
            // A new frame of the picture on show is drawn by the render thread straight away.
            // Asked through the main thread, each frame would wait for it and for a sync: busy
            // with the page and the web engine on a loaded machine, it held frames back until
            // the engine gave up on them (200 ms each) and the video ran at a few frames/s.
            if (repaintWindow_ && renderThreaded_ && syncedPicture_) {
                repaintWindow_->scheduleRenderJob(new RepaintJob(repaintWindow_),
                                                  QQuickWindow::NoStage);
                return;
            }
            if (wake_) wake_();
        },
        &error);
    if (!render_) {
        failed_ = true;
        if (hooks_.failed) hooks_.failed(error);
        return;
    }
    hasRender_ = true;
    if (hooks_.made) hooks_.made(madeBefore_);
    madeBefore_ = true;
}

void MpvQuickDrawing::draw(QQuickWindow& window) {
    std::lock_guard lock(mutex_);
    renderThreaded_ = QThread::currentThread() != QCoreApplication::instance()->thread();
    if (&window != window_) return;
    if (!frame_.visible || frame_.windowSize.isEmpty()) {
        if (render_) render_->skipFrame();
        return;
    }
    if (!render_ && mpv_ && !failed_) create();
    QOpenGLContext* context = QOpenGLContext::currentContext();
    if (!context) return;
    QOpenGLExtraFunctions& gl = *context->extraFunctions();
    window.beginExternalCommands();
    const unsigned framebuffer = context->defaultFramebufferObject();
    prepareGlState(gl, framebuffer);
    if (render_ && frame_.picture) {
        const bool newFrame = render_->newFrame();
        // The whole window: the view fills it in the product. A smaller view would get the
        // picture scaled to the window and cut to its own rectangle by the items over it.
        render_->render(static_cast<int>(framebuffer), frame_.windowSize.width(),
                        frame_.windowSize.height());
        drewFrame_ = true;
        if (newFrame) ++framesShown_;
    } else {
        if (render_) render_->skipFrame();
        // The back colour over the item's rectangle (GL counts rows from the bottom).
        const QRect& r = frame_.rect;
        gl.glEnable(GL_SCISSOR_TEST);
        gl.glScissor(r.x(), frame_.windowSize.height() - r.y() - r.height(), r.width(), r.height());
        gl.glClearColor(static_cast<float>(frame_.back.red), static_cast<float>(frame_.back.green),
                        static_cast<float>(frame_.back.blue),
                        static_cast<float>(frame_.back.alpha));
        gl.glClear(GL_COLOR_BUFFER_BIT);
    }
    resetGlState(gl);
    window.endExternalCommands();
}

void MpvQuickDrawing::swapped() {
    std::lock_guard lock(mutex_);
    if (render_ && drewFrame_) render_->reportSwap();
    drewFrame_ = false;
}

void MpvQuickDrawing::free() {
    std::lock_guard lock(mutex_);
    freeLocked();
}

void MpvQuickDrawing::freeLocked() {
    render_.reset();
    hasRender_ = false;
    drewFrame_ = false;
}

void MpvQuickDrawing::freeInOwnContext() {
    std::lock_guard lock(mutex_);
    if (!render_) return;
    QOffscreenSurface surface;
    surface.create();
    QOpenGLContext context;
    context.setShareContext(QOpenGLContext::globalShareContext());
    const bool current = context.create() && context.makeCurrent(&surface);
    freeLocked();
    if (current) context.doneCurrent();
}

}  // namespace lirra
