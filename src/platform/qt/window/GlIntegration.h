// SPDX-License-Identifier: GPL-3.0-or-later
// Which GL the application's windows use, chosen before the application exists.
#pragma once

#include <optional>
#include <string>

namespace lirra {

// On X11 with a GPU, Qt's windows use EGL instead of GLX: libmpv's hardware decoding interop on
// Intel and AMD (VAAPI) needs it. Nothing changes without a GPU, when hardware decoding is off
// (`hwdec` "no"), on Wayland (EGL already), or when the user chose an integration
// (QT_XCB_GL_INTEGRATION). Call before the QApplication is made.
void preferEglForHardwareDecoding(const std::optional<std::string>& hwdec);

// The decision itself: whether to ask Qt for EGL on X11.
bool shouldPreferEgl(const std::optional<std::string>& hwdec, bool gpu, bool userChose,
                     bool onWayland);

}  // namespace lirra
