// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/LDragReceiverWebView.h"

namespace lirra {

LDragReceiverWebView::LDragReceiverWebView(AppState& state, Screens& screens, VideoIntake& intake,
                                           std::function<bool()> homeWebViewHidden)
    : state_(state),
      screens_(screens),
      intake_(intake),
      homeWebViewHidden_(std::move(homeWebViewHidden)) {}

bool LDragReceiverWebView::performDragOperation(WebView&, const QStringList& fileNames) {
    return fileNames.size() == 1 && state_.draggable;
}

void LDragReceiverWebView::concludeDragOperation(WebView&, const QStringList& fileNames) {
    if (fileNames.isEmpty()) return;
    const QString fileName = fileNames.first();
    if (homeWebViewHidden_ && homeWebViewHidden_()) screens_.loadHomeScreen();
    intake_.processVideoAndLaunch(fileName);
}

}  // namespace lirra
