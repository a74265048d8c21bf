// The load tracker against event sequences as mpv produces them, stale ones included.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/mpv/MpvLoadTracker.h"

namespace lirra::test {
namespace {

using Phase = MpvLoadTracker::Phase;
using End = MpvLoadTracker::EndReason;

// One step of a sequence: what happens, its entry (or serial offset), and what the tracker
// answers where it answers.
struct Step {
    enum Kind {
        Open,
        Send,
        Reply,
        ReplyNoEntry,
        ReplyFailed,
        StaleReply,
        Start,
        Loaded,
        Ended,
        Stop
    };
    Kind kind;
    std::int64_t entry = 0;
    End reason = End::Other;
    std::int64_t inserted = 0;
    bool answer = true;  // of the steps that answer
};

void run(MpvLoadTracker& tracker, const Step& step, std::uint64_t& serial) {
    switch (step.kind) {
        case Step::Open:
            tracker.open();
            break;
        case Step::Send:
            serial = tracker.loadSent();
            break;
        case Step::Reply:
            EXPECT_EQ(tracker.loadReplied(serial, true, step.entry), step.answer);
            break;
        case Step::ReplyNoEntry:
            EXPECT_EQ(tracker.loadReplied(serial, true, std::nullopt), step.answer);
            break;
        case Step::ReplyFailed:
            EXPECT_EQ(tracker.loadReplied(serial, false, std::nullopt), step.answer);
            break;
        case Step::StaleReply:
            EXPECT_FALSE(tracker.loadReplied(serial - 1, false, std::nullopt));
            break;
        case Step::Start:
            tracker.fileStarted(step.entry);
            break;
        case Step::Loaded:
            EXPECT_EQ(tracker.fileLoaded(), step.answer);
            break;
        case Step::Ended:
            EXPECT_EQ(tracker.fileEnded(step.entry, step.reason, step.inserted), step.answer);
            break;
        case Step::Stop:
            tracker.stop();
            break;
    }
}

TEST(MpvLoadTrackerTest, FollowsOnlyTheLatestLoadsEntry) {
    using S = Step;
    const struct Case {
        std::string name;
        std::vector<Step> steps;
        Phase phase;
        bool fileActive;
        bool engaged;
    } cases[] = {
        {"played to its end",
         {{S::Open}, {S::Send}, {S::Reply, 5}, {S::Start, 5}, {S::Loaded}, {S::Ended, 5, End::Eof}},
         Phase::Ended,
         false,
         false},
        {"a reply without an entry: the next start is ours",
         {{S::Open}, {S::Send}, {S::ReplyNoEntry}, {S::Start, 9}, {S::Loaded}},
         Phase::Loaded,
         true,
         true},
        {"the replaced media's start, load and end change nothing",
         {{S::Open},
          {S::Send},
          {S::Start, 4},
          {.kind = S::Loaded, .answer = false},
          {S::Ended, 4, End::Error, 0, false},
          {S::Reply, 5}},
         Phase::Opening,
         false,
         true},
        {"an earlier loadfile's reply is not the latest's",
         {{S::Open}, {S::Send}, {S::Send}, {S::StaleReply}},
         Phase::Opening,
         false,
         true},
        {"a refused loadfile fails",
         {{S::Open}, {S::Send}, {S::ReplyFailed}},
         Phase::Failed,
         false,
         false},
        {"an unplayable file fails",
         {{S::Open}, {S::Send}, {S::Reply, 2}, {S::Start, 2}, {S::Ended, 2, End::Error}},
         Phase::Failed,
         false,
         false},
        {"a playlist goes on in the entry it inserted, not another",
         {{S::Open},
          {S::Send},
          {S::Reply, 2},
          {S::Start, 2},
          {S::Ended, 2, End::Redirect, 3},
          {S::Start, 7},
          {.kind = S::Loaded, .answer = false},
          {S::Start, 3},
          {S::Loaded}},
         Phase::Loaded,
         true,
         true},
        {"after a stop, the stopped media's end is stale",
         {{S::Open},
          {S::Send},
          {S::Reply, 2},
          {S::Start, 2},
          {S::Loaded},
          {S::Stop},
          {S::Ended, 2, End::Other, 0, false}},
         Phase::Idle,
         false,
         false},
        {"a media the engine stopped itself rests idle",
         {{S::Open}, {S::Send}, {S::Reply, 2}, {S::Start, 2}, {S::Ended, 2, End::Other}},
         Phase::Idle,
         false,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MpvLoadTracker tracker;
        std::uint64_t serial = 0;
        for (const Step& step : c.steps) run(tracker, step, serial);
        EXPECT_EQ(tracker.phase(), c.phase);
        EXPECT_EQ(tracker.fileActive(), c.fileActive);
        EXPECT_EQ(tracker.engaged(), c.engaged);
    }
}

}  // namespace
}  // namespace lirra::test
