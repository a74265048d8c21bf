// SPDX-License-Identifier: GPL-3.0-or-later
// Why a video could not be played: the engine's reason logged once per launch and sent to the
// home page as a string, and the line cleared by the next launch.
#include "AppFixture.h"
#include "app/OpenFailureReporter.h"

namespace lirra {
namespace {

class OpenFailureTest : public testing::AppTest {
  protected:
    OpenFailureReporter reporter_{center(), [this] { return app_->player(); },
                                  [this] { return app_->homeWebView(); }};
};

TEST_F(OpenFailureTest, TheEnginesReasonReachesTheLogAndTheHomePageOncePerLaunch) {
    homePageReady();
    launch(makeVideo("a.mkv"));
    player().openFailure_ = "unrecognized file's format";
    stateChanged(kMediaPlayerStateError);
    stateChanged(kMediaPlayerStateError);  // told again while the alert is up: said once
    launch(makeVideo("b.mkv"), 43);
    player().openFailure_.clear();
    stateChanged(kMediaPlayerStateError);
    EXPECT_EQ(events(home()),
              (QStringList{"'nativeApp:openFailed', ''",
                           "'nativeApp:openFailed', 'unrecognized file\\'s format'",
                           "'nativeApp:openFailed', ''",
                           "'nativeApp:openFailed', 'the video engine gave no reason'"}));
    EXPECT_EQ(
        std::count(log_.begin(), log_.end(), "Couldn't open video: unrecognized file's format"), 1);
}

}  // namespace
}  // namespace lirra
