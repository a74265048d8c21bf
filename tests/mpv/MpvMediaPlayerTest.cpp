// SPDX-License-Identifier: GPL-3.0-or-later
// The player on real libmpv with media generated for the run, drawn by the Qt Quick video item.
#include <QtGui/qguiapplication_platform.h>
#include <gtest/gtest.h>

#include <QDir>
#include <algorithm>

#include "PlayerRig.h"
#include "bridge/PageBridge.h"
#include "fakes/FakeApplication.h"
#include "fakes/FakeMainThread.h"
#include "fakes/FakeWindow.h"
#include "platform/Log.h"
#include "platform/mpv/MpvEngineOptions.h"
#include "platform/qt/quickvideo/WindowSystemDisplay.h"

namespace lirra::test {
namespace {

Media path(const QString& location) { return {Media::Kind::Path, location}; }
constexpr Color kGrey{0.93, 0.93, 0.93, 1}, kOrange{1, 0.2, 0, 1};
bool isGrey(QRgb pixel) {  // kGrey, 237 of 255
    return std::max({std::abs(qRed(pixel) - 237), std::abs(qGreen(pixel) - 237),
                     std::abs(qBlue(pixel) - 237)}) <= 2;
}

constexpr int kFrameMs = 40;  // the clip runs at 25 frames a second

// The page's bridge with the player behind it; the rest of the app left out.
struct BridgeRig : BridgeViews, Screens, VideoIntake {
    explicit BridgeRig(MediaPlayer& player) : player_(player) {}
    MediaPlayer* player() override { return &player_; }
    WebView* homeWebView() override { return nullptr; }
    WebView* playerWebView() override { return nullptr; }
    bool setPlaysAfterPageWait(bool) override { return false; }
    void loadHomeScreen() override {}
    void loadPlayerScreen() override {}
    void processVideoAndLaunch(const QString&) override {}
    void send(const char* url) {  // as the page's navigation brings it
        const BridgeUrl command = BridgeUrl::fromUrl(QUrl(QString::fromLatin1(url)));
        bridge.handleExecutionRequest(command.name, command.arguments);
    }

    MediaPlayer& player_;
    AppState state;
    const AppConfig config{"http://127.0.0.1:1/"};
    fakes::FakeApplication application;
    fakes::FakeMainThread mainThread;
    fakes::FakeWindow window;
    PageBridge bridge{{state, config, application, mainThread, window, *this, *this, *this}};
};

class MpvMediaPlayerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (testMedia().dir.isEmpty()) GTEST_SKIP() << "ffmpeg could not make the test media";
    }
};

