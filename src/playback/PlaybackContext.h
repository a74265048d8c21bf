// What playback launch and the player event relay need from the application, which owns it all.
//
// The app builds one PlaybackContext next to its screens and keeps it alive as long as the
// launcher and the relay. The references are fixed for the life of the process; the four hooks
// are asked again on every use, because the player screen (and with it the player, the video
// view and the player page) is made the first time a video is launched:
//   player         the media player of the video view controller, or nullptr before it exists
//   videoView      the view the player draws into, or nullptr before it exists
//   playerWebView  the player page's web view, or nullptr before it exists
//   hideLoader     hides the "Searching subtitles..." loader of the main window
// notificationCenter, when given, is where the player page's load is told: the launched video
// waits for it (paused on its first frame); without one the video plays at once.
// A hook that is empty or answers nullptr makes the step that needs it do nothing.
// The app observes the player's two notifications and calls PlayerEventRelay from its observers.
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
    std::function<void()> hideLoader;
    NotificationCenter* notificationCenter = nullptr;

    MediaPlayer* currentPlayer() const { return player ? player() : nullptr; }
    VideoView* currentVideoView() const { return videoView ? videoView() : nullptr; }
    WebView* currentPlayerWebView() const { return playerWebView ? playerWebView() : nullptr; }
};

}  // namespace lirra
