#include "MpvRenderParams.h"

#include <QtGui/qguiapplication_platform.h>

#include <QGuiApplication>

#ifdef LIRRA_HAVE_WAYLAND_CLIENT
#include <wayland-client.h>
#endif

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

WindowSystemDisplay::WindowSystemDisplay() {
    if (!qGuiApp) return;
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
        display_ = {NativeDisplay::Kind::X11, x11->display()};
        return;
    }
#ifdef LIRRA_HAVE_WAYLAND_CLIENT
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        if (wl_display* wayland = wl_display_connect(nullptr)) {
            display_ = {NativeDisplay::Kind::Wayland, wayland};
        }
    }
#endif
}

WindowSystemDisplay::~WindowSystemDisplay() {
#ifdef LIRRA_HAVE_WAYLAND_CLIENT
    if (display_.kind == NativeDisplay::Kind::Wayland && display_.handle) {
        wl_display_disconnect(static_cast<wl_display*>(display_.handle));
    }
#endif
}

}  // namespace lirra
