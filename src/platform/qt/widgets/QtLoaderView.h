// The loader: a spinning wheel centred on a light background, a one-line label under it.
#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/View.h"
#include "platform/qt/WidgetBacked.h"
#include "platform/qt/quick/LoaderLook.h"

class QLabel;
class QTimer;

namespace lirra {

// The wheel: twelve spokes, the leading one darkest, turning while animated. Hidden when still.
class SpinningWheel : public QWidget {
  public:
    static constexpr int kDiameter = kLoaderWheelDiameter;
    static constexpr int kStepMs = kLoaderStepMs;

    explicit SpinningWheel(QWidget* parent = nullptr);
    void start();
    void stop();
    bool isAnimating() const;
    int step() const { return step_; }
    QSize sizeHint() const override { return QSize(kDiameter, kDiameter); }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QTimer* timer_;
    int step_ = 0;
};

class QtLoaderView final : public LoaderView, public WidgetBacked {
  public:
    QtLoaderView();
    ~QtLoaderView() override;
    QtLoaderView(const QtLoaderView&) = delete;
    QtLoaderView& operator=(const QtLoaderView&) = delete;

    Rect frame() const override;
    void setFrame(const Rect& frame) override;
    bool isHidden() const override { return hidden_; }
    void setHidden(bool hidden) override;

    void startAnimation() override;
    void stopAnimation() override;
    bool isAnimating() const override;
    QString labelText() const override;
    void setLabelText(const QString& text) override;
    bool isLabelHidden() const override;
    void setLabelHidden(bool hidden) override;

    QWidget* widget() override { return root_; }
    SpinningWheel* wheel() const { return wheel_; }

  private:
    QPointer<QWidget> root_;
    QPointer<SpinningWheel> wheel_;
    QPointer<QLabel> label_;
    bool hidden_ = false;
    bool labelHidden_ = false;
};

}  // namespace lirra
