// SPDX-License-Identifier: GPL-3.0-or-later
// The loader on the Qt Quick stage: a turning wheel centred on a light background, a one-line
// label under it and a Cancel button under the label.
#pragma once

#include <QPointer>
#include <QString>

#include "ItemBacked.h"
#include "platform/View.h"

class QQuickItem;

namespace lirra {

class LoaderBackdrop;
class LoaderWheel;

class QuickLoaderView final : public LoaderView, public ItemBacked {
  public:
    QuickLoaderView();
    ~QuickLoaderView() override;
    QuickLoaderView(const QuickLoaderView&) = delete;
    QuickLoaderView& operator=(const QuickLoaderView&) = delete;

    Rect frame() const override;
    void setFrame(const Rect& frame) override;
    bool isHidden() const override { return hidden_; }
    void setHidden(bool hidden) override;

    void startAnimation() override;
    void stopAnimation() override;
    bool isAnimating() const override;
    QString labelText() const override;
    void setLabelText(const QString& text) override;
    bool isLabelHidden() const override { return labelHidden_; }
    void setLabelHidden(bool hidden) override;
    void setCancelAction(std::function<void()> action) override;
    bool isCancelHidden() const override;
    void setCancelHidden(bool hidden) override;

    QQuickItem* item() override;
    int wheelStep() const;
    QQuickItem* cancelButton() const;

  private:
    QPointer<LoaderBackdrop> backdrop_;  // the background and the label; holds the wheel
    bool hidden_ = false;
    bool labelHidden_ = false;
};

}  // namespace lirra
