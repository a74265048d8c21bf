// The player on real libmpv with media generated for the run, drawn by the Qt Quick video item.
#include <QtGui/qguiapplication_platform.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QGuiApplication>
#include <algorithm>
#include <iterator>
#include <memory>
#include <string>

#include "PlayerRig.h"
#include "TestMedia.h"
#include "platform/Log.h"
#include "platform/mpv/MpvEngineOptions.h"
#include "platform/qt/quickvideo/WindowSystemDisplay.h"

namespace lirra::test {
namespace {

class MpvMediaPlayerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (testMedia().dir.isEmpty()) GTEST_SKIP() << "ffmpeg could not make the test media";
    }

    static Media path(const QString& location) { return {Media::Kind::Path, location}; }

    static double engineNumber(PlayerRig& rig, const char* property) {
        const auto text = rig.engine(property);
        return text ? std::stod(*text) : -1;
    }
};

TEST_F(MpvMediaPlayerTest, PlaysARelativePathWithADashAndASpaceToItsEndAndRestsPausedThere) {
    const QString previous = QDir::currentPath();
    QDir::setCurrent(testMedia().dir);
    PlayerRig rig(/*showFirst=*/false);
    rig.view().setBackColor({0.93, 0.93, 0.93, 1});
    rig.player().setMedia(path(testMedia().clipName));
    rig.player().setVolume(200);
    rig.player().play();  // before the view has a window: the load waits for the render context
    rig.show();
    QDir::setCurrent(previous);

    ASSERT_TRUE(waitFor([&] { return rig.restsAtEnd(); })) << "state " << rig.player().state();
    EXPECT_FALSE(rig.reached(kMediaPlayerStateError) || rig.reached(kMediaPlayerStateStopped));
    EXPECT_TRUE(std::any_of(rig.states.begin(), rig.states.end(), [](const StateRecord& r) {
        return r.state == kMediaPlayerStatePlaying && r.isPlaying;
    }));

    // At the end: paused, not playing, and in whole seconds at the length (3 s).
    const StateRecord& last = rig.states.back();
    EXPECT_EQ(last.state, kMediaPlayerStatePaused);
    EXPECT_FALSE(last.isPlaying);
    ASSERT_TRUE(last.length && last.time);
    EXPECT_NEAR(*last.length, 3000, 100);
    EXPECT_GE(*last.time / 1000, *last.length / 1000);
    EXPECT_TRUE(rig.allOnMainThread);
    EXPECT_TRUE(rig.allFromPlayer);

    // The last frame stays on screen, upright: red above, blue below.
    EXPECT_TRUE(waitFor([&] { return rig.showsClip(); }, 3000));

    // Time changes: at most ten a second (25 frames a second come) and a few told at once,
    // the last at the end.
    EXPECT_GE(rig.times.size(), 10u);
    EXPECT_LE(rig.times.size(), 40u);
    EXPECT_GE(rig.times.back().value_or(-1), *last.length - 1000);
}