// Told to play before the view has a window (the load waits for the render context), then more.
TEST_F(MpvMediaPlayerTest, PlaysOpensSeeksAndFailsAsTold) {
    const QString previous = QDir::currentPath();
    QDir::setCurrent(testMedia().dir);
    PlayerRig rig(/*showFirst=*/false);
    MpvMediaPlayer& p = rig.player();
    rig.view().setBackColor(kGrey);
    p.setMedia(path(testMedia().clipName));  // relative, with a dash and a space
    p.setVolume(200);
    p.play();
    rig.show();
    QDir::setCurrent(previous);
    ASSERT_TRUE(runEventLoopUntil([&] { return rig.restsAtEnd(); })) << "state " << p.state();
    EXPECT_FALSE(rig.reached(kMediaPlayerStateError) || rig.reached(kMediaPlayerStateStopped));
    EXPECT_TRUE(rig.reached(kMediaPlayerStatePlaying));
    // At the end: paused, and in whole seconds at the length (3 s), the last time told too.
    const PlayerRig::State last = rig.states.back();
    EXPECT_TRUE(last.state == kMediaPlayerStatePaused && !last.isPlaying);
    EXPECT_NEAR(last.length.value_or(0), 3000, 100);
    EXPECT_GE(last.time.value_or(-1) / 1000, last.length.value_or(0) / 1000);
    EXPECT_TRUE(rig.allOnMainThreadFromPlayer);
    EXPECT_GE(rig.times.back().value_or(-1), *last.length - 1000);

    std::size_t told = 0;
    const bool ran = runSteps({
        {"the last frame stays on screen, upright", {}, [&] { return rig.showsClip(); }},
        // A file's first frame may carry a few milliseconds of its own.
        {"opened paused, the first frame shows",
         [&] { rig.states.clear(), p.setMedia(path(testMedia().clip)), p.openPaused(); },
         [&] { return p.state() == kMediaPlayerStatePaused && p.time() && rig.showsClip(); }},
        {"and stays the first", [] { runEventLoopFor(std::chrono::milliseconds(600)); },
         [&] { return p.time() < 50 && rig.times.back() < 50; }},
        {"the page's values are known, and it did not play", [&] { told = rig.times.size(); },
         [&] {
             return std::abs(p.length().value_or(0) - 3000) <= 100 &&
                    !rig.reached(kMediaPlayerStatePlaying);
         }},
        {"a seek while paused is told at once, to the millisecond asked (mpv is told seconds)",
         [&] { p.setTime(1050); },
         [&] {
             return rig.times.size() > told &&
                    std::abs(rig.times.back().value_or(0) - 1050) <= 45 &&
                    p.state() == kMediaPlayerStatePaused;
         }},
        {"play goes on from there", [&] { p.play(); },
         [&] { return p.isPlaying() && p.time() >= 1000 && p.time() < 2000; }},
        {"the next media plays at once, a seek while it opens applied once it is loaded",
         [&] { p.setMedia(path(testMedia().clip)), p.play(), p.setTime(1500); },
         [&] { return p.state() == kMediaPlayerStatePlaying && p.time() >= 1400; }},
        {"no location ends in the error state",
         [&] { rig.states.clear(), p.setMedia(path("")), p.play(); },
         [&] { return rig.reached(kMediaPlayerStateError) && !p.isPlaying(); }},
        {"so does a missing file",
         [&] { rig.states.clear(), p.setMedia(path(testMedia().missing)), p.play(); },
         [&] { return rig.reached(kMediaPlayerStateError) && !p.isPlaying() && !p.length(); }},
        // Its last frame starts before its end, yet the end is told with the media's length.
        {"a picture without sound rests at its end",
         [&] { rig.states.clear(), p.setMedia(path(testMedia().pictureOnly)), p.play(); },
         [&] { return rig.restsAtEnd() && rig.states.back().time == rig.states.back().length; }},
        {"sound without picture plays to its end on the back colour, its cover left alone",
         [&] { rig.states.clear(), p.setMedia(path(testMedia().audioOnly)), p.play(); },
         [&] {
             const auto tracks = p.tracksInformation();
             return rig.restsAtEnd() && rig.reached(kMediaPlayerStatePlaying) &&
                    p.audioTrackIndexes() == QVector<int>{1} && tracks.size() == 1 &&
                    tracks[0].type == "audio" && isGrey(rig.pixelAt(0.5));
         }},
    });
    EXPECT_TRUE(ran) << "state " << p.state() << ", time " << p.time().value_or(-1)
                     << ", rested at end " << rig.restsAtEnd() << ", tracks "
                     << p.tracksInformation().size() << ", grey " << isGrey(rig.pixelAt(0.5));
}

