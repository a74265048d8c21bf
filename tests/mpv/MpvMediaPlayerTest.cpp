// The player on real libmpv with media generated for the run.
#include <QtGui/qguiapplication_platform.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QWidget>
#include <algorithm>
#include <clocale>
#include <string>

#include "PlayerRig.h"
#include "TestMedia.h"
#include "platform/Log.h"
#include "platform/mpv/MpvEngineOptions.h"
#include "platform/mpv/MpvRenderParams.h"

namespace lirra::test {
namespace {

class MpvMediaPlayerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (testMedia().dir.isEmpty()) GTEST_SKIP() << "ffmpeg could not make the test media";
    }

    static Media path(const QString& location) { return {Media::Kind::Path, location}; }
    static Media url(const QString& location) { return {Media::Kind::Url, location}; }

    // Starts `media` and waits until it plays with its tracks known.
    static void startPlaying(PlayerRig& rig, const Media& media) {
        rig.player().setMedia(media);
        rig.player().play();
        ASSERT_TRUE(waitFor([&] {
            return rig.player().state() == kMediaPlayerStatePlaying &&
                   !rig.player().tracksInformation().empty() && rig.player().time().has_value();
        })) << "state "
            << rig.player().state();
    }

    static double engineNumber(PlayerRig& rig, const char* property) {
        const auto text = rig.engine(property);
        return text ? std::stod(*text) : -1;
    }
};

// A colour component of the pixel at a fraction of the view's height, from the top.
QRgb pixelAt(MpvVideoView& view, double fromTop) {
    const QImage image = view.grabFramebuffer();
    return image.pixel(image.width() / 2, static_cast<int>(image.height() * fromTop));
}

TEST_F(MpvMediaPlayerTest, PlaysARelativePathWithADashAndASpaceToItsEndAndRestsPausedThere) {
    const QString previous = QDir::currentPath();
    QDir::setCurrent(testMedia().dir);
    PlayerRig rig(/*showFirst=*/false);
    rig.view().setBackColor({0.93, 0.93, 0.93, 1});
    rig.player().setMedia(path(testMedia().clipName));
    rig.player().setVolume(200);
    rig.player().play();  // before the view has GL: the load waits for the render context
    rig.show();
    QDir::setCurrent(previous);

    ASSERT_TRUE(waitFor([&] { return rig.restsAtEnd(); })) << "state " << rig.player().state();
    ASSERT_FALSE(rig.states.empty());
    // Opening may already have turned into playing by the time the first change is posted.
    EXPECT_TRUE(rig.states.front().state == kMediaPlayerStateOpening ||
                rig.states.front().state == kMediaPlayerStatePlaying)
        << rig.states.front().state;
    bool playedAndPlaying = false;
    for (const StateRecord& r : rig.states) {
        EXPECT_NE(r.state, kMediaPlayerStateError);
        EXPECT_NE(r.state, kMediaPlayerStateStopped);
        playedAndPlaying = playedAndPlaying || (r.state == kMediaPlayerStatePlaying && r.isPlaying);
    }
    EXPECT_TRUE(playedAndPlaying);

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
    ASSERT_TRUE(waitFor([&] { return qRed(pixelAt(rig.view(), 0.25)) > 200; }, 3000));
    EXPECT_LT(qBlue(pixelAt(rig.view(), 0.25)), 60);
    EXPECT_GT(qBlue(pixelAt(rig.view(), 0.75)), 200);
    EXPECT_LT(qRed(pixelAt(rig.view(), 0.75)), 60);

    // Time changes: frequent, but never more than about ten in any second, the last at the end.
    ASSERT_GE(rig.times.size(), 10u);
    for (std::size_t i = 0; i < rig.times.size(); ++i) {
        const auto windowEnd = rig.times[i].at + std::chrono::seconds(1);
        const auto inWindow = std::count_if(rig.times.begin() + i, rig.times.end(),
                                            [&](const TimeRecord& t) { return t.at < windowEnd; });
        EXPECT_LE(inWindow, 11) << "from notification " << i;
    }
    ASSERT_TRUE(rig.times.back().time);
    EXPECT_GE(*rig.times.back().time, *last.length - 1000);
}

