// The desktop's media controls over the application controller and fake platform services: what
// they show of the player (microseconds, the 0..1 volume), what each action does to the player,
// the screens and the player page, and which changes they are told of.
#include <tuple>

#include "AppFixture.h"
#include "app/MediaControlsController.h"

namespace lirra {
namespace {

using Change = MediaControls;

class RecordingControls : public MediaControls {
  public:
    void changed(unsigned changes) override { changes_.push_back(changes); }
    void seeked(std::int64_t positionUs) override { seeks_.push_back(positionUs); }
    std::vector<unsigned> changes_;
    std::vector<std::int64_t> seeks_;
};

class MediaControlsTest : public testing::AppTest {
  protected:
    MediaControlsTest() { controller_.setControls(&controls_); }

    // A 20 s video playing at 3 s, at full volume.
    void play() {
        homePageReady();
        launch(makeVideo("Film.Night.mkv"));
        player().length_ = 20000;
        player().time_ = 3000;
        player().volume_ = 200;
        player().playing_ = true;
        stateChanged(kMediaPlayerStatePlaying);
        player().calls_.clear();
        page().asyncScripts_.clear();
        controls_.changes_.clear();
    }
    QString lastPageScript() {
        return page().asyncScripts_.empty() ? "" : page().asyncScripts_.back();
    }

