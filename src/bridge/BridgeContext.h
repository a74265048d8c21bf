// What the page bridge reaches of the application. The app fills one of these and keeps every
// referenced object alive as long as the bridge. The three lookups are called afresh for every
// command or reply, because the player screen (and with it the player and the player page's
// view) is made only when the first video launches; each may return nullptr until then.
#pragma once

#include <functional>

#include "platform/Application.h"
#include "platform/MainThread.h"
#include "platform/MediaPlayer.h"
#include "platform/WebView.h"
#include "platform/Window.h"
#include "state/AppState.h"

namespace lirra {

struct BridgeContext {
    AppState& state;
    const AppConfig& config;   // baseUrl: where the registration page lives
    Application& application;  // the default browser
    MainThread& mainThread;    // commands run here, after the navigation has been refused
    Screens& screens;          // "Stop" returns home
    VideoIntake& intake;       // a file waiting for the home page to be ready
    Window& mainWindow;        // full-screen state and the two fixed sizes

    std::function<MediaPlayer*()> player;
    std::function<WebView*()> homeWebView;    // gets drops once the home page is ready
    std::function<WebView*()> playerWebView;  // receives every reply
};

}  // namespace lirra