// Qt gives the view a new GL context when it moves to another window; the picture follows.
TEST_F(MpvMediaPlayerTest, KeepsShowingThePictureWhenTheViewMovesToAnotherWindow) {
    PlayerRig rig;
    rig.view().setBackColor({0.93, 0.93, 0.93, 1});
    ASSERT_NO_FATAL_FAILURE(startPlaying(rig, path(testMedia().clip)));
    ASSERT_TRUE(waitFor([&] { return qRed(pixelAt(rig.view(), 0.25)) > 200; }));

    QWidget window;
    window.resize(640, 360);
    rig.view().setParent(&window);
    rig.view().resize(640, 360);
    window.show();
    rig.view().show();
    ASSERT_TRUE(waitFor([&] { return rig.view().isGlInitialized(); }));
    EXPECT_TRUE(waitFor([&] {
        return qRed(pixelAt(rig.view(), 0.25)) > 200 && qBlue(pixelAt(rig.view(), 0.75)) > 200;
    })) << "top pixel "
        << std::hex << pixelAt(rig.view(), 0.25);
    EXPECT_NE(rig.player().state(), kMediaPlayerStateError);
    rig.view().setParent(nullptr);  // the rig owns the view
}

TEST_F(MpvMediaPlayerTest, ListsTracksAndKeepsItsOwnSubtitlesOff) {
    PlayerRig rig;
    ASSERT_NO_FATAL_FAILURE(startPlaying(rig, path(testMedia().clip)));
    MpvMediaPlayer& player = rig.player();

    EXPECT_EQ(player.audioTrackNames(), (QStringList{"English", "French"}));
    EXPECT_EQ(player.audioTrackIndexes(), (QVector<int>{1, 2}));
    EXPECT_EQ(player.currentAudioTrackIndex(), 1);
    player.setCurrentAudioTrackIndex(2);
    EXPECT_TRUE(waitFor([&] { return rig.engine("aid") == "2"; }));
    EXPECT_EQ(player.currentAudioTrackIndex(), 2);

    int videos = 0, audios = 0, texts = 0;
    for (const TrackInformation& track : player.tracksInformation()) {
        if (track.type == "video") {
            ++videos;
            EXPECT_EQ(track.width, 1280);
            EXPECT_EQ(track.height, 720);
        }
        audios += track.type == "audio";
        texts += track.type == "text";
    }
    EXPECT_EQ(videos, 1);
    EXPECT_EQ(audios, 2);
    EXPECT_EQ(texts, 1);

    // The file has a subtitle stream, yet the engine shows none until told to.
    EXPECT_EQ(player.currentVideoSubTitleIndex(), -1);
    EXPECT_EQ(rig.engine("sid"), "no");
    player.setCurrentVideoSubTitleIndex(1);
    EXPECT_TRUE(waitFor([&] { return rig.engine("sid") == "1"; }));
    EXPECT_EQ(player.currentVideoSubTitleIndex(), 1);
    player.setCurrentVideoSubTitleIndex(-1);
    EXPECT_TRUE(waitFor([&] { return rig.engine("sid") == "no"; }));
    EXPECT_EQ(player.currentVideoSubTitleIndex(), -1);

    // Stop unloads: nothing is known any more.
    player.stop();
    EXPECT_TRUE(waitFor([&] { return rig.states.back().state == kMediaPlayerStateStopped; }));
    EXPECT_FALSE(player.isPlaying());
    EXPECT_FALSE(player.time().has_value());
    EXPECT_FALSE(player.length().has_value());
    EXPECT_TRUE(player.audioTrackNames().isEmpty());
    EXPECT_TRUE(waitFor([&] { return rig.engine("path") == std::nullopt; }));

    // play() after stop() starts the media again from its beginning.
    rig.states.clear();
    player.play();
    // The position comes a moment after the state.
    EXPECT_TRUE(waitFor(
        [&] { return player.state() == kMediaPlayerStatePlaying && player.time().has_value(); }));
    ASSERT_TRUE(player.time());
    EXPECT_LT(*player.time(), 1500);
}

TEST_F(MpvMediaPlayerTest, NamesUntitledTracksByLanguageThenNumber) {
    PlayerRig rig;
    ASSERT_NO_FATAL_FAILURE(startPlaying(rig, path(testMedia().untitled)));
    EXPECT_EQ(rig.player().audioTrackNames(), (QStringList{"ger", "Track 2"}));
    EXPECT_EQ(rig.player().audioTrackIndexes(), (QVector<int>{1, 2}));
}

