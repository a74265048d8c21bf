#include "MpvRenderGlue.h"

#include <mpv/client.h>
#include <mpv/render_gl.h>

#include <QOpenGLContext>
#include <cstdio>

#include "MpvEngineOptions.h"
#include "MpvReplyIds.h"
#include "platform/Log.h"

namespace lirra {
namespace {

void* glProcAddress(void*, const char* name) {
    QOpenGLContext* context = QOpenGLContext::currentContext();
    return context ? reinterpret_cast<void*>(context->getProcAddress(name)) : nullptr;
}

}  // namespace

MpvRenderGlue::MpvRenderGlue(MpvVideoView& view, Hooks hooks)
    : view_(&view), hooks_(std::move(hooks)) {
    repaintTimer_.setSingleShot(true);
    repaintTimer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&repaintTimer_, &QTimer::timeout, &context_, [this] { repaint(); });
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
    // The render context must be freed in the GL context it was made in; it has none left if
    // the view is gone, and is freed all the same.
    if (render_ && view_) view_->withGlContext([this] { glAboutToBeDestroyed(); });
    glAboutToBeDestroyed();
}

void MpvRenderGlue::repaint() {
    if (view_) view_->update();
}

void MpvRenderGlue::glInitialized() {
    if (!mpv_ || render_) return;
    mpv_opengl_init_params glInit{&glProcAddress, nullptr};
    std::vector<mpv_render_param> params = renderContextParams(&glInit, display_.display());
    if (const int error = mpv_render_context_create(&render_, mpv_, params.data()); error < 0) {
        render_ = nullptr;
        hooks_.failed(std::string("mpv: no render context: ") + mpv_error_string(error));
        return;
    }
    mpv_render_context_set_update_callback(render_, &MpvRenderGlue::onRenderUpdate, this);
    hooks_.contextMade();
}

void MpvRenderGlue::glAboutToBeDestroyed() {
    if (!render_) return;
    mpv_render_context_free(render_);
    render_ = nullptr;
}

bool MpvRenderGlue::render(int fbo, int width, int height) {
    if (!render_ || !hooks_.hasPicture()) return false;
    pacer_.paintStarted(FramePacer::Clock::now());
    mpv_opengl_fbo target{fbo, width, height, 0};
    int flipY = 1;               // Qt's framebuffer is bottom-up
    int blockForTargetTime = 0;  // never hold the GUI thread waiting for a frame's time
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_OPENGL_FBO, &target},
        {MPV_RENDER_PARAM_FLIP_Y, &flipY},
        {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &blockForTargetTime},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    mpv_render_context_render(render_, params);
    return true;
}

void MpvRenderGlue::frameSwapped() {
    pacer_.frameShown(FramePacer::Clock::now());
    traceFrames();
    if (render_) mpv_render_context_report_swap(render_);
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
                  "Video frames: %.1f/s shown, %.1f ms each on the main thread (drawing and "
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

// On one of mpv's threads: only posts.
void MpvRenderGlue::onRenderUpdate(void* self) {
    auto* glue = static_cast<MpvRenderGlue*>(self);
    if (glue->updatePosted_.exchange(true)) return;
    QMetaObject::invokeMethod(
        &glue->context_,
        [glue] {
            glue->updatePosted_ = false;
            if (!glue->render_) return;
            if (mpv_render_context_update(glue->render_) & MPV_RENDER_UPDATE_FRAME) {
                glue->repaintForNewFrame();
            }
        },
        Qt::QueuedConnection);
}

}  // namespace lirra
