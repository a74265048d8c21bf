// The wait for the player page: over once a load that started after begin() has finished
// (loaded or not), or once the bound has passed; `ready` runs once, unless cancelled.
#include <gtest/gtest.h>

#include <chrono>

#include "fakes/FakeWebView.h"
#include "playback/PlayerPageWait.h"
#include "support/qt/QtTestLoop.h"

namespace lirra {
namespace {

using namespace std::chrono_literals;
using Outcome = PlayerPageWait::Outcome;

TEST(PlayerPageWait, OnlyALoadStartedSinceItBeganEndsItAndTheBoundEndsItAnyway) {
    test::ensureCoreApplication();
    NotificationCenter center;
    fakes::FakeWebView page, other;
    constexpr auto kBound = 600ms;  // long enough that a loaded machine does not pass it early
    PlayerPageWait wait(center, kBound);
    std::vector<Outcome> outcomes;
    auto begin = [&] { wait.begin(page, [&](Outcome outcome) { outcomes.push_back(outcome); }); };

    begin();
    page.postProgressFinished(center);  // the end of a load begun before: not ours
    other.postProgressStarted(center);
    other.postProgressFinished(center);  // another view's
    page.postProgressStarted(center);
    begin();  // begun again: the load that had started is not this wait's either
    page.postProgressFinished(center, /*failed=*/true);
    EXPECT_TRUE(wait.waiting() && outcomes.empty());
    page.postProgressStarted(center);
    page.postProgressFinished(center, /*failed=*/true);
    page.postProgressStarted(center);
    page.postProgressFinished(center);  // after the end: nothing more
    EXPECT_EQ(outcomes, std::vector<Outcome>{Outcome::PageFailed});
    EXPECT_FALSE(wait.waiting());

    begin();
    page.postProgressStarted(center);
    page.postProgressFinished(center);
    begin();
    test::runEventLoopFor(kBound / 2);
    EXPECT_EQ(outcomes.size(), 2u);
    EXPECT_TRUE(test::runEventLoopUntil([&] { return outcomes.size() == 3; }, 5s));
    begin();
    wait.cancel();
    test::runEventLoopFor(kBound * 3 / 2);
    EXPECT_EQ(outcomes, (std::vector<Outcome>{Outcome::PageFailed, Outcome::PageLoaded,
                                              Outcome::BoundPassed}));
}

}  // namespace
}  // namespace lirra
