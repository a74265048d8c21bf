#include "MpvRenderGlue.h"

#include <mpv/client.h>

#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QOpenGLTextureBlitter>
#include <cstdio>

#include "MpvEngineOptions.h"
#include "MpvReplyIds.h"
#include "platform/Log.h"

namespace lirra {

MpvRenderGlue::MpvRenderGlue(MpvVideoView& view, Hooks hooks)
    : view_(&view), hooks_(std::move(hooks)) {
    repaintTimer_.setSingleShot(true);
    repaintTimer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&repaintTimer_, &QTimer::timeout, &context_, [this] { repaint(); });
    // A paint that no composition follows (a grab of the view) must not stop the frames.
    composeTimeout_.setSingleShot(true);
    composeTimeout_.setInterval(250);
    QObject::connect(&composeTimeout_, &QTimer::timeout, &context_, [this] {
        if (thread_) thread_->viewComposed();
    });
}

MpvRenderGlue::~MpvRenderGlue() {
    detach();
    freeContext();
}

void MpvRenderGlue::attach(mpv_handle* mpv) {
    mpv_ = mpv;
    if (view_) view_->setRenderer(this);  // calls glInitialized() now if the GL is ready
}

void MpvRenderGlue::detach() {
    if (view_) view_->setRenderer(nullptr);
}

void MpvRenderGlue::freeContext() {
    thread_.reset();  // waits for the render context to be freed on its thread
    renderReady_ = false;
    if (blitter_ && view_) view_->withGlContext([this] { glAboutToBeDestroyed(); });
    // Without a context its GL objects went with the last one; the object alone is left.
    static_cast<void>(blitter_.release());
}

void MpvRenderGlue::clearPicture() {
    if (thread_) thread_->forgetFrame();
    repaint();
}

void MpvRenderGlue::repaint() {
    if (view_) view_->update();
}

void MpvRenderGlue::glInitialized() {
    // The render thread's GL context is shared with every context of the application, so it
    // outlives the view's own (which Qt replaces when the view changes windows).
    if (!mpv_ || thread_) return;
    thread_ = std::make_unique<MpvRenderThread>(
        mpv_, display_.display(),
        MpvRenderThread::Hooks{
            .started =
                [this] {
                    renderReady_ = true;
                    hooks_.contextMade();
                },
            .failed = [this](const std::string& why) { hooks_.failed(why); },
            .frameReady = [this] { repaintForNewFrame(); },
        });
}

void MpvRenderGlue::glAboutToBeDestroyed() {
    if (!blitter_) return;
    blitter_->destroy();
    blitter_.reset();
}

bool MpvRenderGlue::render(int /*fbo*/, int width, int height) {
    if (!thread_ || !hooks_.hasPicture()) return false;
    pacer_.paintStarted(FramePacer::Clock::now());
    composeTimeout_.start();
    return thread_->drawNewest(QSize(width, height), [this](unsigned texture, QSize) {
        if (!blitter_) {
            blitter_ = std::make_unique<QOpenGLTextureBlitter>();
            blitter_->create();
        }
        // Bottom-up like the view's framebuffer; stretched over the view while a frame of the
        // view's new size is on its way.
        blitter_->bind();
        blitter_->blit(texture, QMatrix4x4(), QOpenGLTextureBlitter::OriginBottomLeft);
        blitter_->release();
        // The thread may draw into the texture once this returns.
        QOpenGLContext::currentContext()->functions()->glFinish();
    });
}

void MpvRenderGlue::frameSwapped() {
    pacer_.frameShown(FramePacer::Clock::now());
    composeTimeout_.stop();
    if (thread_) thread_->viewComposed();
    traceFrames();
}

void MpvRenderGlue::repaintForNewFrame() {
    if (repaintTimer_.isActive()) return;  // that repaint draws the newest frame
    const auto now = FramePacer::Clock::now();
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(pacer_.nextPaint(now) - now);
    if (wait.count() <= 0) {
        repaint();
    } else {
        ++heldFrames_;
        repaintTimer_.start(wait);
    }
}

// With --verbose, every 10 s: how much of the main thread the video's frames took.
void MpvRenderGlue::traceFrames() {
    const auto now = FramePacer::Clock::now();
    if (!traceEnabled() || now - tallySince_ < std::chrono::seconds(10)) return;
    const FramePacer::Tally tally = pacer_.takeTally();
    const double seconds = std::chrono::duration<double>(now - tallySince_).count();
    const double drawingMs = std::chrono::duration<double, std::milli>(tally.drawing).count();
    char line[200];
    std::snprintf(line, sizeof line,
                  "Video frames: %.1f/s shown, %.1f ms each on the main thread (copying and "
                  "composing, %.0f%% of its time), %d held for it",
                  tally.frames / seconds, tally.frames ? drawingMs / tally.frames : 0.0,
                  drawingMs / seconds / 10.0, heldFrames_);
    traceLine(line);
    tallySince_ = now;
    heldFrames_ = 0;
}

void MpvRenderGlue::viewSettingsChanged() {
    if (!mpv_ || !view_) return;
    const std::string color = backgroundText(view_->backColor());
    const char* colorData = color.c_str();
    mpv_set_property_async(mpv_, kIgnoredReply, kBackgroundProperty, MPV_FORMAT_STRING, &colorData);
    double panscan = panscanValue(view_->fillScreen());
    mpv_set_property_async(mpv_, kIgnoredReply, kPanscanProperty, MPV_FORMAT_DOUBLE, &panscan);
}

void MpvRenderGlue::viewDestroyed() { view_ = nullptr; }

}  // namespace lirra
