// The content view of a window or player layer: a container whose subviews fill it and follow
// its size, later ones above earlier ones. It does not own its widget (the window does).
#pragma once

#include <QPointer>

#include "AutoresizingWidget.h"
#include "platform/View.h"
#include "platform/qt/WidgetBacked.h"

namespace lirra {

class QtContentView : public ContentView, public WidgetBacked {
  public:
    explicit QtContentView(AutoresizingWidget& container);

    Rect frame() const override;
    void setFrame(const Rect& frame) override;
    bool isHidden() const override;
    void setHidden(bool hidden) override;

    Rect bounds() const override;
    // Only views backed by a widget can be placed; others are ignored.
    void addSubview(View& view) override;

    QWidget* widget() override { return container_; }

  private:
    QPointer<AutoresizingWidget> container_;
};

}  // namespace lirra
