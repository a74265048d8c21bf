// A rectangle on screen that can be hidden; the base of every view the controllers place.
#pragma once

#include <QString>

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

// A spinning wheel and a one-line label.
class LoaderView : public View {
  public:
    virtual void startAnimation() = 0;
    virtual void stopAnimation() = 0;
    virtual bool isAnimating() const = 0;
    virtual QString labelText() const = 0;
    virtual void setLabelText(const QString& text) = 0;
    virtual bool isLabelHidden() const = 0;
    virtual void setLabelHidden(bool hidden) = 0;
};

}  // namespace lirra
