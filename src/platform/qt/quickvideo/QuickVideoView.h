// SPDX-License-Identifier: GPL-3.0-or-later
// The video view in a Qt Quick scene: an item under which (in its window's framebuffer, before
// any item is drawn) the engine draws its frames on Qt Quick's render thread, or the back colour
// where there is no picture. The item draws nothing itself; it may be made without a window, get
// one later, and move to another.
#pragma once

#include <QQuickItem>

#include "platform/mpv/MpvVideoOutput.h"
#include "platform/qt/quick/ItemBacked.h"

namespace lirra {

class QuickVideoView : public QQuickItem, public MpvVideoSurface, public ItemBacked {
  public:
    // The output's side of the view; every call comes on the main thread.
    class Renderer {
      public:
        virtual void windowChanged(QQuickWindow* window) = 0;  // none: the item left its window
        virtual void viewChanged() = 0;                        // geometry or visibility: draw again
        virtual void viewSettingsChanged() = 0;                // back colour or fill mode
        virtual void viewDestroyed() = 0;

      protected:
        ~Renderer() = default;
    };

    explicit QuickVideoView(QQuickItem* parent = nullptr);
    ~QuickVideoView() override;

    // At most one renderer; nullptr detaches.
    void setRenderer(Renderer* renderer);

    // View
    Rect frame() const override;
    void setFrame(const Rect& frame) override;
    bool isHidden() const override { return hidden_; }
    void setHidden(bool hidden) override;

    // VideoView
    void setFillScreen(bool fill) override;
    void setBackColor(const Color& color) override;
    Color backColor() const override { return backColor_; }

    // MpvVideoSurface
    bool fillScreen() const override { return fillScreen_; }
    std::unique_ptr<MpvVideoOutput> makeOutput(MpvVideoOutput::Hooks hooks) override;

    // ItemBacked
    QQuickItem* item() override { return this; }

  protected:
    void itemChange(ItemChange change, const ItemChangeData& data) override;
    void geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry) override;

  private:
    Renderer* renderer_ = nullptr;
    bool hidden_ = false;
    bool fillScreen_ = false;
    Color backColor_{0, 0, 0, 1};
};

}  // namespace lirra
