// SPDX-License-Identifier: GPL-3.0-or-later
// Finds the rows a transparent page paints: a small copy of the page's frames (a hidden
// ShaderEffectSource, drawn anew when the page changes) is read back on the render thread the
// frame after it was drawn, and the rows holding anything are handed to the main thread.
#pragma once

#include <QPointer>
#include <QQuickItem>
#include <functional>
#include <vector>

#include "PaintedRows.h"

namespace lirra {

class PaintedRowsProbe : public QQuickItem {
  public:
    // Called on the main thread with the painted rows, as fractions of the page's height.
    using Found = std::function<void(const std::vector<std::pair<double, double>>& rows)>;

    // `changed` is called on the main thread when the page has changed and its rows are being
    // read again.
    PaintedRowsProbe(QQuickItem* parent, Found found, std::function<void()> changed);

    // A ShaderEffectSource of the page (a texture provider); this item keeps it drawn.
    void setSource(QQuickItem* source);

  protected:
    QSGNode* updatePaintNode(QSGNode* old, UpdatePaintNodeData* data) override;

  private:
    void deliver(const std::vector<RowSpan>& spans, int rows);

    QPointer<QQuickItem> source_;
    Found found_;
    std::function<void()> changed_;
};

}  // namespace lirra
