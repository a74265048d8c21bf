#include "MpvRenderGlue.h"

#include <mpv/client.h>
#include <mpv/render_gl.h>

#include <QOpenGLContext>

#include "MpvEngineOptions.h"
#include "MpvReplyIds.h"

namespace lirra {
namespace {

void* glProcAddress(void*, const char* name) {
    QOpenGLContext* context = QOpenGLContext::currentContext();
    return context ? reinterpret_cast<void*>(context->getProcAddress(name)) : nullptr;
}

}  // namespace

MpvRenderGlue::MpvRenderGlue(MpvVideoView& view, Hooks hooks)
    : view_(&view), hooks_(std::move(hooks)) {}

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
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_OPENGL)},
        {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &glInit},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    if (const int error = mpv_render_context_create(&render_, mpv_, params); error < 0) {
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
    if (render_) mpv_render_context_report_swap(render_);
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
            if ((mpv_render_context_update(glue->render_) & MPV_RENDER_UPDATE_FRAME) &&
                glue->view_) {
                glue->view_->update();
            }
        },
        Qt::QueuedConnection);
}

}  // namespace lirra
