// SPDX-License-Identifier: GPL-3.0-or-later
// A rectangle on screen that can be hidden; the base of every view the controllers place.
#pragma once

#include <QString>
#include <functional>

#include "Geometry.h"

namespace lirra {

class View {
  public:
    virtual ~View() = default;
    // In the coordinates of the view's container (lower-left origin). Views placed in a
    // window's content view also follow its size from then on.
    virtual Rect frame() const = 0;
    virtual void setFrame(const Rect& frame) = 0;
    virtual bool isHidden() const = 0;
    virtual void setHidden(bool hidden) = 0;
};

// The container of a window's views; later subviews lie above earlier ones.
class ContentView : public View {
  public:
    virtual Rect bounds() const = 0;  // origin 0,0 and the content size
    virtual void addSubview(View& view) = 0;
};

// A spinning wheel, a one-line label and, under it, a Cancel button that can be hidden.
class LoaderView : public View {
  public:
    virtual void startAnimation() = 0;
    virtual void stopAnimation() = 0;
    virtual bool isAnimating() const = 0;
    virtual QString labelText() const = 0;
    virtual void setLabelText(const QString& text) = 0;
    virtual bool isLabelHidden() const = 0;
    virtual void setLabelHidden(bool hidden) = 0;
    // While the button shows, pressing it or Escape runs the action. Hidden at first.
    virtual void setCancelAction(std::function<void()> action) = 0;
    virtual bool isCancelHidden() const = 0;
    virtual void setCancelHidden(bool hidden) = 0;
};

}  // namespace lirra
