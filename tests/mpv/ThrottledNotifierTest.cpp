// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <memory>
#include <string>
#include <utility>

#include "platform/MediaPlayer.h"
#include "platform/mpv/ThrottledNotifier.h"
#include "support/qt/QtTestLoop.h"

namespace lirra::test {
namespace {

using namespace std::chrono_literals;

struct NotifierRig {
    NotifierRig() {
        for (const char* name : {kMediaPlayerStateChanged, kMediaPlayerTimeChanged})
            center.addObserver(name, nullptr, [this](const Notification& n) {
                posts.push_back(n.name == kMediaPlayerStateChanged ? 's' : 't');
                if (onPost) onPost();
            });
    }
    void timeChangedNow(bool atOnce) { notifier->timeChanged(true, atOnce), notifier->notifyNow(); }
    std::string takePosts() { return std::exchange(posts, {}); }
    NotificationCenter center;
    ThrottledNotifier::Status status{kMediaPlayerStatePlaying, false};
    std::unique_ptr<ThrottledNotifier> notifier =
        std::make_unique<ThrottledNotifier>(center, this, [this] { return status; });
    std::string posts;  // s: a state change, t: a time change
    std::function<void()> onPost;
};

TEST(ThrottledNotifierTest, TellsTheStateFirstThenTimeAtMostTenTimesASecondAndMayDieInAPost) {
    ensureCoreApplication();
    NotifierRig rig;
    rig.timeChangedNow(false);
    QElapsedTimer sincePost;
    sincePost.start();
    EXPECT_EQ(rig.takePosts(), "st");

    // Changes within the interval wait for its end, a tenth of a second, and are told once.
    for (int i = 0; i < 5; ++i) rig.timeChangedNow(false);
    EXPECT_TRUE(rig.posts.empty());
    EXPECT_TRUE(runEventLoopUntil([&] { return !rig.posts.empty(); }, 1s));
    EXPECT_GE(sincePost.elapsed(), 90);
    runEventLoopFor(ThrottledNotifier::kTimeInterval * 2);
    EXPECT_EQ(rig.takePosts(), "t");

    // A seek or the end is told at once; an unchanged state is not told again.
    rig.timeChangedNow(true);
    EXPECT_EQ(rig.takePosts(), "t");

    // Reaching the end is told even when the state number stays the same, each time (a seek
    // back and to the end again while paused), and a forced state always.
    for (bool atEnd : {false, true, true, false, true})
        rig.status = {kMediaPlayerStatePaused, atEnd}, rig.notifier->notifyNow();
    rig.notifier->forceState(), rig.notifier->notifyNow();
    EXPECT_EQ(rig.takePosts(), "ssss");

    // An observer may destroy it during a post: nothing more is posted, nothing touched.
    rig.status = {kMediaPlayerStatePlaying, false};
    rig.onPost = [&] { rig.notifier.reset(); };
    rig.notifier->timeChanged(true, true), rig.notifier->schedule();
    EXPECT_TRUE(runEventLoopUntil([&] { return !rig.notifier; }, 1s));
    runEventLoopFor(ThrottledNotifier::kTimeInterval * 2);
    EXPECT_EQ(rig.posts, "s");
}

}  // namespace
}  // namespace lirra::test
