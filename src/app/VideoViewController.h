// SPDX-License-Identifier: GPL-3.0-or-later
// Owns the video view and the media player that draws into it.
#pragma once

#include <memory>

#include "platform/Platform.h"

namespace lirra {

class WebViewController;

class VideoViewController {
  public:
    // Makes the view (light grey until a video launches) and a player bound to it.
    explicit VideoViewController(Platform& platform);

    VideoView& view() { return *view_; }
    MediaPlayer& player() { return *player_; }

    WebViewController* webViewController = nullptr;  // the player page's, set by the player screen

    static constexpr Color kIdleBackColor{0.93, 0.93, 0.93, 1.0};

  private:
    void awakeFromNib();

    std::unique_ptr<VideoView> view_;
    std::unique_ptr<MediaPlayer> player_;
};

}  // namespace lirra