// The engine's own subtitles kept off, and the file beside the clip not loaded.
TEST_F(MpvMediaPlayerTest, ListsTracksControlsTheEngineStopsAndSeeksToTheFrameAsked) {
    std::vector<std::string> lines;
    const LogSink previous = setLogSink([&](const std::string& line) { lines.push_back(line); });
    const std::shared_ptr<void> restore(nullptr, [&](void*) { setLogSink(previous); });
    PlayerRig rig;
    MpvMediaPlayer& p = rig.player();
    ASSERT_TRUE(rig.playClip(testMedia().clip));
    EXPECT_EQ(rig.engine("hwdec"), effectiveHwdec(std::nullopt, hasGpuDevice(), nullptr));
    // Untitled tracks are named by their language, else by their number.
    EXPECT_EQ(p.audioTrackNames(), (QStringList{"English", "French", "ger", "Track 4"}));
    EXPECT_EQ(p.audioTrackIndexes(), (QVector<int>{1, 2, 3, 4}));
    EXPECT_EQ(p.currentAudioTrackIndex(), 1);
    QStringList tracks;
    for (const TrackInformation& track : p.tracksInformation())
        tracks << QString("%1 %2x%3").arg(track.type).arg(track.width).arg(track.height);
    tracks.sort();
    EXPECT_EQ(tracks, QStringList({"audio 0x0", "audio 0x0", "audio 0x0", "audio 0x0", "text 0x0",
                                   "video 1280x720"}));
    EXPECT_EQ(p.currentVideoSubTitleIndex(), -1);
    EXPECT_EQ(rig.engine("sid"), "no");

    // One line per media; without a GPU, software decodes.
    const auto decoding = std::count_if(lines.begin(), lines.end(), [](const std::string& l) {
        return l == "Video decoding: software" || l.rfind("Video decoding: hardware (", 0) == 0;
    });
    EXPECT_EQ(decoding, 1);
    EXPECT_TRUE(hasGpuDevice() ||
                std::count(lines.begin(), lines.end(), "Video decoding: software"));

    // Our volume is 0..200, the engine's 0..100; a rate that is no speed is ignored.
    const struct {
        std::function<void()> act;
        const char *property, *engine;
        std::function<bool()> told;  // what the player says
    } controls[] = {
        {[&] { p.setCurrentAudioTrackIndex(2); }, "aid", "2",
         [&] { return p.currentAudioTrackIndex() == 2; }},
        {[&] { p.setCurrentVideoSubTitleIndex(1); }, "sid", "1",
         [&] { return p.currentVideoSubTitleIndex() == 1; }},
        {[&] { p.setCurrentVideoSubTitleIndex(-1); }, "sid", "no",
         [&] { return p.currentVideoSubTitleIndex() == -1; }},
        {[&] { p.setMute(true); }, "mute", "yes", [&] { return p.isMuted(); }},
        {[&] { p.setVolume(37); }, "volume", "18.500000", [&] { return p.volume() == 37; }},
        // From below the top: a value past the engine's maximum is not taken for the top.
        {[&] { p.setVolume(250); }, "volume", "100.000000", [&] { return p.volume() == 200; }},
        {[&] { p.setVolume(-5); }, "volume", "0.000000", [&] { return p.volume() == 0; }},
        {[&] { p.setRate(0.5f); }, "speed", "0.500000", [&] { return p.rate() == 0.5f; }},
        {[&] { p.setRate(-1.0f); }, "speed", "0.500000", [&] { return p.rate() == 0.5f; }},
        {[&] { p.setRate(0.75f); }, "audio-pitch-correction", "yes", {}},
        {[&] { rig.view().setBackColor(kOrange); }, "background", "#FFFF3300", {}},
        {[&] { rig.view().setFillScreen(true); }, "panscan", "1.000000", {}},
    };
    for (const auto& c : controls) {
        c.act();
        EXPECT_TRUE(runEventLoopUntil([&] {
            return rig.engine(c.property) == c.engine && (!c.told || c.told());
        })) << c.property
            << " " << c.engine << ": " << rig.engine(c.property).value_or("none");
    }
    // The page's exact seek as it arrives: the bridge's own command table driving the player.
    BridgeRig page(p);
    auto landedNear = [&](int ms) {
        return p.state() == kMediaPlayerStatePaused && !rig.times.empty() &&
               std::abs(rig.times.back().value_or(-1000) - ms) <= kFrameMs;
    };
    EXPECT_TRUE(runSteps({
        {"stop unloads: nothing is known any more", [&] { p.stop(); },
         [&] {
             return rig.states.back().state == kMediaPlayerStateStopped && !p.isPlaying() &&
                    !p.time() && !p.length() && p.audioTrackNames().isEmpty() &&
                    !rig.engine("path");
         }},
        // The position comes a moment after the state.
        {"play after stop starts from the beginning", [&] { p.play(); },
         [&] { return p.state() == kMediaPlayerStatePlaying && p.time() && p.time() < 1500; }},
        {"a page's seek asked while the clip opens, applied once it is loaded",
         [&] {
             p.setMedia(path(testMedia().clip)), p.openPaused();
             page.send("app:///Execute/SeekToMs?ms=2345");
         },
         [&] { return landedNear(2345); }},
        {"asked while it rests, between two whole seconds and away from a key frame",
         [&] { page.send("app:///Execute/SeekToMs?ms=1234"); }, [&] { return landedNear(1234); }},
    })) << "time "
        << p.time().value_or(-1);
}

// The display the render context is made with is the one Qt's windows live on.
TEST(WindowSystemDisplayTest, IsTheApplicationsX11Display) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11) GTEST_SKIP() << "not on X11 (" << qGuiApp->platformName().toStdString() << ")";
    WindowSystemDisplay display;
    EXPECT_EQ(display.display().kind, NativeDisplay::Kind::X11);
    ASSERT_NE(x11->display(), nullptr);
    EXPECT_EQ(display.display().handle, static_cast<void*>(x11->display()));
}

}  // namespace
}  // namespace lirra::test
