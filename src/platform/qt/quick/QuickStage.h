// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's content as one Qt Quick scene: its views (home page, loader) in the lowest
// layer, each player layer above. The video and the transparent page over it are then composed
// once per frame on Qt Quick's render thread, off the main thread that also carries the web
// engine's work; with software GL composing is most of the player's CPU.
#pragma once

#include <QPointer>
#include <QQuickView>
#include <memory>
#include <vector>

class QQmlEngine;
class QQuickItem;
class QWidget;

namespace lirra {

class QuickStage {
  public:
    QuickStage();
    ~QuickStage();
    QuickStage(const QuickStage&) = delete;
    QuickStage& operator=(const QuickStage&) = delete;

    QQuickView& window() { return *view_; }  // lives as long as the stage
    // Where the stage's QML items (web views) are made.
    QQmlEngine& engine();
    // The widget that shows the stage inside `parent` (made on the first call).
    QWidget& container(QWidget* parent);
    QWidget* container() const { return container_; }

    // The lowest layer, always shown: the main window's own views.
    QQuickItem& contentLayer() { return *content_; }
    // A new layer filling the stage, hidden, below the layers raised after it. The stage keeps
    // it until removeLayer.
    QQuickItem& addLayer();
    void removeLayer(QQuickItem& layer);
    // Shows `layer` above every other layer. While any layer shows, the content layer is
    // hidden: the video is drawn beneath the whole scene, so nothing opaque may lie under it.
    void raise(QQuickItem& layer);
    void hide(QQuickItem& layer);

  private:
    void fitLayers();
    void showContentUnlessCovered();

    QQuickView* view_;  // owned by the container once there is one, else by the stage
    QPointer<QWidget> container_;
    QQuickItem* content_;
    std::vector<QQuickItem*> layers_;  // content_ first
    double topZ_ = 0;
};

}  // namespace lirra
