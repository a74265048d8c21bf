// Qt views expose their widget so that windows and layers can hold them.
#pragma once

class QWidget;

namespace lirra {

class WidgetBacked {
  public:
    virtual ~WidgetBacked() = default;
    virtual QWidget* widget() = 0;
};

}  // namespace lirra
