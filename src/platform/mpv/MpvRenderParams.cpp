// SPDX-License-Identifier: GPL-3.0-or-later
#include "MpvRenderParams.h"

namespace lirra {

std::vector<mpv_render_param> renderContextParams(mpv_opengl_init_params* gl,
                                                  const NativeDisplay& display) {
    std::vector<mpv_render_param> params = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_OPENGL)},
        {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, gl},
    };
    if (display.handle && display.kind == NativeDisplay::Kind::X11) {
        params.push_back({MPV_RENDER_PARAM_X11_DISPLAY, display.handle});
    } else if (display.handle && display.kind == NativeDisplay::Kind::Wayland) {
        params.push_back({MPV_RENDER_PARAM_WL_DISPLAY, display.handle});
    }
    params.push_back({MPV_RENDER_PARAM_INVALID, nullptr});
    return params;
}

}  // namespace lirra
