// SPDX-License-Identifier: GPL-3.0-or-later
#include "MpvRenderContext.h"

#include <mpv/client.h>
#include <mpv/render_gl.h>

#include "MpvRenderParams.h"

namespace lirra {

std::unique_ptr<MpvRenderContext> MpvRenderContext::create(
    mpv_handle* mpv, GetProcAddress getProcAddress, void* context, const NativeDisplay& display,
    std::function<void()> onUpdate, std::string* error) {
    mpv_opengl_init_params gl{getProcAddress, context};
    std::vector<mpv_render_param> params = renderContextParams(&gl, display);
    mpv_render_context* render = nullptr;
    if (const int refused = mpv_render_context_create(&render, mpv, params.data()); refused < 0) {
        *error = std::string("mpv: no render context: ") + mpv_error_string(refused);
        return nullptr;
    }
    return std::unique_ptr<MpvRenderContext>(new MpvRenderContext(render, std::move(onUpdate)));
}

MpvRenderContext::MpvRenderContext(mpv_render_context* render, std::function<void()> onUpdate)
    : render_(render), onUpdate_(std::move(onUpdate)) {
    mpv_render_context_set_update_callback(render_, &MpvRenderContext::onUpdate, this);
}

MpvRenderContext::~MpvRenderContext() {
    mpv_render_context_set_update_callback(render_, nullptr, nullptr);
    mpv_render_context_free(render_);
}

void MpvRenderContext::onUpdate(void* self) { static_cast<MpvRenderContext*>(self)->onUpdate_(); }

bool MpvRenderContext::newFrame() {
    return mpv_render_context_update(render_) & MPV_RENDER_UPDATE_FRAME;
}

void MpvRenderContext::render(int fbo, int width, int height) {
    mpv_opengl_fbo target{fbo, width, height, 0};
    int flipY = 1;
    int block = 0;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_OPENGL_FBO, &target},
        {MPV_RENDER_PARAM_FLIP_Y, &flipY},
        {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    mpv_render_context_render(render_, params);
}

void MpvRenderContext::skipFrame() {
    if (!newFrame()) return;
    mpv_opengl_fbo target{0, 1, 1, 0};
    int skip = 1;
    int block = 0;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_OPENGL_FBO, &target},
        {MPV_RENDER_PARAM_SKIP_RENDERING, &skip},
        {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    mpv_render_context_render(render_, params);
    mpv_render_context_report_swap(render_);
}

void MpvRenderContext::reportSwap() { mpv_render_context_report_swap(render_); }

}  // namespace lirra
