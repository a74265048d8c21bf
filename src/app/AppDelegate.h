// SPDX-License-Identifier: GPL-3.0-or-later
// The application controller: owns the application state, the two screens and the subsystems'
// handlers, and wires them to each other and to the program's notifications. It is the
// composition root; the work itself lives in the screens and the subsystems.
#pragma once

#include <QString>

#include "app/FileMenuController.h"
#include "app/HomeScreen.h"
#include "app/Intake.h"
#include "app/LDragReceiverWebView.h"
#include "app/PlayerScreen.h"
#include "bridge/PageBridge.h"
#include "hash/OSHashAlgorithm.h"
#include "platform/Platform.h"
#include "playback/PlaybackContext.h"
#include "playback/PlaybackLauncher.h"
#include "playback/PlayerEventRelay.h"
#include "service/SubtitleLookup.h"
#include "state/AppConfig.h"
#include "state/AppState.h"
#include "state/Screens.h"
#include "state/VideoIntake.h"

namespace lirra {

class AppDelegate : public Screens, public VideoIntake, public BridgeViews {
  public:
    AppDelegate(Platform& platform, AppConfig config);
    ~AppDelegate() override;
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    // Called once, when the event loop is about to run.
    void applicationDidFinishLaunching();
    // The desktop (or a second `lirra FILE`) asks us to open a file.
    bool applicationOpenFile(const QString& file);

    void loadHomeScreen() override;
    void loadPlayerScreen() override;
    // Decides once whether the location is a file or a URL; everything after carries that.
    void processVideoAndLaunch(const QString& location) override;

    // What the bridge acts on; all empty until their screen is first built.
    MediaPlayer* player() override;
    WebView* homeWebView() override;
    WebView* playerWebView() override;
    bool setPlaysAfterPageWait(bool plays) override;

    // Told the folder of every local video taken in (the built-in service looks there for
    // subtitle files lying beside the video), before its lookup is sent.
    void setVideoFolderObserver(std::function<void(const QString&)> observer) {
        videoFolderObserver_ = std::move(observer);
    }

    void setInterfaceLanguageObserver(std::function<void(const QString&)> observer) {
        intake_.setInterfaceLanguageObserver(std::move(observer));
    }

    AppState& state() { return state_; }
    const AppConfig& config() const { return config_; }
    HomeScreen& homeScreen() { return homeScreen_; }
    PlayerScreen& playerScreen() { return playerScreen_; }
    PageBridge& bridge() { return bridge_; }
    FileMenuController& fileMenuController() { return fileMenuController_; }
    LDragReceiverWebView& dragReceiver() { return dragReceiver_; }

  private:
    // Processes a file the desktop asked to open that waits for the home page's readiness.
    void processWaitingFile();
    // The loader's Cancel: the video's work is dropped and the home screen comes back.
    void cancelVideo();
    // Nothing until the home screen is first built.
    void hideLoader();

    Platform& platform_;
    AppState state_;
    AppConfig config_;
    OSHashAlgorithm hash_;

    PageBridge bridge_;
    Intake intake_;
    LDragReceiverWebView dragReceiver_;
    PlayerScreen playerScreen_;
    HomeScreen homeScreen_;
    FileMenuController fileMenuController_;
    SubtitleLookup lookup_;
    PlaybackContext playbackContext_;
    PlaybackLauncher launcher_;
    PlayerEventRelay relay_;

    std::function<void(const QString&)> videoFolderObserver_;
    NotificationCenter::ObserverId launchObserver_ = 0;
    NotificationCenter::ObserverId hashObserver_ = 0;
};

}  // namespace lirra
