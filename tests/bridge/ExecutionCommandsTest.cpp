// SPDX-License-Identifier: GPL-3.0-or-later
// The pages' commands as they arrive: navigations of a page to app:///Execute/NAME?ARGUMENTS.
#include <algorithm>

#include "fakes/AppFixture.h"

namespace lirra::testing {
namespace {

using Calls = std::vector<std::string>;

class CommandTest : public AppTest {
  protected:
    // From the player page once there is one, else from the home page.
    void command(const QString& text) {
        navigate(platform_.webViews_.size() > 1 ? page() : home(), "app:///Execute/" + text);
    }
};

TEST_F(CommandTest, PlayerCommandsReadTheirArgumentsAsThePagesWriteThem) {
    // "COMMAND=CALLS" each: seconds to whole milliseconds clamped to the engine's range, a
    // second Pause does nothing, arguments read as the page encoded them, names compared exactly.
    for (const bool launched : {false, true}) {  // no player yet: nothing, no harm
        if (launched) launch(makeVideo("clip.mkv"));
        for (const std::string row : {"SeekTo?position=12.9=setTime(12000)",
                                      "SeekTo?position=2147483=setTime(2147483000)",
                                      "SeekTo?position=2147484=setTime(2147483647)",
                                      "SeekTo?position=-3000000=setTime(-2147483648)",
                                      "SeekTo=setTime(0)",
                                      "SeekToMs?ms=61234=setTimeExact(61234)",
                                      "SeekToMs?ms=-40&position=3=setTimeExact(0)",
                                      "SetMuted?muted=true=setMute(true)",
                                      "SetMuted?mute=true=setMute(false)",
                                      "SetVolume?volume=0=setMute(false) setVolume(0)",
                                      "SetVolume?volume=150=setMute(false) setVolume(150)",
                                      "Pause=pause()",
                                      "Pause=",
                                      "Play=play()",
                                      "SetPlaybackSpeed?speed=1.25=setRate(1.250000)",
                                      "SetPlaybackSpeed?speed=1%2C5=setRate(1.000000)",
                                      "SetAudioTrack?track=2=setCurrentAudioTrackIndex(2)",
                                      "play=",
                                      "SetVolume%20?volume=10=",
                                      "Request?volume=10="}) {
            if (launched) player().calls_.clear();
            command(QString::fromStdString(row.substr(0, row.rfind('='))));
            std::string calls;
            for (const auto& call : launched ? player().calls_ : Calls{})
                calls += (calls.empty() ? "" : " ") + call;
            EXPECT_EQ(calls, launched ? row.substr(row.rfind('=') + 1) : "") << row;
        }
    }
    command("ToggleFullscreen");  // the page's F key: the main window's, on and off
    EXPECT_TRUE(window().isFullScreen());
    command("ToggleFullscreen");
    EXPECT_FALSE(window().isFullScreen());
    command("Stop");
    EXPECT_EQ(player().calls_.back(), "stop()");
    EXPECT_FALSE(playerShown());
}

TEST_F(CommandTest, ResizeForTutorialGrowsASmallWindowAndResizeForPaymentAlwaysSetsItsSize) {
    const struct {
        Size frame, ratio;
        const char* contentSizes;
    } rows[] = {
        {{800, 600}, {16, 9}, ""},                 // taller than 510 stays
        {{500, 400}, {16, 9}, "906.667x510.000"},  // at the ratio in force
        {{500, 510}, {16, 9}, "906.667x510.000"},  // the frame is compared, the content is set
        {{640, 400}, {}, "640.000x510.000"},       // no ratio in force: the width stays
    };
    for (const auto& row : rows) {
        window().contentSizeCalls_.clear();
        window().setFrame(Rect{{0, 0}, row.frame}, true);
        window().setContentAspectRatio(row.ratio);
        command("ResizeForTutorial");
        QStringList sizes;
        for (const Size& size : window().contentSizeCalls_)
            sizes << QString::asprintf("%.3fx%.3f", size.width, size.height);
        EXPECT_EQ(sizes.join(' '), row.contentSizes);
    }
    window().setFrame(Rect{{0, 0}, {1600, 1000}}, true);
    command("ResizeForPayment");
    EXPECT_EQ(window().contentSize(), (Size{1105, 570}));
}

// "Watch this moment": the file as URL-safe base64 of its UTF-8 path, the start in ms. Only an
// existing regular file at a well-formed start is taken in, and only its own launch starts there.
TEST_F(CommandTest, WatchMomentOpensAnExistingFileAtItsMomentAndNothingElse) {
    const QString video = makeVideo("Vidéos & co ep 1 (2024) ???~~~.mkv");
    auto encoded = [](const QByteArray& path,
                      QByteArray::Base64Options kind = QByteArray::Base64UrlEncoding) {
        return QString::fromLatin1(path.toBase64(kind | QByteArray::OmitTrailingEquals));
    };
    const QString file = encoded(video.toUtf8());
    const QString plain = encoded(video.toUtf8(), QByteArray::Base64Encoding);
    ASSERT_NE(plain, file);  // the name has a "+" or a "/" in plain base64
    for (const auto& [path, ms] : std::vector<std::pair<QString, QString>>{
             {"", "5"},
             {plain, "5"},
             {encoded("clip.mkv"), "5"},  // relative
             {encoded(dir_.filePath("gone.mkv").toUtf8()), "5"},
             {encoded(dir_.path().toUtf8()), "5"},  // a folder
             {encoded(video.toUtf8() + QByteArray(1, '\0') + "x"), "5"},
             {encoded(dir_.path().toUtf8() + "/\xff.mkv"), "5"},  // not UTF-8
             {file, ""},
             {file, "-5"},
             {file, "5s"},
             {file, "2147483648"},  // past the engine's range
         }) {
        command("WatchMoment?file=" + path + "&ms=" + ms);
        EXPECT_TRUE(requests().empty() && !app_->state().startAt.has_value())
            << path.toStdString() << " at " << ms.toStdString();
    }
    command("WatchMoment?file=" + file + "&ms=61234");
    answer(R"({"videoId":7})");
    EXPECT_EQ(player().media_->location, video);
    EXPECT_EQ(player().calls_.back(), "setTime(61234)");  // once the engine has the video
    EXPECT_FALSE(app_->state().startAt.has_value());

    // A moment waiting for its video is dropped by the launch of another.
    command("WatchMoment?file=" + file + "&ms=5000");
    launch(makeVideo("other.mkv"));
    EXPECT_EQ(std::count(player().calls_.begin(), player().calls_.end(), "setTime(5000)"), 0);
    EXPECT_FALSE(app_->state().startAt.has_value());
}

}  // namespace
}  // namespace lirra::testing
