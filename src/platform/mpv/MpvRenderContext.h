// SPDX-License-Identifier: GPL-3.0-or-later
// libmpv's OpenGL render context, without any UI toolkit: whoever owns the GL context (the Qt
// Quick video item) makes it with that context current, draws with it on the same thread and
// frees it there. libmpv stays private to the engine's library.
#pragma once

#include <functional>
#include <memory>
#include <string>

struct mpv_handle;
struct mpv_render_context;

namespace lirra {

// The window system's display, for the interop of hardware decoding.
struct NativeDisplay {
    enum class Kind { None, X11, Wayland };
    Kind kind = Kind::None;
    void* handle = nullptr;  // a Display* or a wl_display*
};

class MpvRenderContext {
  public:
    // Resolves a GL function of the current context (`context` is the caller's own pointer).
    using GetProcAddress = void* (*)(void* context, const char* name);

    // With the GL context current. `onUpdate` runs on one of libmpv's threads whenever there
    // is something new to draw; `display` must outlive the render context. None, with `error`
    // set, when libmpv refuses.
    static std::unique_ptr<MpvRenderContext> create(mpv_handle* mpv, GetProcAddress getProcAddress,
                                                    void* context, const NativeDisplay& display,
                                                    std::function<void()> onUpdate,
                                                    std::string* error);
    // With the GL context it was made in current; waits for an update callback in progress.
    ~MpvRenderContext();
    MpvRenderContext(const MpvRenderContext&) = delete;
    MpvRenderContext& operator=(const MpvRenderContext&) = delete;

    // Whether a new video frame waits to be drawn (asking takes it up).
    bool newFrame();
    // Draws the current frame into framebuffer `fbo` of `width` by `height` pixels, upright in
    // GL's bottom-up rows, without waiting for the frame's time (the caller paces the frames).
    void render(int fbo, int width, int height);
    // Passes the waiting frame over undrawn, as if shown: the engine's clock never waits for it.
    void skipFrame();
    // The frame drawn last is on screen.
    void reportSwap();

  private:
    MpvRenderContext(mpv_render_context* render, std::function<void()> onUpdate);
    static void onUpdate(void* self);

    mpv_render_context* render_;
    std::function<void()> onUpdate_;
};

}  // namespace lirra