TEST_F(MpvMediaPlayerTest, VolumeMuteAndRateReachTheEngineOnItsScale) {
    PlayerRig rig;
    ASSERT_NO_FATAL_FAILURE(startPlaying(rig, path(testMedia().clip)));
    MpvMediaPlayer& player = rig.player();
    const struct {
        int set, expected;
        double engine;
    } volumes[] = {{200, 200, 100}, {100, 100, 50}, {250, 200, 100}, {-5, 0, 0}, {37, 37, 18.5}};
    for (const auto& v : volumes) {
        player.setVolume(v.set);
        EXPECT_EQ(player.volume(), v.expected) << "set " << v.set;
        EXPECT_TRUE(waitFor([&] { return engineNumber(rig, "volume") == v.engine; }))
            << "set " << v.set << ", engine " << engineNumber(rig, "volume");
        EXPECT_EQ(player.volume(), v.expected) << "set " << v.set;
    }

    player.setMute(true);
    EXPECT_TRUE(player.isMuted());
    EXPECT_TRUE(waitFor([&] { return rig.engine("mute") == "yes"; }));
    player.setMute(false);
    EXPECT_FALSE(player.isMuted());
    EXPECT_TRUE(waitFor([&] { return rig.engine("mute") == "no"; }));

    for (float rate : {0.5f, 2.0f}) {
        player.setRate(rate);
        EXPECT_FLOAT_EQ(player.rate(), rate);
        EXPECT_TRUE(waitFor([&] { return engineNumber(rig, "speed") == rate; }));
    }
    player.setRate(-1);  // not a speed: ignored
    EXPECT_FLOAT_EQ(player.rate(), 2.0f);
    EXPECT_TRUE(waitFor([&] { return engineNumber(rig, "speed") == 2.0; }));
}

TEST_F(MpvMediaPlayerTest, SeeksAndTellsTheNewPositionAtOnce) {
    PlayerRig rig;
    rig.player().setMedia(path(testMedia().clip));
    rig.player().play();
    rig.player().setTime(1500);  // while opening: applied once loaded
    ASSERT_TRUE(waitFor([&] { return rig.player().state() == kMediaPlayerStatePlaying; }));
    ASSERT_TRUE(waitFor([&] { return rig.player().time().value_or(0) >= 1400; }));

    rig.player().pause();
    ASSERT_TRUE(waitFor([&] { return rig.player().state() == kMediaPlayerStatePaused; }));
    EXPECT_FALSE(rig.player().isPlaying());
    const std::size_t before = rig.times.size();
    rig.player().setTime(500);
    ASSERT_TRUE(waitFor([&] {
        return rig.times.size() > before && rig.times.back().time &&
               std::abs(*rig.times.back().time - 500) <= 100;
    })) << "time "
        << rig.player().time().value_or(-1);
    EXPECT_EQ(rig.player().state(), kMediaPlayerStatePaused);

    rig.player().play();  // resumes where it is
    ASSERT_TRUE(waitFor([&] { return rig.player().isPlaying(); }));
    EXPECT_LT(rig.player().time().value_or(-1), 1400);
}

TEST_F(MpvMediaPlayerTest, OpensPausedOnItsFirstFrameShownThenPlaysWhenTold) {
    PlayerRig rig;
    rig.view().setBackColor({0.93, 0.93, 0.93, 1});
    rig.player().setMedia(path(testMedia().clip));
    rig.player().openPaused();
    ASSERT_TRUE(waitFor([&] {
        return rig.player().state() == kMediaPlayerStatePaused && rig.player().time().has_value();
    })) << "state "
        << rig.player().state();
    // The first frame is on screen (red above), and it stays the first: the time is that
    // frame's (a file's first frame may carry a few milliseconds of its own).
    EXPECT_TRUE(waitFor([&] { return qRed(pixelAt(rig.view(), 0.25)) > 200; }, 3000));
    waitFor([] { return false; }, 600);
    EXPECT_LT(rig.player().time().value_or(-1), 50);
    EXPECT_LT(rig.times.back().time.value_or(-1), 50);
    EXPECT_FALSE(rig.player().isPlaying());
    EXPECT_NEAR(rig.player().length().value_or(0), 3000, 100);  // the page's values are known
    EXPECT_FALSE(rig.reached(kMediaPlayerStatePlaying));

    rig.player().play();
    EXPECT_TRUE(waitFor([&] { return rig.player().time().value_or(0) > 300; }));
    EXPECT_TRUE(rig.player().isPlaying());
    // The next media plays at once again.
    rig.player().setMedia(path(testMedia().clip));
    rig.player().play();
    EXPECT_TRUE(waitFor([&] {
        return rig.player().state() == kMediaPlayerStatePlaying &&
               rig.player().time().value_or(0) > 300;
    }));
}

// The display the render context is made with is the one Qt's windows live on.
TEST_F(MpvMediaPlayerTest, TheRenderContextGetsTheApplicationsX11Display) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11)
        GTEST_SKIP() << "not on X11 (" << QGuiApplication::platformName().toStdString() << ")";
    WindowSystemDisplay display;
    EXPECT_EQ(display.display().kind, NativeDisplay::Kind::X11);
    ASSERT_NE(x11->display(), nullptr);
    EXPECT_EQ(display.display().handle, static_cast<void*>(x11->display()));
}

