// SPDX-License-Identifier: GPL-3.0-or-later
// What a file dropped on either web view does: one file, while drops are switched on, ends the
// current video (if any) and is taken in as the next. The page never sees the file.
#pragma once

#include <functional>

#include "platform/Platform.h"
#include "state/AppState.h"
#include "state/Screens.h"
#include "state/VideoIntake.h"

namespace lirra {

class LDragReceiverWebView : public DragReceiver {
  public:
    // `homeWebViewHidden` tells whether a video is being processed or played.
    LDragReceiverWebView(AppState& state, Screens& screens, VideoIntake& intake,
                         std::function<bool()> homeWebViewHidden);

    // One switch for every web view of the process.
    void isDraggable(bool draggable) { state_.draggable = draggable; }

    bool performDragOperation(WebView& view, const QStringList& fileNames) override;
    void concludeDragOperation(WebView& view, const QStringList& fileNames) override;

  private:
    AppState& state_;
    Screens& screens_;
    VideoIntake& intake_;
    std::function<bool()> homeWebViewHidden_;
};

}  // namespace lirra
