// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop's media controls over the app and fake platform services: what they show of the
// player (microseconds, the 0..1 volume), what each action does, which changes they are told of.
#include "AppFixture.h"
#include "app/MediaControlsController.h"

namespace lirra {
namespace {

using Action = std::function<void(MediaControlsController&)>;

class MediaControlsTest : public testing::AppTest, public MediaControls {
  protected:
    MediaControlsTest() { controller_.setControls(this); }
    void changed(unsigned changes) override { told_ += QString::number(changes) + " "; }
    void seeked(std::int64_t us) override { done_ << "seeked " + QString::number(us); }

    // A 20 s video playing at 3 s, at full volume; nothing told yet (`effects` clears the rest).
    void play(const QString& name = "Film.Night.mkv") {
        homePageReady();
        launch(makeVideo(name));
        player().length_ = 20000;
        player().time_ = 3000;
        player().volume_ = 200;
        player().playing_ = true;
        stateChanged(kMediaPlayerStatePlaying);
        told_.clear();
    }
    // What an action did, as one line: the player's calls, the seeks told, the page's events.
    QString effects(const Action& action) {
        done_.clear();
        player().calls_.clear();
        page().asyncScripts_.clear();
        action(controller_);
        QStringList calls;
        for (const std::string& call : player().calls_) calls << QString::fromStdString(call);
        return (calls + done_ + events(page())).join(", ");
    }

    MediaControlsController controller_{{
        .state = app_->state(),
        .screens = *app_,
        .application = platform_.application_,
        .center = center(),
        .player = [this] { return app_->player(); },
        .playerPage = [this] { return app_->playerWebView(); },
        .playerShown = [this] { return playerShown(); },
        .raise = [this] { done_ << "raise"; },
        .open = [this](const QString& location) { done_ << "open " + location; },
    }};
    QString told_;
    QStringList done_;
};

TEST_F(MediaControlsTest, ShowThePlayingVideoInMicrosecondsAndTheVolumeFromZeroToOne) {
    EXPECT_EQ(controller_.state(), MediaControlsState{});
    play();
    const MediaControlsState shown = controller_.state();
    EXPECT_EQ(shown, (MediaControlsState{
                         PlaybackStatus::Playing, true, "/app/lirra/Lirra/video/1", "Film.Night",
                         QUrl::fromLocalFile(dir_.filePath("Film.Night.mkv")).toString(), 20000000,
                         1.0, 1.0}));
    EXPECT_EQ(controller_.positionUs(), 3000000);

    // Told once per change, and only of what changed; the volume shown is 0 while muted. The
    // error is told as it comes; the return home that follows shows no player.
    const std::vector<std::tuple<std::function<void()>, QString, double>> changes = {
        {[] {}, "", 1.0},
        {[this] { player().volume_ = 50; }, "4 ", 0.25},
        {[this] { player().muted_ = true; }, "4 ", 0.0},
        {[this] { player().rate_ = 0.75f; }, "16 ", 0.0},
        {[this] { player().length_ = 21000; }, "2 ", 0.0},
        {[this] { stateChanged(kMediaPlayerStatePaused); }, "1 ", 0.0},
        {[this] { stateChanged(kMediaPlayerStateBuffering); }, "", 0.0},
        {[this] { stateChanged(kMediaPlayerStateError); }, "11 20 ", 1.0},
    };
    for (const auto& [change, told, volume] : changes) {
        told_.clear();
        change();
        controller_.refresh();
        EXPECT_EQ(std::pair(told_, controller_.state().volume), std::pair(told, volume));
    }
    play("b.mkv");
    EXPECT_EQ(controller_.state().trackId, "/app/lirra/Lirra/video/2") << "each launch a track";
}

TEST_F(MediaControlsTest, ActOnThePlayerTheScreensAndThePage) {
    const auto at = [](std::int64_t us) -> Action {
        return [us](auto& c) { c.setPosition(c.state().trackId, us); };
    };
    const auto volume = [](double level) -> Action {
        return [level](auto& c) { c.setVolume(level); };
    };
    const std::vector<std::pair<Action, QString>> cases = {
        {[](auto& c) { c.playPause(); }, "pause()"},
        {[](auto& c) { c.pause(); }, "pause()"},
        {[](auto& c) { c.seek(2500000); }, "setTime(5500), seeked 5500000"},
        {[](auto& c) { c.seek(-10000000); }, "setTime(0), seeked 0"},
        {[](auto& c) { c.seek(INT64_MAX); }, "setTime(20000), seeked 20000000"},
        {at(7500000), "setTime(7500), seeked 7500000"},
        {at(20000000), "setTime(20000), seeked 20000000"},
        {at(20000001), ""},
        {at(-1), ""},
        {[](auto& c) { c.setPosition("/app/lirra/Lirra/video/0", 0); }, ""},
        {volume(0.5), "setMute(false), setVolume(100), 'nativeApp:volumeChanged', 100"},
        {volume(1.7), "setMute(false), setVolume(200), 'nativeApp:volumeChanged', 200"},
        {volume(-1), "setMute(false), setVolume(0), 'nativeApp:volumeChanged', 0"},
        {volume(std::nan("")), ""},
        {[](auto& c) { c.next(); }, "'nativeApp:nextLine'"},
        {[](auto& c) { c.previous(); }, "'nativeApp:previousLine'"},
    };
    for (const auto& [action, done] : cases) {
        play();
        EXPECT_EQ(effects(action), done);
    }
    player().playing_ = false;
    stateChanged(kMediaPlayerStatePaused);
    EXPECT_EQ(effects([](auto& c) { c.playPause(); }), "play()");
    effects([](auto& c) { c.stop(); });
    EXPECT_FALSE(playerShown()) << "Stop goes home, as the page's Stop does";
    EXPECT_EQ(effects([](auto& c) {
                  c.play();
                  c.playPause();
                  c.next();
                  c.seek(1000000);
                  c.setVolume(0.2);
                  c.raise();
                  c.openUri("file:///films/A%20B.mkv");
                  c.openUri("file://nas/films/c.mkv");
                  c.quit();
              }),
              "raise, open /films/A B.mkv")
        << "no video: nothing to act on but the app";
    EXPECT_EQ(platform_.application_.terminations_, 1);
}

}  // namespace
}  // namespace lirra
