// SPDX-License-Identifier: GPL-3.0-or-later
// The content view of the stage's main layer or of a player layer: its subviews fill it and
// keep their margins to its edges when it is resized, later ones above earlier ones. It owns
// neither its item nor the subviews' items.
#pragma once

#include <QMarginsF>
#include <QObject>
#include <QPointer>
#include <QQuickItem>
#include <vector>

#include "ItemBacked.h"
#include "platform/View.h"

namespace lirra {

class QuickContentView : public ContentView, public ItemBacked {
  public:
    explicit QuickContentView(QQuickItem& container);
    ~QuickContentView() override;
    QuickContentView(const QuickContentView&) = delete;
    QuickContentView& operator=(const QuickContentView&) = delete;

    Rect frame() const override;
    void setFrame(const Rect& frame) override;
    bool isHidden() const override;
    void setHidden(bool hidden) override;

    Rect bounds() const override;
    // Only views backed by an item can be placed; others are ignored.
    void addSubview(View& view) override;

    // Makes `child` fill the container, above the items adopted before it. A child explicitly
    // hidden stays hidden.
    void adopt(QQuickItem& child);
    // Gives `child` up: it no longer lies in the container.
    void release(QQuickItem& child);

    QQuickItem* item() override { return container_; }

  private:
    struct Adopted {
        QPointer<QQuickItem> item;
        QMarginsF margins;  // from the container's edges, kept across its resizes
    };
    void containerResized();
    void childMoved(QQuickItem& child);

    QPointer<QQuickItem> container_;
    std::vector<Adopted> adopted_;
    QObject context_;  // receiver of the items' signals; deleting it disconnects them
    double nextZ_ = 0;
    bool fitting_ = false;
};

}  // namespace lirra
