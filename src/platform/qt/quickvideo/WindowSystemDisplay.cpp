// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowSystemDisplay.h"

#include <QtGui/qguiapplication_platform.h>

#include <QGuiApplication>

#ifdef LIRRA_HAVE_WAYLAND_CLIENT
#include <wayland-client.h>
#endif

namespace lirra {

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
