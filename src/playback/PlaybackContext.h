// SPDX-License-Identifier: GPL-3.0-or-later
// What playback launch and the player event relay need from the application, which owns it all
// and keeps it alive as long as the launcher and the relay.
//
// The three views are asked again on every use, because the player screen (and with it the
// player, the video view and the player page) is made the first time a video is launched; a step
// that needs one does nothing while it answers nullptr. The player page tells its loads on
// `notificationCenter`: the launched video waits for it, paused on its first frame. The app
// observes the player's two notifications and calls PlayerEventRelay from its observers.
#pragma once

#include <functional>

#include "platform/Application.h"
#include "platform/MediaPlayer.h"
#include "platform/NotificationCenter.h"
#include "platform/WebView.h"
#include "platform/Window.h"
#include "state/AppConfig.h"
#include "state/AppState.h"
#include "state/Screens.h"

namespace lirra {

struct PlaybackContext {
    AppState& state;
    AppConfig& config;
    Application& application;
    Screens& screens;
    Window& mainWindow;
    std::function<MediaPlayer*()> player;
    std::function<VideoView*()> videoView;
    std::function<WebView*()> playerWebView;
    std::function<void()> hideLoader;  // of the "Searching subtitles..." loader
    NotificationCenter& notificationCenter;

    MediaPlayer* currentPlayer() const { return player ? player() : nullptr; }
    VideoView* currentVideoView() const { return videoView ? videoView() : nullptr; }
    WebView* currentPlayerWebView() const { return playerWebView ? playerWebView() : nullptr; }
};

}  // namespace lirra
