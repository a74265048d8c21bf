// SPDX-License-Identifier: GPL-3.0-or-later
// The display the application's windows live on, as libmpv's render context wants it for the
// interop of hardware decoding.
#pragma once

#include "platform/mpv/MpvRenderContext.h"

namespace lirra {

// Qt's X11 display on X11; on Wayland a connection of its own to the same compositor (Qt 6.4
// does not hand out its own), kept while this lives.
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
