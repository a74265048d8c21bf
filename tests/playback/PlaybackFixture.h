// Launcher and relay wired to fakes: a main window, a player, its video view and the player page
// (each of the last three can be taken away), the loader, and screens that behave like the app's:
// going home clears the fitted flag and stops the player.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <vector>

#include "fakes/FakeApplication.h"
#include "fakes/FakeMediaPlayer.h"
#include "fakes/FakeViews.h"
#include "fakes/FakeWebView.h"
#include "fakes/FakeWindow.h"
#include "playback/PlaybackLauncher.h"
#include "playback/PlayerEventRelay.h"
#include "promise/Promise.h"

// Readable failures for texts (QString lives in the global namespace).
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace lirra::testing {

class AppLikeScreens : public Screens {
  public:
    AppLikeScreens(AppState& state, MediaPlayer& player) : state_(state), player_(player) {}
    void loadHomeScreen() override {
        ++homeScreenLoads;
        state_.playbackStarted = false;
        player_.stop();
    }
    void loadPlayerScreen() override {
        ++playerScreenLoads;
        if (onLoadPlayerScreen) onLoadPlayerScreen();
    }
    int homeScreenLoads = 0;
    int playerScreenLoads = 0;
    std::function<void()> onLoadPlayerScreen;

  private:
    AppState& state_;
    MediaPlayer& player_;
};

class PlaybackTest : public ::testing::Test {
  protected:
    PlaybackTest() {
        config.baseUrl = QStringLiteral("http://127.0.0.1:8123/");
        config.supportEmail = QStringLiteral("help@example.org");
        state.videoLocation = VideoLocation::fromText(QStringLiteral("/videos/clip.mkv"));
        state.videoId = 42;
    }

    // The player as the engine leaves it once a 1280x720 video with two audio tracks plays.
    void playVideo() {
        player.state_ = kMediaPlayerStatePlaying;
        player.tracks_ = {{QStringLiteral("audio"), 0, 0}, {QStringLiteral("video"), 1280, 720}};
        player.time_ = 750;
        player.length_ = 10400;
        player.volume_ = 200;
        player.rate_ = 1.0f;
        player.audioTrackNames_ = {QStringLiteral("English"), QStringLiteral("French")};
        player.audioTrackIndexes_ = {1, 2};
        player.currentAudioTrackIndex_ = 1;
    }

    void stateChanged(int newState) {
        player.state_ = newState;
        relay.mediaPlayerStateChanged();
    }

    static QString timeUpdate(const char* argument) {
        return QStringLiteral("if(typeof $ != 'undefined'){ $(window).trigger('timeUpdate', %1); }")
            .arg(QString::fromLatin1(argument));
    }

    AppState state;
    AppConfig config;
    fakes::FakeApplication application;
    fakes::FakeMediaPlayer player;
    AppLikeScreens screens{state, player};
    fakes::FakeWindow window;
    fakes::FakeVideoView videoView;
    fakes::FakeWebView playerView;
    bool hasPlayer = true;
    bool hasVideoView = true;
    bool hasPlayerView = true;
    int loaderHides = 0;

    PlaybackContext context{state,
                            config,
                            application,
                            screens,
                            window,
                            [this] { return hasPlayer ? &player : nullptr; },
                            [this] { return hasVideoView ? &videoView : nullptr; },
                            [this] { return hasPlayerView ? &playerView : nullptr; },
                            [this] { ++loaderHides; }};
    PlaybackLauncher launcher{context};
    PlayerEventRelay relay{context, launcher};
};

}  // namespace lirra::testing
