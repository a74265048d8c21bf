// SPDX-License-Identifier: GPL-3.0-or-later
// What libmpv's render context is made with: OpenGL through the caller's context and, for the
// interop of hardware decoding, the X11 or Wayland display the window lives on.
#pragma once

#include <mpv/render_gl.h>

#include <vector>

#include "MpvRenderContext.h"

namespace lirra {

// The parameters for mpv_render_context_create, ending with MPV_RENDER_PARAM_INVALID. `gl` and
// the display must outlive the render context.
std::vector<mpv_render_param> renderContextParams(mpv_opengl_init_params* gl,
                                                  const NativeDisplay& display);

}  // namespace lirra