    RecordingControls controls_;
    MediaControlsController controller_{{
        .state = app_->state(),
        .screens = *app_,
        .application = platform_.application_,
        .center = center(),
        .player = [this] { return app_->player(); },
        .playerPage = [this] { return app_->playerWebView(); },
        .playerShown = [this] { return playerShown(); },
        .raise = [this] { ++raises_; },
        .open = [this](const QString& location) { opened_ << location; },
    }};
    int raises_ = 0;
    QStringList opened_;
};

TEST_F(MediaControlsTest, ShowThePlayingVideoInMicrosecondsAndTheVolumeFromZeroToOne) {
    EXPECT_EQ(controller_.state(), MediaControlsState{});
    play();
    const MediaControlsState shown = controller_.state();
    EXPECT_EQ(shown.status, PlaybackStatus::Playing);
    EXPECT_TRUE(shown.hasVideo);
    EXPECT_EQ(shown.trackId, "/app/lirra/Lirra/video/1");
    EXPECT_EQ(shown.title, "Film.Night");
    EXPECT_EQ(shown.url, QUrl::fromLocalFile(dir_.filePath("Film.Night.mkv")).toString());
    EXPECT_EQ(shown.lengthUs, 20000000);
    EXPECT_EQ(shown.volume, 1.0);
    EXPECT_EQ(controller_.positionUs(), 3000000);

    // Told once per change, and only of what changed; the volume shown is 0 while muted.
    const std::vector<std::tuple<std::function<void()>, std::vector<unsigned>, double>> changes = {
        {[] {}, {}, 1.0},
        {[this] { player().volume_ = 50; }, {Change::kVolume}, 0.25},
        {[this] { player().muted_ = true; }, {Change::kVolume}, 0.0},
        {[this] { player().rate_ = 0.75f; }, {Change::kRate}, 0.0},
        {[this] { player().length_ = 21000; }, {Change::kTrack}, 0.0},
        {[this] { stateChanged(kMediaPlayerStatePaused); }, {Change::kStatus}, 0.0},
        {[this] { stateChanged(kMediaPlayerStateBuffering); }, {}, 0.0},
        // The error is told as it comes; the return home that follows shows no player.
        {[this] { stateChanged(kMediaPlayerStateError); },
         {Change::kStatus | Change::kTrack | Change::kAbilities, Change::kVolume | Change::kRate},
         1.0},
    };
    for (const auto& [change, told, volume] : changes) {
        controls_.changes_.clear();
        change();
        controller_.refresh();
        EXPECT_EQ(controls_.changes_, told);
        EXPECT_EQ(controller_.state().volume, volume);
    }

    // The next video is another track; back home there is none.
    launch(makeVideo("b.mkv"), 43);
    stateChanged(kMediaPlayerStatePlaying);
    EXPECT_EQ(controller_.state().trackId, "/app/lirra/Lirra/video/2");
    app_->loadHomeScreen();
    EXPECT_EQ(controller_.state().status, PlaybackStatus::Stopped);
    EXPECT_FALSE(controller_.state().hasVideo);
}

TEST_F(MediaControlsTest, ActOnThePlayerTheScreensAndThePage) {
    struct Case {
        std::function<void(MediaControlsController&)> action;
        std::vector<std::string> calls;
        std::vector<std::int64_t> seeks;
        const char* script;  // the page event sent to the player page, if any
    };
    const std::vector<Case> cases = {
        {[](auto& c) { c.playPause(); }, {"pause()"}, {}, nullptr},
        {[](auto& c) { c.pause(); }, {"pause()"}, {}, nullptr},
        {[](auto& c) { c.seek(2500000); }, {"setTime(5500)"}, {5500000}, nullptr},
        {[](auto& c) { c.seek(-10000000); }, {"setTime(0)"}, {0}, nullptr},
        {[](auto& c) { c.seek(INT64_MAX); }, {"setTime(20000)"}, {20000000}, nullptr},
        {[](auto& c) { c.setPosition(c.state().trackId, 7500000); },
         {"setTime(7500)"},
         {7500000},
         nullptr},
        {[](auto& c) { c.setPosition(c.state().trackId, 20000000); },
         {"setTime(20000)"},
         {20000000},
         nullptr},
        {[](auto& c) { c.setPosition(c.state().trackId, 20000001); }, {}, {}, nullptr},
        {[](auto& c) { c.setPosition(c.state().trackId, -1); }, {}, {}, nullptr},
        {[](auto& c) { c.setPosition("/app/lirra/Lirra/video/0", 0); }, {}, {}, nullptr},
        {[](auto& c) { c.setVolume(0.5); },
         {"setMute(false)", "setVolume(100)"},
         {},
         "$(window).trigger('nativeApp:volumeChanged', 100)"},
        {[](auto& c) { c.setVolume(1.7); },
         {"setMute(false)", "setVolume(200)"},
         {},
         "'nativeApp:volumeChanged', 200)"},
        {[](auto& c) { c.setVolume(-1); },
         {"setMute(false)", "setVolume(0)"},
         {},
         "'nativeApp:volumeChanged', 0)"},
        {[](auto& c) { c.setVolume(std::nan("")); }, {}, {}, nullptr},
        {[](auto& c) { c.next(); }, {}, {}, "$(window).trigger('nativeApp:nextLine')"},
        {[](auto& c) { c.previous(); }, {}, {}, "$(window).trigger('nativeApp:previousLine')"},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        play();
        controls_.seeks_.clear();
        cases[i].action(controller_);
        EXPECT_EQ(player().calls_, cases[i].calls) << "case " << i;
        EXPECT_EQ(controls_.seeks_, cases[i].seeks) << "case " << i;
        if (cases[i].script) {
            EXPECT_TRUE(lastPageScript().contains(cases[i].script))
                << lastPageScript().toStdString();
        } else {
            EXPECT_FALSE(lastPageScript().contains("nativeApp:")) << "case " << i;
        }
    }

    play();
    player().playing_ = false;
    stateChanged(kMediaPlayerStatePaused);
    controller_.playPause();
    EXPECT_EQ(player().calls_, std::vector<std::string>{"play()"});
    controller_.stop();
    EXPECT_FALSE(playerShown()) << "Stop goes home, as the page's Stop does";
    player().calls_.clear();
    for (auto action : {&MediaControlsController::play, &MediaControlsController::playPause,
                        &MediaControlsController::next}) {
        (controller_.*action)();
    }
    controller_.seek(1000000);
    controller_.setVolume(0.2);
    EXPECT_EQ(player().calls_, std::vector<std::string>{}) << "no video: nothing to act on";

    controller_.raise();
    controller_.quit();
    controller_.openUri("file:///films/A%20B.mkv");
    controller_.openUri("file://nas/films/c.mkv");
    EXPECT_EQ(raises_, 1);
    EXPECT_EQ(platform_.application_.terminations_, 1);
    EXPECT_EQ(opened_, QStringList{"/films/A B.mkv"});
}

}  // namespace
}  // namespace lirra
