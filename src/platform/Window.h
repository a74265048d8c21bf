// SPDX-License-Identifier: GPL-3.0-or-later
// Windows as the controllers use them: the main window, and the player's video and overlay
// windows (on Linux, layers laid over the main window's content area). Frames are in the
// lower-left-origin convention of Geometry.h; all calls on the main thread.
#pragma once

#include "Geometry.h"
#include "View.h"

namespace lirra {

class WindowDelegate {
  public:
    virtual ~WindowDelegate() = default;
    virtual void windowDidResize() {}
    virtual void windowDidMove() {}
    virtual void windowDidBecomeKey() {}
    virtual bool windowShouldClose() { return true; }  // false keeps the window open
    virtual void windowDidEnterFullScreen() {}
    virtual void windowDidExitFullScreen() {}
};

// A mouse or key event on its way into a window.
struct InputEvent {
    enum Type : int { kOther = 0, kLeftMouseDown = 1, kLeftMouseUp = 2, kKeyDown = 10 };
    int type = kOther;
    int clickCount = 0;  // 2 on the second press of a double click
    unsigned modifierFlags = 0;
    Point locationInWindow;  // from the window's lower-left corner
    int keyCode = -1;        // desktop key codes: 53 is Escape
};

inline constexpr unsigned kControlKeyMask = 262144;
inline constexpr int kEscapeKeyCode = 53;

// Sees every mouse and key event delivered to a window before its content does.
class EventRouter {
  public:
    virtual ~EventRouter() = default;
    // True: deliver the event normally. False: the event is swallowed.
    virtual bool sendEvent(const InputEvent& event) = 0;
};

class Window {
  public:
    virtual ~Window() = default;

    virtual Rect frame() const = 0;  // the whole window, title bar included
    virtual void setFrame(const Rect& frame, bool display) = 0;
    virtual ContentView& contentView() = 0;
    virtual void setContentView(View& view) = 0;  // the view fills the window from then on

    virtual void setContentSize(const Size& size) = 0;
    virtual Size contentAspectRatio() const = 0;  // 0 by 0 while none is in force
    virtual void setContentAspectRatio(const Size& ratio) = 0;
    virtual void setContentResizeIncrements(const Size& increments) = 0;  // 1 by 1 lifts the ratio

    virtual bool isFullScreen() const = 0;
    virtual void toggleFullScreen() = 0;
    virtual void setFullScreenPrimary() = 0;  // may become a full-screen window

    virtual void makeKeyWindow() = 0;
    virtual bool isKeyWindow() const = 0;
    virtual bool isVisible() const = 0;
    virtual void close() = 0;  // hides; the window is kept for reuse
    // Shows `child` over this window's content area, above the children attached before it.
    virtual void addChildWindow(Window& child) = 0;

    virtual void setDelegate(WindowDelegate* delegate) = 0;
    virtual void setEventRouter(EventRouter* router) = 0;
};

}  // namespace lirra
