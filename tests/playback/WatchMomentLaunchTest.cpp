// A video opened from the notebook starts at the saved moment: the launch of that video seeks
// there once the engine has it; the launch of any other video ignores the moment and drops it.
#include "PlaybackFixture.h"

namespace lirra::testing {
namespace {

bool seeks(const std::vector<std::string>& calls) {
    return std::any_of(calls.begin(), calls.end(),
                       [](const std::string& c) { return c.rfind("setTime(", 0) == 0; });
}

TEST_F(PlaybackTest, TheSavedMomentStartsItsOwnVideoOnly) {
    state.startAt = StartAt{QStringLiteral("/videos/clip.mkv"), 61234};
    launcher.launchVideo();
    ASSERT_GE(player.calls_.size(), 3u);
    EXPECT_EQ(player.calls_[1], "setMedia(/videos/clip.mkv)");
    EXPECT_EQ(player.calls_.back(), "setTime(61234)");  // after the engine was started on it
    EXPECT_FALSE(state.startAt.has_value());

    // The next launch of the same video starts from its beginning.
    player.calls_.clear();
    launcher.launchVideo();
    EXPECT_FALSE(seeks(player.calls_));

    // A moment for another file: this launch ignores it and it does not wait for a later one.
    state.startAt = StartAt{QStringLiteral("/videos/other.mkv"), 5000};
    player.calls_.clear();
    launcher.launchVideo();
    EXPECT_FALSE(seeks(player.calls_));
    EXPECT_FALSE(state.startAt.has_value());
}

}  // namespace
}  // namespace lirra::testing