TEST_F(MpvMediaPlayerTest, SaysOnceWhichDecoderPlaysTheVideo) {
    std::vector<std::string> lines;
    const LogSink previous = setLogSink([&](const std::string& line) { lines.push_back(line); });
    {
        PlayerRig rig;
        ASSERT_NO_FATAL_FAILURE(startPlaying(rig, path(testMedia().clip)));
        EXPECT_EQ(rig.engine("hwdec"), effectiveHwdec(std::nullopt, hasGpuDevice(), nullptr));
        waitFor([] { return false; }, 500);
    }
    setLogSink(previous);
    const auto decoding = std::count_if(lines.begin(), lines.end(), [](const std::string& l) {
        return l.rfind("Video decoding: ", 0) == 0;
    });
    EXPECT_EQ(decoding, 1);
    if (!hasGpuDevice()) {
        // Without a GPU no decoder is probed, and nothing says it failed.
        EXPECT_NE(std::find(lines.begin(), lines.end(), "Video decoding: software"), lines.end());
        for (const std::string& line : lines) {
            EXPECT_EQ(line.find("vaapi"), std::string::npos) << line;
            EXPECT_EQ(line.find("vdpau"), std::string::npos) << line;
            EXPECT_EQ(line.find("cuda"), std::string::npos) << line;
        }
    }
}

TEST_F(MpvMediaPlayerTest, MediaThatCannotBePlayedEndsInTheErrorState) {
    ClipServer server;
    const Media bad[] = {path(testMedia().missing), path(testMedia().notVideo), path(""),
                         url(server.url("/no-such-video.mkv"))};
    for (const Media& media : bad) {
        PlayerRig rig;
        rig.player().setMedia(media);
        rig.player().play();
        EXPECT_TRUE(waitFor([&] { return rig.reached(kMediaPlayerStateError); }))
            << media.location.toStdString();
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
    for (const TrackInformation& track : rig.player().tracksInformation()) {
        EXPECT_NE(track.type, "video");
    }
    EXPECT_EQ(rig.player().audioTrackIndexes(), (QVector<int>{1}));
    const QRgb pixel = pixelAt(rig.view(), 0.5);
    EXPECT_NEAR(qRed(pixel), 237, 2);
    EXPECT_NEAR(qGreen(pixel), 237, 2);
    EXPECT_NEAR(qBlue(pixel), 237, 2);
}

TEST_F(MpvMediaPlayerTest, PlaysAUrlOverHttpAndSeeksWithRanges) {
    ClipServer server;
    PlayerRig rig;
    ASSERT_NO_FATAL_FAILURE(startPlaying(rig, url(server.url("/clip.mkv"))));
    EXPECT_NEAR(rig.player().length().value_or(0), 3000, 100);
    rig.player().setTime(2000);
    ASSERT_TRUE(waitFor([&] { return rig.restsAtEnd(); }));
    EXPECT_GT(server.rangeRequests(), 0);
}

// mpv refuses to start under a numeric locale other than C; one is compiled for the test.
TEST_F(MpvMediaPlayerTest, AnEngineThatCannotStartReportsTheErrorStateAndLogs) {
    const QString locales = testMedia().dir + "/locales";
    QDir().mkpath(locales);
    QProcess::execute("localedef",
                      {"-i", "de_DE", "-f", "ISO-8859-1", locales + "/de_DE.ISO-8859-1"});
    qputenv("LOCPATH", locales.toUtf8());
    const bool german = std::setlocale(LC_NUMERIC, "de_DE.ISO-8859-1") != nullptr;
    qunsetenv("LOCPATH");
    if (!german) GTEST_SKIP() << "no locale other than C could be made";

    std::vector<std::string> lines;
    const LogSink previous = setLogSink([&](const std::string& line) { lines.push_back(line); });
    PlayerRig rig;
    std::setlocale(LC_NUMERIC, "C");
    setLogSink(previous);

    EXPECT_EQ(rig.player().state(), kMediaPlayerStateError);
    EXPECT_FALSE(lines.empty());
    rig.player().setMedia(path(testMedia().clip));
    rig.player().play();
    EXPECT_TRUE(waitFor([&] { return rig.reached(kMediaPlayerStateError); }));
    rig.player().setVolume(300);  // harmless without an engine
    EXPECT_EQ(rig.player().volume(), 200);
    EXPECT_FALSE(rig.player().isPlaying());
    EXPECT_EQ(rig.player().engineProperty("volume"), std::nullopt);
}

}  // namespace
}  // namespace lirra::test