// One playing clip: its tracks, the engine's own subtitles kept off, volume, mute and rate on
// the engine's scale, one line saying which decoder plays, and stop.
TEST_F(MpvMediaPlayerTest, ListsTracksControlsTheEngineAndStops) {
    std::vector<std::string> lines;
    const LogSink previous = setLogSink([&](const std::string& line) { lines.push_back(line); });
    const std::shared_ptr<void> restore(nullptr, [&](void*) { setLogSink(previous); });
    PlayerRig rig;
    ASSERT_TRUE(rig.playClip(testMedia().clip));
    MpvMediaPlayer& player = rig.player();
    EXPECT_EQ(rig.engine("hwdec"), effectiveHwdec(std::nullopt, hasGpuDevice(), nullptr));

    // Untitled tracks are named by their language, else by their number.
    EXPECT_EQ(player.audioTrackNames(), (QStringList{"English", "French", "ger", "Track 4"}));
    EXPECT_EQ(player.audioTrackIndexes(), (QVector<int>{1, 2, 3, 4}));
    EXPECT_EQ(player.currentAudioTrackIndex(), 1);
    player.setCurrentAudioTrackIndex(2);
    EXPECT_TRUE(waitFor([&] { return rig.engine("aid") == "2"; }));
    EXPECT_EQ(player.currentAudioTrackIndex(), 2);
    QStringList tracks;
    for (const TrackInformation& track : player.tracksInformation())
        tracks.append(
            QStringLiteral("%1 %2x%3").arg(track.type).arg(track.width).arg(track.height));
    tracks.sort();
    EXPECT_EQ(tracks, QStringList({"audio 0x0", "audio 0x0", "audio 0x0", "audio 0x0", "text 0x0",
                                   "video 1280x720"}));

    // The file has a subtitle stream, yet the engine shows none until told to.
    EXPECT_EQ(player.currentVideoSubTitleIndex(), -1);
    EXPECT_EQ(rig.engine("sid"), "no");
    for (int index : {1, -1}) {
        player.setCurrentVideoSubTitleIndex(index);
        EXPECT_TRUE(waitFor([&] { return rig.engine("sid") == (index < 0 ? "no" : "1"); }));
        EXPECT_EQ(player.currentVideoSubTitleIndex(), index);
    }

    const struct {
        int set, expected;
        double engine;
    } volumes[] = {{200, 200, 100}, {100, 100, 50}, {250, 200, 100}, {-5, 0, 0}, {37, 37, 18.5}};
    for (const auto& v : volumes) {
        player.setVolume(v.set);
        EXPECT_EQ(player.volume(), v.expected) << "set " << v.set;
        EXPECT_TRUE(waitFor([&] { return engineNumber(rig, "volume") == v.engine; }))
            << "set " << v.set << ", engine " << engineNumber(rig, "volume");
    }
    for (bool mute : {true, false}) {
        player.setMute(mute);
        EXPECT_EQ(player.isMuted(), mute);
        EXPECT_TRUE(waitFor([&] { return rig.engine("mute") == (mute ? "yes" : "no"); }));
    }
    for (float rate : {0.5f, 2.0f, -1.0f}) {  // -1 is not a speed: ignored
        player.setRate(rate);
        EXPECT_FLOAT_EQ(player.rate(), rate > 0 ? rate : 2.0f);
        EXPECT_TRUE(waitFor([&] { return engineNumber(rig, "speed") == player.rate(); }));
    }

    // The view's settings reach the engine.
    rig.view().setBackColor({1, 0.2, 0, 1});
    rig.view().setFillScreen(true);
    EXPECT_TRUE(waitFor([&] { return rig.engine("background") == "#FFFF3300"; }))
        << rig.engine("background").value_or("(none)");
    EXPECT_TRUE(waitFor([&] { return engineNumber(rig, "panscan") == 1; }));

    // One line says which decoder plays; without a GPU none is probed (the engine's hwdec
    // above), so software decodes.
    std::vector<std::string> told;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(told),
                 [](const std::string& l) { return l.rfind("Video decoding: ", 0) == 0; });
    ASSERT_EQ(told.size(), 1u);
    EXPECT_TRUE(hasGpuDevice() || told[0] == "Video decoding: software") << told[0];

    // Stop unloads: nothing is known any more.
    player.stop();
    EXPECT_TRUE(waitFor([&] { return rig.states.back().state == kMediaPlayerStateStopped; }));
    EXPECT_FALSE(player.isPlaying());
    EXPECT_FALSE(player.time().has_value());
    EXPECT_FALSE(player.length().has_value());
    EXPECT_TRUE(player.audioTrackNames().isEmpty());
    EXPECT_TRUE(waitFor([&] { return rig.engine("path") == std::nullopt; }));
    // play() after stop() starts the media again from its beginning (the position comes a
    // moment after the state).
    player.play();
    EXPECT_TRUE(waitFor(
        [&] { return player.state() == kMediaPlayerStatePlaying && player.time().has_value(); }));
    EXPECT_LT(player.time().value_or(-1), 1500);
}

