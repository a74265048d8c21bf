// What libmpv's render context is made with: OpenGL through the view's context and, for the
// interop of hardware decoding, the X11 or Wayland display the window lives on.
#pragma once

#include <mpv/render_gl.h>

#include <memory>
#include <vector>

namespace lirra {

struct NativeDisplay {
    enum class Kind { None, X11, Wayland };
    Kind kind = Kind::None;
    void* handle = nullptr;  // a Display* or a wl_display*
};

// The parameters for mpv_render_context_create, ending with MPV_RENDER_PARAM_INVALID. `gl` and
// the display must outlive the render context.
std::vector<mpv_render_param> renderContextParams(mpv_opengl_init_params* gl,
                                                  const NativeDisplay& display);

// The display of the application's windows: Qt's X11 display on X11; on Wayland a connection
// of its own to the same compositor (Qt 6.4 does not hand out its own), kept while this lives.
class WindowSystemDisplay {
  public:
    WindowSystemDisplay();
    ~WindowSystemDisplay();
    WindowSystemDisplay(const WindowSystemDisplay&) = delete;
    WindowSystemDisplay& operator=(const WindowSystemDisplay&) = delete;

    const NativeDisplay& display() const { return display_; }

  private:
    NativeDisplay display_;
};

}  // namespace lirra
