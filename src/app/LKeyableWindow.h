// SPDX-License-Identifier: GPL-3.0-or-later
// Event routing of the player's overlay window: a double click above the subtitle block toggles
// full screen, Escape leaves full screen; the page sees neither. Everything else reaches the page.
#pragma once

#include <functional>
#include <optional>

#include "platform/Platform.h"

namespace lirra {

class LKeyableWindow : public EventRouter {
  public:
    LKeyableWindow(Window& mainWindow, std::function<WebView*()> playerWebView);

    // The overlay takes key focus so that key presses reach the player page.
    bool canBecomeKeyWindow() const { return true; }
    bool sendEvent(const InputEvent& event) override;

    // A decimal number at the start of `text` (leading blanks skipped, the rest ignored).
    static std::optional<double> leadingNumber(const QString& text);

  private:
    bool routeDoubleClick(const InputEvent& event);

    Window& mainWindow_;
    std::function<WebView*()> playerWebView_;
};

}  // namespace lirra