TEST_F(MpvMediaPlayerTest, OpensPausedOnItsFirstFrameSeeksAndPlaysWhenTold) {
    PlayerRig rig;
    MpvMediaPlayer& player = rig.player();
    rig.view().setBackColor({0.93, 0.93, 0.93, 1});
    player.setMedia(path(testMedia().clip));
    player.openPaused();
    ASSERT_TRUE(waitFor([&] {
        return player.state() == kMediaPlayerStatePaused && player.time().has_value();
    })) << "state "
        << player.state();
    // The first frame is on screen, and it stays the first: the time is that frame's (a file's
    // first frame may carry a few milliseconds of its own).
    EXPECT_TRUE(waitFor([&] { return rig.showsClip(); }, 3000));
    waitFor([] { return false; }, 600);
    EXPECT_LT(player.time().value_or(-1), 50);
    EXPECT_LT(rig.times.back().value_or(-1), 50);
    EXPECT_NEAR(player.length().value_or(0), 3000, 100);  // the page's values are known
    EXPECT_FALSE(rig.reached(kMediaPlayerStatePlaying));

    // A seek while paused is told at once, to the millisecond asked (the engine is told
    // seconds), and play resumes there.
    const std::size_t before = rig.times.size();
    player.setTime(1050);
    ASSERT_TRUE(waitFor([&] {
        return rig.times.size() > before && std::abs(rig.times.back().value_or(0) - 1050) <= 45;
    })) << "time "
        << player.time().value_or(-1);
    EXPECT_EQ(player.state(), kMediaPlayerStatePaused);
    player.play();
    ASSERT_TRUE(waitFor([&] { return player.isPlaying(); }));
    EXPECT_GE(player.time().value_or(-1), 1000);
    EXPECT_LT(player.time().value_or(-1), 2000);

    // The next media plays at once again; a seek while it opens is applied once loaded.
    player.setMedia(path(testMedia().clip));
    player.play();
    player.setTime(1500);
    EXPECT_TRUE(waitFor([&] {
        return player.state() == kMediaPlayerStatePlaying && player.time().value_or(0) >= 1400;
    }));
}

// A file that is not a video, and no location: the error state. The journey
// ABrokenFileIsLookedUpThenAlertsAndGoesHome shows what follows.
TEST_F(MpvMediaPlayerTest, MediaThatCannotBePlayedEndsInTheErrorState) {
    for (const QString& location : {testMedia().missing, QString()}) {
        PlayerRig rig;
        rig.player().setMedia(path(location));
        rig.player().play();
        EXPECT_TRUE(waitFor([&] { return rig.reached(kMediaPlayerStateError); }))
            << location.toStdString();
        EXPECT_FALSE(rig.player().isPlaying());
        EXPECT_FALSE(rig.player().length().has_value());
        EXPECT_FALSE(rig.reached(kMediaPlayerStatePlaying));
    }
}

TEST_F(MpvMediaPlayerTest, SoundWithoutPicturePlaysOnTheBackColourToItsEnd) {
    PlayerRig rig;
    rig.view().setBackColor({0.93, 0.93, 0.93, 1});
    rig.player().setMedia(path(testMedia().audioOnly));
    rig.player().play();
    ASSERT_TRUE(waitFor([&] { return rig.restsAtEnd(); }));
    EXPECT_TRUE(rig.reached(kMediaPlayerStatePlaying));
    for (const TrackInformation& track : rig.player().tracksInformation())
        EXPECT_NE(track.type, "video");
    EXPECT_EQ(rig.player().audioTrackIndexes(), (QVector<int>{1}));
    const QRgb pixel = rig.pixelAt(0.5);
    for (int component : {qRed(pixel), qGreen(pixel), qBlue(pixel)}) EXPECT_NEAR(component, 237, 2);
}

// The display the render context is made with is the one Qt's windows live on.
TEST(WindowSystemDisplayTest, IsTheApplicationsX11Display) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11)
        GTEST_SKIP() << "not on X11 (" << QGuiApplication::platformName().toStdString() << ")";
    WindowSystemDisplay display;
    EXPECT_EQ(display.display().kind, NativeDisplay::Kind::X11);
    ASSERT_NE(x11->display(), nullptr);
    EXPECT_EQ(display.display().handle, static_cast<void*>(x11->display()));
}

}  // namespace
}  // namespace lirra::test
