// SPDX-License-Identifier: GPL-3.0-or-later
// What the page bridge reaches of the application. The app fills one of these and keeps every
// referenced object alive as long as the bridge and the replies still waiting on a Deferred.
#pragma once

#include "platform/Application.h"
#include "platform/MainThread.h"
#include "platform/MediaPlayer.h"
#include "platform/WebView.h"
#include "platform/Window.h"
#include "state/AppConfig.h"
#include "state/AppState.h"
#include "state/Screens.h"
#include "state/VideoIntake.h"

namespace lirra {

// The screens' parts the bridge acts on, implemented by the app. They are asked afresh for every
// command or reply, because the player screen (and with it the player and the player page's
// view) is made only when the first video launches; each may return nullptr until then.
class BridgeViews {
  public:
    virtual ~BridgeViews() = default;
    virtual MediaPlayer* player() = 0;
    virtual WebView* homeWebView() = 0;    // gets drops once the home page is ready
    virtual WebView* playerWebView() = 0;  // receives every reply
    // While the launched video waits, paused, for its player page, the page's "Play" and
    // "Pause" decide whether it plays when the wait ends: true when a wait took the wish.
    virtual bool setPlaysAfterPageWait(bool plays) = 0;
};

struct BridgeContext {
    AppState& state;
    const AppConfig& config;   // baseUrl: where the registration page lives
    Application& application;  // the default browser
    MainThread& mainThread;    // commands run here, after the navigation has been refused
    Window& mainWindow;        // full-screen state and the two fixed sizes
    Screens& screens;          // "Stop" returns home
    VideoIntake& intake;       // a file waiting for the home page to be ready
    BridgeViews& views;
};

}  // namespace lirra
