// SPDX-License-Identifier: GPL-3.0-or-later
#include "GlIntegration.h"

#include <QByteArray>
#include <QtGlobal>

#include "platform/Log.h"
#include "platform/mpv/MpvEngineOptions.h"

namespace lirra {

bool shouldPreferEgl(const std::optional<std::string>& hwdec, bool gpu, bool userChose,
                     bool onWayland) {
    return gpu && !userChose && !onWayland && effectiveHwdec(hwdec, gpu, nullptr) != "no";
}

void preferEglForHardwareDecoding(const std::optional<std::string>& hwdec) {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const bool onWayland = platform.startsWith("wayland") ||
                           (platform.isEmpty() && qEnvironmentVariableIsSet("WAYLAND_DISPLAY"));
    if (!shouldPreferEgl(hwdec, hasGpuDevice(), qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"),
                         onWayland)) {
        return;
    }
    qputenv("QT_XCB_GL_INTEGRATION", "xcb_egl");
    traceLine("GL through EGL, for hardware video decoding");
}

}  // namespace lirra
